#pragma once

// How a plug-in instance uses its pedal. The connection state of a pedal holds a
// Mode: the one requested, and once the pedal answers, the one it confirmed.
enum Mode
{
    modeNone = 0,       // "Not Connected"
    modeControl = 1,    // parameters only
    modeAudio = 2,      // the track's audio runs through the pedal
    modePedalboard = 3  // the pedal is one leg of a chain
};

enum ChannelSetting
{
    channelMonoLeft = 0,
    channelMonoRight = 1,
    channelStereo = 2
};

enum PedalModeConfig
{
    pedalboardNone = -1,
    pedalboardIn = 0,
    pedalboardOut = 1
};

// The one place where the three are range-checked: whatever arrives as a plain
// int (the editor's menu, a host's stored state, a caller's mistake) passes here.
constexpr bool isRequestableMode (int mode) noexcept { return mode >= modeControl && mode <= modePedalboard; }
constexpr bool isChannelSetting (int channel) noexcept { return channel >= channelMonoLeft && channel <= channelStereo; }
constexpr bool isPedalboardLeg (int leg) noexcept { return leg >= pedalboardNone && leg <= pedalboardOut; }
