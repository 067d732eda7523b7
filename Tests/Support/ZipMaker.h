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
