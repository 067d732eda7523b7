#pragma once

#include <juce_core/juce_core.h>
#include <memory>

// Opens ZIP archives that came from outside. The framework's reader turns every
// entry name into a string without checking it, and a broken UTF-8 sequence
// makes the framework's string code misread the name (or read past it), so the
// names it is going to decode are checked as strict UTF-8 first.
//
// The framework's reader also takes the central directory's sizes on trust and
// never checks a CRC-32: a directory that understates an entry yields part of
// it, and changed bytes read as good. Entries are therefore read here, checked
// against every record the archive keeps of them.
namespace SafeZipFile
{
// Null when an entry name is not strict UTF-8. The bytes must outlive the reader.
std::unique_ptr<juce::ZipFile> open (const void* data, size_t size);

// Every entry name the framework's reader will decode from these bytes is strict UTF-8.
bool hasSafeEntryNames (const void* data, size_t size);

enum class Entry
{
    read,
    damaged,     // the records disagree with each other or with the data (sizes, CRC-32, name, method, bounds)
    unsupported, // encrypted, a ZIP64 record, or a method other than stored or deflated
    tooLarge     // the content is larger than allowed
};

// The whole content of the entry that the framework's reader numbers index in
// these bytes, read only when its local header and its central directory
// record agree (name, method, CRC-32 and both sizes, or a data descriptor that
// carries them), its data lies inside the archive before the directory, the
// compressed data is exactly its size and inflates to exactly the content's,
// and the content matches the CRC-32. Anything else leaves into empty.
Entry readEntry (const void* data, size_t size, int index, juce::MemoryBlock& into, size_t maximumBytes);
} // namespace SafeZipFile
