#include "Utilities/SafeZipFile.h"

#include "Utilities/Utf8Check.h"

#include <cstring>
#include <zlib.h>

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

// Calls visit (record, nameLength) for each central directory record, in the
// order and within the bounds of the framework's reader, until visit returns
// false. Returns the directory's offset, or -1 when the reader finds none.
template <typename Visit>
int64_t walkDirectory (const uint8_t* bytes, size_t size, Visit&& visit)
{
    int numEntries = 0;
    const auto directory = findCentralDirectory ({ bytes, (int64_t) size }, numEntries);

    if (directory < 0 || directory >= (int64_t) size)
        return -1; // the reader finds no entries

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

        if (! visit (entry, nameLength))
            break;

        position += directoryEntryBytes + nameLength + readShort (entry + 30) + readShort (entry + 32);
    }

    return directory;
}

constexpr uint32_t localHeaderSignature = 0x04034b50;
constexpr uint32_t dataDescriptorSignature = 0x08074b50;
constexpr size_t localHeaderBytes = 30;
constexpr uint16_t encryptedFlags = 0x0001 | 0x0040;
constexpr uint16_t dataDescriptorFlag = 0x0008;
constexpr uint16_t stored = 0, deflated = 8;
constexpr uint32_t zip64Marker = 0xFFFFFFFF;

// What the archive records of one entry: CRC-32, compressed and content size.
struct Sums
{
    uint32_t crc, compressed, content;
    bool operator== (const Sums& other) const { return crc == other.crc && compressed == other.compressed && content == other.content; }
};

// Inflates raw deflate data that must end exactly where the data ends and fill the content exactly.
bool inflateExactly (const uint8_t* in, size_t inSize, uint8_t* out, size_t outSize)
{
    uint8_t none = 0;
    z_stream stream {};
    if (inflateInit2 (&stream, -MAX_WBITS) != Z_OK)
        return false;

    stream.next_in = const_cast<Bytef*> (in);
    stream.avail_in = (uInt) inSize;
    stream.next_out = outSize > 0 ? out : &none;
    stream.avail_out = (uInt) outSize;

    const auto status = inflate (&stream, Z_FINISH);
    const bool exact = status == Z_STREAM_END && stream.avail_in == 0 && stream.avail_out == 0;
    inflateEnd (&stream);
    return exact;
}

using SafeZipFile::Entry;

Entry checkAndRead (const uint8_t* bytes, size_t directory, const uint8_t* record, size_t nameLength,
                    juce::MemoryBlock& into, size_t maximumBytes)
{
    if (readInt (record) != directoryEntrySignature)
        return Entry::damaged;

    const auto flags = readShort (record + 8);
    const auto method = readShort (record + 10);
    const Sums recorded { readInt (record + 16), readInt (record + 20), readInt (record + 24) };
    const size_t local = readInt (record + 42);

    if ((flags & encryptedFlags) != 0 || (method != stored && method != deflated) || recorded.compressed == zip64Marker
        || recorded.content == zip64Marker || local == zip64Marker)
        return Entry::unsupported;

    if (recorded.content > maximumBytes)
        return Entry::tooLarge;

    // The local header, its name and the data all lie before the directory.
    if (local + localHeaderBytes > directory)
        return Entry::damaged;

    const auto* header = bytes + local;
    const auto dataStart = local + localHeaderBytes + readShort (header + 26) + readShort (header + 28);
    const auto dataEnd = dataStart + recorded.compressed;

    if (dataEnd > directory || readInt (header) != localHeaderSignature || readShort (header + 8) != method
        || (readShort (header + 6) & dataDescriptorFlag) != (flags & dataDescriptorFlag) || readShort (header + 26) != nameLength
        || std::memcmp (header + localHeaderBytes, record + directoryEntryBytes, nameLength) != 0)
        return Entry::damaged;

    const Sums inHeader { readInt (header + 14), readInt (header + 18), readInt (header + 22) };

    if ((flags & dataDescriptorFlag) != 0)
    {
        // Written while streaming: the sums follow the data (after an optional
        // signature); the local header holds zeros, or the same sums.
        auto at = dataEnd;
        if (at + 4 <= directory && readInt (bytes + at) == dataDescriptorSignature)
            at += 4;

        if (at + 12 > directory || ! (Sums { readInt (bytes + at), readInt (bytes + at + 4), readInt (bytes + at + 8) } == recorded)
            || ! (inHeader == Sums { 0, 0, 0 } || inHeader == recorded))
            return Entry::damaged;
    }
    else if (! (inHeader == recorded))
    {
        return Entry::damaged;
    }

    into.setSize (recorded.content);
    auto* content = static_cast<uint8_t*> (into.getData());

    bool whole = false;
    if (method == deflated)
        whole = inflateExactly (bytes + dataStart, recorded.compressed, content, recorded.content);
    else if (recorded.compressed == recorded.content)
    {
        if (recorded.content > 0)
            std::memcpy (content, bytes + dataStart, recorded.content);
        whole = true;
    }

    if (! whole || (uint32_t) crc32 (0L, content, (uInt) recorded.content) != recorded.crc)
        return Entry::damaged;

    return Entry::read;
}
} // namespace

namespace SafeZipFile
{
bool hasSafeEntryNames (const void* data, size_t size)
{
    bool safe = true;
    walkDirectory (static_cast<const uint8_t*> (data), size, [&safe] (const uint8_t* entry, size_t nameLength)
                   { return safe = isStrictUtf8 (entry + directoryEntryBytes, nameLength); });
    return safe;
}

std::unique_ptr<juce::ZipFile> open (const void* data, size_t size)
{
    if (data == nullptr || ! hasSafeEntryNames (data, size))
        return nullptr;

    return std::make_unique<juce::ZipFile> (new juce::MemoryInputStream (data, size, false), true);
}

Entry readEntry (const void* data, size_t size, int index, juce::MemoryBlock& into, size_t maximumBytes)
{
    into.reset();
    const auto* bytes = static_cast<const uint8_t*> (data);
    const uint8_t* record = nullptr;
    size_t nameLength = 0;
    int i = 0;

    const auto directory = data == nullptr ? -1 : walkDirectory (bytes, size, [&] (const uint8_t* entry, size_t length)
    {
        if (i++ != index)
            return true;

        record = entry;
        nameLength = length;
        return false;
    });

    const auto outcome = record == nullptr ? Entry::damaged : checkAndRead (bytes, (size_t) directory, record, nameLength, into, maximumBytes);

    if (outcome != Entry::read)
        into.reset();

    return outcome;
}
} // namespace SafeZipFile
