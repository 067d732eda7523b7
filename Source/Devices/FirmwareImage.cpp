#include "Devices/FirmwareImage.h"

#include <FirmwareImageData.h>
#include <zlib.h>

namespace
{
juce::uint32 field (const void* image, size_t offset) noexcept
{
    return juce::ByteOrder::littleEndianInt (static_cast<const char*> (image) + offset);
}

const void* carriedImage() noexcept { return FirmwareImageData::PedalFirmware_qzri; }
size_t carriedSize() noexcept { return (size_t) FirmwareImageData::PedalFirmware_qzriSize; }
} // namespace

FirmwareImage::Problem FirmwareImage::check (const void* image, size_t size) noexcept
{
    if (image == nullptr || size < headerSize)
        return Problem::tooShort;

    if (std::memcmp (image, "QZRI", 4) != 0)
        return Problem::wrongMagic;

    const auto length = field (image, 4);
    if ((size_t) length != size - headerSize)
        return Problem::wrongLength;

    const auto* payload = static_cast<const Bytef*> (image) + headerSize;
    if ((juce::uint32) crc32 (0L, payload, (uInt) length) != field (image, 12))
        return Problem::wrongChecksum;

    return Problem::none;
}

juce::String FirmwareImage::describe (Problem problem)
{
    switch (problem)
    {
        case Problem::none: return {};
        case Problem::tooShort: return "The firmware image is too short";
        case Problem::wrongMagic: return "The firmware image has no QZRI header";
        case Problem::wrongLength: return "The firmware image's length does not match its header";
        case Problem::wrongChecksum: return "The firmware image is damaged (checksum mismatch)";
    }

    return {};
}

juce::uint32 FirmwareImage::readVersion (const void* image, size_t size) noexcept
{
    return check (image, size) == Problem::none ? field (image, 8) : 0;
}

FirmwareImage::Problem FirmwareImage::checkCarriedImage()
{
    // Constant data: checked once.
    static const auto problem = check (carriedImage(), carriedSize());
    return problem;
}

juce::uint32 FirmwareImage::getFirmwareVersion()
{
    const auto problem = checkCarriedImage();
    jassert (problem == Problem::none && carriedSize() == headerSize + carriedPayloadLength);
    return problem == Problem::none ? field (carriedImage(), 8) : 0;
}

juce::MemoryBlock FirmwareImage::getPayload()
{
    if (checkCarriedImage() != Problem::none)
        return {};

    return { static_cast<const char*> (carriedImage()) + headerSize, carriedSize() - headerSize };
}
