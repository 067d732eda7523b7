#include "Devices/Audio/PedalAudioBridge.h"
#include "Settings/DeviceSettings.h"
#include "Settings/SettingsIdentifiers.h"

#include <gtest/gtest.h>
#include <algorithm>

namespace
{
using Parameters = PedalAudioBridge::Parameters;

// Each of the pedal's settings that steer a bridge, set in a settings tree,
// reaches its own field of the bridge's parameters and no other; a change of
// it alone makes other parameters, and taking the settings copies it without
// the host's rate and block.
TEST (BridgeParameters, EachSteeringSettingInASettingsTreeReachesItsField)
{
    struct Case
    {
        const char* property;
        int value;
        int Parameters::*field;
    };

    const Case cases[] = {
        { "blockSize", 256, &Parameters::deviceBlock },
        { "inAdjust", 2, &Parameters::inAdjust },
        { "outAdjust", 0, &Parameters::outAdjust },
        { "extraLatency", 777, &Parameters::extraLatency },
    };

    // Every setting the bridge is steered by is in this table.
    ASSERT_EQ (std::size (cases), Parameters::steering().size());

    juce::ValueTree emptyTree (ID::DEVICE);
    const DeviceSettings defaults (emptyTree);
    const auto before = Parameters::of (defaults, 48000.0, 128);
    EXPECT_EQ (before.sampleRate, 48000.0);
    EXPECT_EQ (before.hostBlock, 128);
    EXPECT_EQ (before, (Parameters { 48000.0, 128, 0, 0, 1, 0 }));

    for (const auto& c : cases)
    {
        SCOPED_TRACE (c.property);
        EXPECT_TRUE (std::any_of (Parameters::steering().begin(), Parameters::steering().end(),
                                  [&] (const auto& entry) { return entry.field == c.field; }));

        juce::ValueTree tree (ID::DEVICE);
        tree.setProperty (c.property, c.value, nullptr);
        const DeviceSettings settings (tree);
        const auto p = Parameters::of (settings, 48000.0, 128);

        auto expected = before;
        expected.*c.field = c.value;
        EXPECT_EQ (p.*c.field, c.value);
        EXPECT_EQ (p, expected);
        EXPECT_NE (p, before);

        auto taken = Parameters { 44100.0, 512, 0, 0, 1, 0 };
        taken.takeSettings (p);
        EXPECT_EQ (taken.sampleRate, 44100.0);
        EXPECT_EQ (taken.hostBlock, 512);
        EXPECT_EQ (taken.*c.field, c.value);
    }
}
} // namespace
