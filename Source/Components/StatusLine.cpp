#include "Components/StatusLine.h"

namespace StatusLine
{
juce::String textFor (Mode mode, std::optional<ChannelSetting> channel, PedalModeConfig config)
{
    static const char* const modeNames[] = { "", "Control", "Audio", "Pedalboard" };

    if (! isRequestable (mode))
        return "Not Connected";

    if (! channel)
        return modeNames[toInt (mode)];

    static const char* const channelWords[] = { "Mono L ", "Mono R ", "Stereo " };
    static const char* const channelLetters[] = { "L", "R", "S" };
    static const char* const legs[] = { "IN - ", "OUT - " };

    const juce::String modePart = juce::String (modeNames[toInt (mode)]) + " : ";

    if (config == PedalModeConfig::in || config == PedalModeConfig::out)
        return modePart + legs[toInt (config)] + channelLetters[toInt (*channel)];

    return modePart + channelWords[toInt (*channel)];
}
} // namespace StatusLine
