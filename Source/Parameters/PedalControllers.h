#pragma once

#include "Devices/DeviceModes.h"
#include "Parameters/AudioValueTreeState.h"

#include <array>
#include <optional>
#include <vector>

// What the pedal's controller numbers mean for the parameters, worked out once
// from the parameter table (its controller numbers, link numbers and stereo
// pairs), so that a message from the pedal is applied without looking anything
// up by name.
class PedalControllers
{
public:
    using Parameter = AudioValueTreeState::Parameter;

    static constexpr int numberCount = 128; // controller numbers are 7-bit

    PedalControllers() = default;
    explicit PedalControllers (const juce::Array<Parameter*>& parameters);

    // The number a pair from the pedal counts as: a level's own number becomes its
    // pair's link number while the pair's link switch is on.
    int resolve (int number) const;

    // The parameters a pair of that (resolved) number sets, in table order: the
    // one whose own number it is, and before it every level whose pair it links.
    const std::vector<Parameter*>& targetsOf (int number) const;

    // Whether the parameter is the level of the pedal side that a mono channel
    // setting leaves idle (the right one in Mono L, the left one in Mono R).
    bool isIdleSide (const Parameter& parameter, std::optional<ChannelSetting> channelSetting) const;

    // The switches that link stereo pairs, in table order.
    const std::vector<Parameter*>& getLinkSwitches() const noexcept { return linkSwitches; }

private:
    struct Side
    {
        const Parameter* level;
        bool left;
    };

    std::array<std::vector<Parameter*>, numberCount> targets;
    std::array<const Parameter*, numberCount> linkedLevels {};
    std::vector<Side> sides;
    std::vector<Parameter*> linkSwitches;
};
