#pragma once

#include <juce_core/juce_core.h>

#include <vector>

// Lists a folder without the framework's folder walk, which turns every name it
// finds into a String unchecked: a name that is not UTF-8 (a Latin-1 "à" is
// enough) overflows the heap there. Here each name is checked first, and one
// that is not strict UTF-8 is skipped.
namespace DirectoryListing
{
struct Entry
{
    juce::File file;
    juce::String name;
    juce::Time modified;
};

// The regular files (after following links) directly inside the folder whose
// names match the wildcard, as the platform compares file names; in the order
// the system lists them, at most InputLimits::listedFiles.
std::vector<Entry> regularFiles (const juce::File& folder, const juce::String& wildcard);
} // namespace DirectoryListing
