// Reads arbitrary bytes as a user's .zvk preset file, and as a pedal's preset
// record, and checks that every value reads back as an int and the key set is
// exactly the preset's own.
#include "FuzzSupport.h"
#include "Presets/PresetFormat.h"
#include "Presets/PresetRecord.h"

#include <cstddef>
#include <cstdint>
#include <cstring>

namespace
{
void checkPreset (const PresetFormat& preset)
{
    auto* object = preset.getProperties().getDynamicObject();
    if (object == nullptr || object->getProperties().size() != 1 + PresetFormat::numKeys)
        __builtin_trap();

    if (object->getProperties().getName (0) != PresetFormat::nameKey())
        __builtin_trap();

    int index = 1;
    for (const auto& key : PresetFormat::presetKeys())
    {
        if (object->getProperties().getName (index++) != key)
            __builtin_trap();

        juce::ignoreUnused (preset.getValue (key));
    }

    const auto name = preset.getName().toStdString();
    if (! juce::CharPointer_UTF8::isValidString (name.c_str(), (int) name.size()))
        __builtin_trap();

    if (PresetFormatElementComparator::compareElements (&preset, &preset) != 0)
        __builtin_trap();

    const auto record = makePresetRecord (1, preset, true, true);
    for (int i = 0; i < PRESET::flagsOffset; ++i)
        if (record.bytes[(size_t) i] > 0x7F)
            __builtin_trap();
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput (const uint8_t* data, size_t size)
{
    initialiseFramework();

    const auto fromFile = PresetFormat::fromFileData (data, size, "Fuzzed");
    checkPreset (fromFile);
    if (fromFile.getName() != "Fuzzed")
        __builtin_trap();

    // Whatever the file held, applying it to another preset adds nothing.
    PresetFormat target (juce::var(), "Target");
    target.setProperties (fromFile.getProperties());
    checkPreset (target);

    if (size >= (size_t) PRESET::recordSize)
    {
        PRESET record;
        std::memcpy (record.bytes.data(), data, record.bytes.size());

        const PresetFormat fromRecord (record, {});
        checkPreset (fromRecord);

        if (fromRecord.getName().length() > PRESET::nameLength)
            __builtin_trap();

        for (const auto c : fromRecord.getName().toStdString())
            if (static_cast<unsigned char> (c) >= 0x80)
                __builtin_trap();
    }

    return 0;
}
