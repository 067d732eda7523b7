#pragma once

#include <juce_core/juce_core.h>

// The firmware image the plug-in carries for the pedal: a 16-byte header, then
// the bootloader messages that install it. The header, little-endian:
//   0  "QZRI"
//   4  payload length in bytes
//   8  firmware version, (major << 16) | (minor << 8) | patch
//   12 CRC-32 of the payload (zlib's)
// The image is checked before anything of it is used: a damaged image offers
// no version and no payload, so it is neither proposed nor flashed.
class FirmwareImage
{
public:
    static constexpr size_t headerSize = 16;
    static constexpr juce::uint32 carriedPayloadLength = 46073;

    enum class Problem
    {
        none,
        tooShort,
        wrongMagic,
        wrongLength, // the header's length is not the size less the header
        wrongChecksum
    };

    static Problem check (const void* image, size_t size) noexcept;
    static juce::String describe (Problem problem);

    // The carried image's version, or 0 when it fails the check. Any thread.
    static juce::uint32 getFirmwareVersion();

    // The carried image's bootloader messages, or an empty block when it fails the check.
    static juce::MemoryBlock getPayload();

    // What is wrong with the carried image.
    static Problem checkCarriedImage();

    // The version field of an image that passes the check, else 0.
    static juce::uint32 readVersion (const void* image, size_t size) noexcept;
};
