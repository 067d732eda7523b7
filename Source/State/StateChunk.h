#pragma once

#include "Devices/DeviceModes.h"
#include "Presets/PresetFormat.h"
#include "Utilities/InputLimits.h"

#include <juce_core/juce_core.h>
#include <cstdint>
#include <optional>
#include <utility>
#include <vector>

// The host's state chunk, in the framework's wrapping of XML in bytes: the
// magic 0x21324356, the text's length (the chunk's size minus 9), the
// single-line XML text and one zero byte. Encoding and decoding are pure: they
// need no processor and run on any thread.
namespace StateChunk
{
constexpr uint32_t magic = 0x21324356;
constexpr size_t maximumBytes = InputLimits::stateChunkBytes;
constexpr int maximumNameCharacters = InputLimits::stateProgramNameCharacters;

// The program a chunk records (its "PRESET" element).
struct Program
{
    juce::String name;
    int index = 0;
    bool modified = false;

    bool operator== (const Program& other) const { return name == other.name && index == other.index && modified == other.modified; }
};

// The pedal a chunk names (its "DEVICE" element) and how it is used.
struct Device
{
    juce::String name;
    Mode mode = Mode::audio;
    ChannelSetting channelSetting = ChannelSetting::stereo;
    PedalModeConfig pedalboardMode = PedalModeConfig::none;

    bool operator== (const Device& other) const
    {
        return name == other.name && mode == other.mode && channelSetting == other.channelSetting
            && pedalboardMode == other.pedalboardMode;
    }
};

// Everything a chunk is written from.
struct Contents
{
    juce::String rootTag;
    juce::String version;
    std::vector<std::pair<juce::String, int>> parameters; // "PARAM" ids and values, in order
    Program program;
    std::optional<Device> device;
};

juce::MemoryBlock encode (const Contents& contents);

// What a readable chunk holds, before anything is looked up or applied.
struct Decoded
{
    juce::String rootTag;
    PresetFormat presetValues { juce::var(), juce::String() }; // the stored levels, defaults where missing
    bool bypass = false;                                         // the stored "bypass", off when missing
    std::optional<Program> program;                              // the first "PRESET", as stored
    std::optional<Device> device;                                // the first "DEVICE", when it is valid
};

// Nothing when the bytes are no chunk or its text is no document. Text with
// broken UTF-8 still reads: each bad byte becomes U+FFFD. A program name is
// cut to its first maximumNameCharacters.
std::optional<Decoded> decode (const void* data, size_t size);

// The program a stored one restores as: its own index when that program still
// has its name, else the first of that name in the list its index points into,
// else the first program after "Default" (or "Default" when there is none).
int findProgram (const Program& stored, const juce::OwnedArray<PresetFormat>& firstPresets,
                 const juce::OwnedArray<PresetFormat>& userPresets);
} // namespace StateChunk
