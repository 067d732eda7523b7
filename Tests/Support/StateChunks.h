#pragma once

#include <juce_core/juce_core.h>
#include <cstdint>
#include <string>

// Host state chunks made by hand as the framework writes them: the magic, a
// length field (the text's own unless given), the text and a zero byte.
namespace StateChunks
{
inline const std::string declaration = "<?xml version=\"1.0\" encoding=\"UTF-8\"?> ";

inline std::string frame (const std::string& text, int64_t lengthField = -1, bool terminated = true)
{
    const auto length = (uint32_t) (lengthField < 0 ? (int64_t) text.size() : lengthField);
    std::string bytes = "VC2!";
    for (int shift = 0; shift < 32; shift += 8)
        bytes += (char) ((length >> shift) & 0xFF);
    return bytes + text + (terminated ? std::string (1, '\0') : std::string());
}

inline std::string document (const std::string& body, const std::string& root = "Pellion")
{
    return declaration + "<" + root + " version=\"0.2.0\">" + body + "</" + root + ">";
}

inline std::string param (const std::string& id, const std::string& value)
{
    return "<PARAM id=\"" + id + "\" value=\"" + value + "\"/>";
}

inline std::string preset (const std::string& name, const std::string& program, const std::string& modified)
{
    return "<PRESET name=\"" + name + "\" program=\"" + program + "\" modified=\"" + modified + "\"/>";
}

inline const std::string defaultPreset = preset ("Default", "0", "0");

inline juce::MemoryBlock chunk (const std::string& body, const std::string& root = "Pellion")
{
    const auto bytes = frame (document (body, root));
    return { bytes.data(), bytes.size() };
}

// The document inside a chunk, without its header and terminating zero.
inline std::string textOf (const juce::MemoryBlock& block)
{
    return block.getSize() > 9 ? std::string (static_cast<const char*> (block.getData()) + 8, block.getSize() - 9) : "";
}
} // namespace StateChunks
