#pragma once

#include "Presets/PresetRecord.h"
#include "Utilities/InputLimits.h"

#include <juce_core/juce_core.h>

#include <array>
#include <cstddef>

// One user preset: a name and seven levels, kept as a dynamic object so it
// reads and writes as the JSON of a .zvk file. The set and order of keys never
// change: "name" first, then presetKeys().
class PresetFormat
{
public:
    static constexpr int numKeys = 7;
    static constexpr int defaultLink = 1;
    static constexpr int defaultLevel = 63;

    // Files larger than this, or nested deeper, are treated as invalid.
    static constexpr size_t maximumFileBytes = InputLimits::presetFileBytes;
    static constexpr int maximumNesting = InputLimits::presetNesting;
    static constexpr int maximumNameLength = 15;

    PresetFormat (const juce::var& source, const juce::String& name);
    PresetFormat (const PRESET& record, const juce::String& name);

    // Copies own their properties: editing one preset never edits another.
    PresetFormat (const PresetFormat& other);
    PresetFormat& operator= (const PresetFormat& other);
    PresetFormat (PresetFormat&&) noexcept = default;
    PresetFormat& operator= (PresetFormat&&) noexcept = default;
    ~PresetFormat() = default;

    // Copies every property the source object has; never adds keys.
    void setProperties (const juce::var& source);

    juce::String getName() const;
    int getValue (const juce::Identifier& key) const noexcept;
    const juce::var& getProperties() const noexcept { return properties; }

    static const juce::Identifier& nameKey();
    static const juce::Identifier& adcLinkKey();
    static const juce::Identifier& adcLKey();
    static const juce::Identifier& adcRKey();
    static const juce::Identifier& dacLinkKey();
    static const juce::Identifier& dacLKey();
    static const juce::Identifier& dacRKey();

    // The seven level keys, in file order (without "name").
    static const std::array<juce::Identifier, numKeys>& presetKeys();
    static int defaultValue (const juce::Identifier& key) noexcept;

    // Any var as an int without overflow: numbers truncate towards zero and
    // clamp, NaN and non-numbers give 0, strings read their leading integer.
    static int toInt (const juce::var& value) noexcept;

    // The contents of one .zvk file; anything that is not a JSON object within
    // the size, nesting and encoding limits gives the defaults. The file's own
    // "name" is ignored in favour of the given one.
    static PresetFormat fromFileData (const void* data, size_t numBytes, const juce::String& name);
    static PresetFormat fromFileText (const juce::String& text, const juce::String& name);

    // Every regular *.zvk file directly inside the folder whose name is UTF-8,
    // sorted by name; nothing when there is no folder.
    static void loadUserPresets (const juce::File& folder, juce::OwnedArray<PresetFormat>& into);

private:
    juce::var properties;
};

struct PresetFormatElementComparator
{
    // Lower-cased names, code point by code point.
    static int compareElements (const PresetFormat* first, const PresetFormat* second);
};
