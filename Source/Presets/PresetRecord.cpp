#include "Presets/PresetRecord.h"

#include "Presets/PresetFormat.h"

namespace
{
uint8_t sevenBits (int value) noexcept
{
    return static_cast<uint8_t> (static_cast<unsigned int> (value) & 0x7Fu);
}
} // namespace

PRESET makePresetRecord (int programIndex, const PresetFormat& values, bool modified, bool bypass)
{
    PRESET record;

    if (programIndex != 0)
        record.bytes[PRESET::programOffset] = 127;

    record.bytes[PRESET::adcLOffset] = sevenBits (values.getValue (PresetFormat::adcLKey()));
    record.bytes[PRESET::adcROffset] = sevenBits (values.getValue (PresetFormat::adcRKey()));
    record.bytes[PRESET::dacLOffset] = sevenBits (values.getValue (PresetFormat::dacLKey()));
    record.bytes[PRESET::dacROffset] = sevenBits (values.getValue (PresetFormat::dacRKey()));

    record.bytes[PRESET::flagsOffset] = static_cast<uint8_t> ((modified ? PRESET::modifiedFlag : 0)
                                                             | (bypass ? PRESET::bypassFlag : 0));
    return record;
}
