#pragma once

#include "Devices/DeviceModes.h"

#include <juce_core/juce_core.h>

// The pedal to attach when the processor's reconnect timer fires: the one a
// restored host state names, or the one an update took away.
struct PendingDevice
{
    juce::String name;
    int channelSetting = channelStereo;
    int mode = modeAudio;
    int pedalboardMode = pedalboardNone;
};
