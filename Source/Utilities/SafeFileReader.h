#pragma once

#include <juce_core/juce_core.h>

// Reads a file that anyone could have put in the plug-in's folders. Only regular
// files are opened (a named pipe would block the reader for good), and no more
// than the limit is read, even when the file grows meanwhile.
namespace SafeFileReader
{
// False, with the block empty, for anything but a regular file of at most maximumBytes.
bool read (const juce::File& file, juce::MemoryBlock& into, size_t maximumBytes);
} // namespace SafeFileReader
