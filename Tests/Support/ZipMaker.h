#pragma once

#include <juce_core/juce_core.h>

#include <string>
#include <utility>
#include <vector>

// A ZIP archive made with the framework's own builder, entries in this order.
inline juce::MemoryBlock makeZip (const std::vector<std::pair<juce::String, std::string>>& entries, int compression = 9)
{
    juce::ZipFile::Builder builder;

    for (const auto& [name, content] : entries)
        builder.addEntry (new juce::MemoryInputStream (content.data(), content.size(), true), compression, name,
                          juce::Time (2024, 0, 1, 0, 0));

    juce::MemoryOutputStream out;
    builder.writeToStream (out, nullptr);
    return out.getMemoryBlock();
}

inline std::string toString (const juce::MemoryBlock& block)
{
    return { static_cast<const char*> (block.getData()), block.getSize() };
}

// Little-endian fields of an archive, read and written in place.
inline uint32_t zipField (const std::string& zip, size_t at, int bytes = 4)
{
    uint32_t value = 0;
    for (int i = bytes - 1; i >= 0; --i)
        value = (value << 8) | (uint8_t) zip.at (at + (size_t) i);
    return value;
}

inline void setZipField (std::string& zip, size_t at, uint32_t value, int bytes = 4)
{
    for (int i = 0; i < bytes; ++i)
        zip.at (at + (size_t) i) = (char) (uint8_t) (value >> (8 * i));
}

// Where one entry's records stand in an archive without a comment, found
// through its directory, so that a test can spoil one field at a time.
struct ZipEntryAt
{
    // Field offsets within each record.
    enum Local : size_t { localFlags = 6, localMethod = 8, localCrc = 14, localCompressed = 18, localContent = 22, localNameLength = 26 };
    enum Central : size_t { centralFlags = 8, centralMethod = 10, centralCrc = 16, centralCompressed = 20, centralContent = 24, centralLocal = 42 };

    size_t end;       // the end record
    size_t central;   // the entry's directory record
    size_t local;     // its local header
    size_t data;      // its first byte of data
    size_t dataEnd;   // one past its last byte of data, as the directory says
};

inline ZipEntryAt findZipEntry (const std::string& zip, int index = 0)
{
    ZipEntryAt at {};
    at.end = zip.size() - 22;
    at.central = zipField (zip, at.end + 16);

    for (int i = 0; i < index; ++i)
        at.central += 46 + zipField (zip, at.central + 28, 2) + zipField (zip, at.central + 30, 2) + zipField (zip, at.central + 32, 2);

    at.local = zipField (zip, at.central + ZipEntryAt::centralLocal);
    at.data = at.local + 30 + zipField (zip, at.local + 26, 2) + zipField (zip, at.local + 28, 2);
    at.dataEnd = at.data + zipField (zip, at.central + ZipEntryAt::centralCompressed);
    return at;
}

// A one-entry archive rewritten as a streaming writer makes it: zeros in the
// local header, the sums in a data descriptor after the data (with or without
// its signature).
inline std::string withDataDescriptor (std::string zip, bool signature)
{
    const auto at = findZipEntry (zip);
    std::string descriptor = signature ? std::string ("PK\x07\x08", 4) : std::string();
    for (const auto field : { ZipEntryAt::centralCrc, ZipEntryAt::centralCompressed, ZipEntryAt::centralContent })
    {
        descriptor += std::string (4, '\0');
        setZipField (descriptor, descriptor.size() - 4, zipField (zip, at.central + field));
    }

    for (const auto field : { ZipEntryAt::localCrc, ZipEntryAt::localCompressed, ZipEntryAt::localContent })
        setZipField (zip, at.local + field, 0);

    const uint32_t streamed = 0x0008;
    setZipField (zip, at.local + ZipEntryAt::localFlags, zipField (zip, at.local + ZipEntryAt::localFlags, 2) | streamed, 2);
    setZipField (zip, at.central + ZipEntryAt::centralFlags, zipField (zip, at.central + ZipEntryAt::centralFlags, 2) | streamed, 2);
    setZipField (zip, at.end + 16, (uint32_t) (at.central + descriptor.size()));
    zip.insert (at.dataEnd, descriptor);
    return zip;
}
