#pragma once

#include <juce_core/juce_core.h>
#include <memory>

// Opens ZIP archives that came from outside. The framework's reader turns every
// entry name into a string without checking it, and a broken UTF-8 sequence
// makes the framework's string code misread the name (or read past it), so the
// names it is going to decode are checked as strict UTF-8 first.
namespace SafeZipFile
{
// Null when an entry name is not strict UTF-8. The bytes must outlive the reader.
std::unique_ptr<juce::ZipFile> open (const void* data, size_t size);

// Every entry name the framework's reader will decode from these bytes is strict UTF-8.
bool hasSafeEntryNames (const void* data, size_t size);

// The whole decompressed content of an entry, or false when it has no stream
// or holds more than maximumBytes.
bool readEntry (juce::ZipFile& zip, int index, juce::MemoryBlock& into, size_t maximumBytes);
} // namespace SafeZipFile
