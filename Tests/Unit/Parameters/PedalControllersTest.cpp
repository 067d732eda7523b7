#include "Devices/DeviceModes.h"
#include "Parameters/ParameterTable.h"
#include "Parameters/PedalControllers.h"

#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace
{
using Ids = std::vector<std::string>;

class PedalControllersTest : public ::testing::Test
{
protected:
    PedalControllersTest()
    {
        ParameterTable::create (store, [this] (auto parameter) { owned.add (parameter.release()); });
        controllers = PedalControllers (store.getParameters());
    }

    static Ids idsOf (const std::vector<AudioValueTreeState::Parameter*>& parameters)
    {
        Ids ids;
        for (auto* p : parameters)
            ids.push_back (p->getParameterID().toStdString());
        return ids;
    }

    void setLinks (int on)
    {
        for (auto* id : { "adcLink", "dacLink" })
            store.getParameter (id)->set (on, GestureTracker::internalSource);
    }

    AudioValueTreeState store { "Pellion", "0.2.0" };
    juce::OwnedArray<AudioValueTreeState::Parameter> owned;
    PedalControllers controllers;
};

// What a pair from the pedal sets, by its number and the state of the links.
TEST_F (PedalControllersTest, EachNumberSetsItsParametersAndALinkedSideSetsTheBothOfItsPair)
{
    const struct { int number, links; Ids set; } cases[] = {
        { 106, 0, { "adcL" } }, { 107, 0, { "adcR" } }, { 106, 1, { "adcL", "adcR" } }, { 107, 1, { "adcL", "adcR" } },
        { 105, 0, { "adcL", "adcR" } }, { 113, 0, { "dacL" } }, { 114, 1, { "dacL", "dacR" } }, { 112, 0, { "dacL", "dacR" } },
        { 108, 1, { "adcLink" } }, { 115, 1, { "dacLink" } }, { 110, 0, { "bypass" } },
        { 0, 0, {} }, { 109, 1, {} }, { 111, 0, {} }, { 127, 1, {} }, { -1, 0, {} }, { 128, 0, {} },
    };

    for (const auto& c : cases)
    {
        setLinks (c.links);
        EXPECT_EQ (idsOf (controllers.targetsOf (controllers.resolve (c.number))), c.set) << c.number << " links " << c.links;
    }
}

TEST_F (PedalControllersTest, MonoUseLeavesTheOtherSidesLevelsIdle)
{
    const struct { std::optional<ChannelSetting> channel; Ids idle; } cases[] = {
        { ChannelSetting::monoLeft, { "adcR", "dacR" } }, { ChannelSetting::monoRight, { "adcL", "dacL" } }, { ChannelSetting::stereo, {} },
        { std::nullopt, {} },
    };

    for (const auto& c : cases)
    {
        Ids idle;
        for (auto* p : store.getParameters())
            if (controllers.isIdleSide (*p, c.channel))
                idle.push_back (p->getParameterID().toStdString());

        EXPECT_EQ (idle, c.idle) << (c.channel ? toInt (*c.channel) : -1);
    }

    EXPECT_EQ (idsOf (controllers.getLinkSwitches()), (Ids { "adcLink", "dacLink" }));
}
} // namespace
