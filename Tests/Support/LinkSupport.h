#pragma once

#include <juce_audio_devices/juce_audio_devices.h>
#include <cstdint>
#include <vector>

using Bytes = std::vector<uint8_t>;

inline Bytes bytesOf (const juce::MidiMessage& message)
{
    const auto* data = message.getRawData();
    return { data, data + message.getRawDataSize() };
}

// The port of that name, or an empty description when there is none.
inline juce::MidiDeviceInfo findPort (const juce::Array<juce::MidiDeviceInfo>& ports, const juce::String& name)
{
    for (auto& port : ports)
        if (port.name == name)
            return port;

    return {};
}
