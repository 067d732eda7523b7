#pragma once

#include <array>
#include <cstdint>

class PresetFormat;

// One preset as the pedal stores and exchanges it: 23 seven-bit bytes.
struct PRESET
{
    static constexpr int recordSize = 23;

    static constexpr int programOffset = 0;
    static constexpr int nameOffset = 1;
    static constexpr int nameLength = 16;
    static constexpr int adcLOffset = 18;
    static constexpr int adcROffset = 19;
    static constexpr int dacLOffset = 20;
    static constexpr int dacROffset = 21;
    static constexpr int flagsOffset = 22;

    static constexpr uint8_t modifiedFlag = 1;
    static constexpr uint8_t bypassFlag = 2;

    std::array<uint8_t, recordSize> bytes {};
};

// The record the pedal expects for a program slot; levels outside 0..127 keep
// only their low seven bits, as MIDI data bytes must.
PRESET makePresetRecord (int programIndex, const PresetFormat& values, bool modified, bool bypass);
