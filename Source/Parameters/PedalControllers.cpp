#include "Parameters/PedalControllers.h"

#include <algorithm>

namespace
{
bool isNumber (int number) { return number >= 0 && number < PedalControllers::numberCount; }
} // namespace

PedalControllers::PedalControllers (const juce::Array<Parameter*>& parameters)
{
    for (int number = 0; number < numberCount; ++number)
    {
        for (auto* parameter : parameters)
        {
            if (parameter->getControllerNumber() == number)
            {
                targets[(size_t) number].push_back (parameter);
                break;
            }

            if (parameter->getLinkControllerNumber() == number)
                targets[(size_t) number].push_back (parameter);
        }
    }

    for (auto* parameter : parameters)
    {
        auto* partner = parameter->getLinkPartner();
        if (partner == nullptr)
            continue;

        // The table makes each pair's left level first.
        sides.push_back ({ parameter, parameters.indexOf (parameter) < parameters.indexOf (partner) });

        if (isNumber (parameter->getControllerNumber()))
            linkedLevels[(size_t) parameter->getControllerNumber()] = parameter;

        if (std::find (linkSwitches.begin(), linkSwitches.end(), parameter->getLinkSwitch()) == linkSwitches.end())
            linkSwitches.push_back (parameter->getLinkSwitch());
    }
}

int PedalControllers::resolve (int number) const
{
    if (! isNumber (number))
        return number;

    const auto* level = linkedLevels[(size_t) number];
    return level != nullptr && level->getLinkSwitch()->get() != 0 ? level->getLinkControllerNumber() : number;
}

const std::vector<PedalControllers::Parameter*>& PedalControllers::targetsOf (int number) const
{
    static const std::vector<Parameter*> none;
    return isNumber (number) ? targets[(size_t) number] : none;
}

bool PedalControllers::isIdleSide (const Parameter& parameter, std::optional<ChannelSetting> channelSetting) const
{
    if (channelSetting != ChannelSetting::monoLeft && channelSetting != ChannelSetting::monoRight)
        return false;

    const auto side = std::find_if (sides.begin(), sides.end(), [&parameter] (const Side& s) { return s.level == &parameter; });
    return side != sides.end() && side->left == (channelSetting == ChannelSetting::monoRight);
}
