#include "Utilities/SafeFileReader.h"

#include <filesystem>

bool SafeFileReader::read (const juce::File& file, juce::MemoryBlock& into, size_t maximumBytes)
{
    into.reset();
    std::error_code error;

    if (! std::filesystem::is_regular_file (file.getFullPathName().toStdString(), error))
        return false;

    juce::FileInputStream stream (file);
    if (! stream.openedOk())
        return false;

    stream.readIntoMemoryBlock (into, (ssize_t) maximumBytes + 1);

    if (into.getSize() > maximumBytes)
    {
        into.reset();
        return false;
    }

    return true;
}
