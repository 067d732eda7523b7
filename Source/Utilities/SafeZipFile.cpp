#include "Utilities/SafeZipFile.h"

#include "Utilities/Utf8Check.h"

#include <cstring>

namespace
{
constexpr uint32_t endOfDirectorySignature = 0x06054b50;
constexpr uint32_t directoryEntrySignature = 0x02014b50;
constexpr size_t directoryEntryBytes = 46;

uint16_t readShort (const uint8_t* p) { return (uint16_t) (p[0] | (p[1] << 8)); }
uint32_t readInt (const uint8_t* p) { return (uint32_t) p[0] | ((uint32_t) p[1] << 8) | ((uint32_t) p[2] << 16) | ((uint32_t) p[3] << 24); }

// A stream over the bytes that positions and reads as the framework's buffered
// stream does: positions below 0 clamp to 0, reads stop at the end.
struct Bytes
{
    const uint8_t* data;
    int64_t size;
    int64_t position = 0;

    void setPosition (int64_t newPosition) { position = newPosition < 0 ? 0 : newPosition; }

    int read (uint8_t* destination, int count)
    {
        const auto available = position < size ? size - position : 0;
        const auto n = (int) (count < available ? count : available);
        if (n > 0)
            std::memcpy (destination, data + position, (size_t) n);
        position += n;
        return n;
    }

    uint32_t readInt()
    {
        uint8_t word[4];
        return read (word, 4) == 4 ? ::readInt (word) : 0;
    }
};

// The framework's search for the central directory, step for step, so that the
// entries checked here are the ones its reader will decode.
int64_t findCentralDirectory (Bytes in, int& numEntries)
{
    in.setPosition (in.size);
    auto position = in.position;
    const auto lowest = position - 1048576 > 0 ? position - 1048576 : 0;
    uint8_t buffer[32] = {};

    while (position > lowest)
    {
        in.setPosition (position - 22);
        position = in.position;
        std::memcpy (buffer + 22, buffer, 4);

        if (in.read (buffer, 22) != 22)
            return 0;

        for (int i = 0; i < 22; ++i)
        {
            if (readInt (buffer + i) == endOfDirectorySignature)
            {
                in.setPosition (position + i);
                in.read (buffer, 22);
                numEntries = readShort (buffer + 10);
                auto offset = (int64_t) readInt (buffer + 16);

                if (offset >= 4)
                {
                    in.setPosition (offset);

                    if (in.readInt() != directoryEntrySignature)
                    {
                        in.setPosition (offset - 4);

                        if (in.readInt() == directoryEntrySignature)
                            offset -= 4;
                    }
                }

                return offset;
            }
        }
    }

    return 0;
}
} // namespace

namespace SafeZipFile
{
bool hasSafeEntryNames (const void* data, size_t size)
{
    const auto* bytes = static_cast<const uint8_t*> (data);
    int numEntries = 0;
    const auto directory = findCentralDirectory ({ bytes, (int64_t) size }, numEntries);

    if (directory < 0 || directory >= (int64_t) size)
        return true; // the reader finds no entries

    const auto* headers = bytes + directory;
    const auto length = size - (size_t) directory;
    size_t position = 0;

    for (int i = 0; i < numEntries; ++i)
    {
        if (position + directoryEntryBytes > length)
            break;

        const auto* entry = headers + position;
        const size_t nameLength = readShort (entry + 28);

        if (position + directoryEntryBytes + nameLength > length)
            break;

        if (! isStrictUtf8 (entry + directoryEntryBytes, nameLength))
            return false;

        position += directoryEntryBytes + nameLength + readShort (entry + 30) + readShort (entry + 32);
    }

    return true;
}

std::unique_ptr<juce::ZipFile> open (const void* data, size_t size)
{
    if (data == nullptr || ! hasSafeEntryNames (data, size))
        return nullptr;

    return std::make_unique<juce::ZipFile> (new juce::MemoryInputStream (data, size, false), true);
}

bool readEntry (juce::ZipFile& zip, int index, juce::MemoryBlock& into, size_t maximumBytes)
{
    into.reset();
    std::unique_ptr<juce::InputStream> stream (zip.createStreamForEntry (index));

    if (stream == nullptr)
        return false;

    // One byte more than allowed tells an oversized entry from one that fits exactly.
    stream->readIntoMemoryBlock (into, (ssize_t) maximumBytes + 1);

    if (into.getSize() > maximumBytes)
    {
        into.reset();
        return false;
    }

    return true;
}
} // namespace SafeZipFile
