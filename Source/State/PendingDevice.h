#pragma once

#include "Devices/DeviceModes.h"

#include <juce_core/juce_core.h>

// The pedal to attach when the processor's reconnect timer fires: the one a
// restored host state names, or the one an update took away.
struct PendingDevice
{
    juce::String name;
    ChannelSetting channelSetting = ChannelSetting::stereo;
    Mode mode = Mode::audio;
    PedalModeConfig pedalboardMode = PedalModeConfig::none;
};
