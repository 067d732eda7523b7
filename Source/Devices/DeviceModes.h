#pragma once

#include <optional>

// How a plug-in instance uses its pedal. The connection state of a pedal holds a
// Mode: the one requested, and once the pedal answers, the one it confirmed.
// The numbers are those a menu id, a stored state and the pedal's table carry.
enum class Mode
{
    none = 0,       // "Not Connected"
    control = 1,    // parameters only
    audio = 2,      // the track's audio runs through the pedal
    pedalboard = 3  // the pedal is one leg of a chain
};

enum class ChannelSetting
{
    monoLeft = 0,
    monoRight = 1,
    stereo = 2
};

// The pedalboard leg an instance serves; none outside Pedalboard use.
enum class PedalModeConfig
{
    none = -1,
    in = 0,
    out = 1
};

constexpr int toInt (Mode mode) noexcept { return static_cast<int> (mode); }
constexpr int toInt (ChannelSetting channel) noexcept { return static_cast<int> (channel); }
constexpr int toInt (PedalModeConfig leg) noexcept { return static_cast<int> (leg); }

// A use the pedal can be asked for: Control, Audio or Pedalboard.
constexpr bool isRequestable (Mode mode) noexcept
{
    return mode == Mode::control || mode == Mode::audio || mode == Mode::pedalboard;
}

// The one place where the three are range-checked: whatever arrives as a plain
// int (a menu id, a host's stored state, the "channelSetting" parameter) passes
// here, and a number that names none of them is refused.
constexpr std::optional<Mode> requestableModeFromInt (int number) noexcept
{
    if (number < toInt (Mode::control) || number > toInt (Mode::pedalboard))
        return std::nullopt;
    return static_cast<Mode> (number);
}

constexpr std::optional<ChannelSetting> channelSettingFromInt (int number) noexcept
{
    if (number < toInt (ChannelSetting::monoLeft) || number > toInt (ChannelSetting::stereo))
        return std::nullopt;
    return static_cast<ChannelSetting> (number);
}

constexpr std::optional<PedalModeConfig> pedalModeConfigFromInt (int number) noexcept
{
    if (number < toInt (PedalModeConfig::none) || number > toInt (PedalModeConfig::out))
        return std::nullopt;
    return static_cast<PedalModeConfig> (number);
}
