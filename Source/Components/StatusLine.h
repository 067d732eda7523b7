#pragma once

#include "Devices/DeviceModes.h"

#include <juce_core/juce_core.h>
#include <optional>

namespace StatusLine
{
// The editor's status line for a use, channel setting and pedalboard leg:
// "Audio : Stereo ", "Pedalboard : OUT - L", "Not Connected". Without a use it
// is "Not Connected" alone, whatever channel is left over; a use without a
// channel setting shows its name alone, and no leg is left out.
juce::String textFor (Mode mode, std::optional<ChannelSetting> channel, PedalModeConfig config);
} // namespace StatusLine
