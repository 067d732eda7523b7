#include "Components/StatusLine.h"

#include "Devices/DeviceModes.h"

namespace StatusLine
{
juce::String textFor (int mode, int channel, int config)
{
    static const char* const modeNames[] = { "", "Control", "Audio", "Pedalboard" };

    if (! isRequestableMode (mode))
        return "Not Connected";

    if (! isChannelSetting (channel))
        return modeNames[mode];

    static const char* const channelWords[] = { "Mono L ", "Mono R ", "Stereo " };
    static const char* const channelLetters[] = { "L", "R", "S" };
    static const char* const legs[] = { "IN - ", "OUT - " };

    const juce::String modePart = juce::String (modeNames[mode]) + " : ";

    if (config == pedalboardIn || config == pedalboardOut)
        return modePart + legs[config] + channelLetters[channel];

    return modePart + channelWords[channel];
}
} // namespace StatusLine
