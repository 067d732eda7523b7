#include "Devices/Audio/PedalAudioBridge.h"
#include "Settings/DeviceSettings.h"
#include "Settings/SettingsIdentifiers.h"

#include <gtest/gtest.h>

#include <array>
#include <functional>
#include <string>
#include <vector>

namespace
{
const juce::Identifier blockSizeID ("blockSize"), outAdjustID ("outAdjust"), inAdjustID ("inAdjust"),
    extraLatencyID ("extraLatency");

using Order = std::vector<std::string>;

struct RecordingListener : DeviceSettings::Listener
{
    RecordingListener (Order& logToUse, std::string nameToUse) : log (logToUse), name (std::move (nameToUse)) {}

    void settingsChanged() override
    {
        ++calls;
        log.push_back (name);
        if (action)
            action();
    }

    Order& log;
    std::string name;
    std::function<void()> action;
    int calls = 0;
};

// blockSize, outAdjust, inAdjust and extraLatency, in that order.
using Values = std::array<int, 4>;

Values valuesOf (DeviceSettings& s)
{
    return { s.blockSize.get(), s.outAdjust.get(), s.inAdjust.get(), s.extraLatency.get() };
}

// A device tree, its settings and three listeners that are not yet added.
struct DeviceSettingsTest : ::testing::Test
{
    int stored (const juce::Identifier& id) const { return static_cast<int> (tree[id]); }

    juce::ValueTree tree { ID::DEVICE };
    DeviceSettings settings { tree };
    Order order;
    RecordingListener a { order, "a" }, b { order, "b" }, c { order, "c" };
};
} // namespace

//==============================================================================
TEST_F (DeviceSettingsTest, AFreshTreeGivesDefaultsAndAStoredOneConstrainedValues)
{
    EXPECT_EQ (valuesOf (settings), (Values { 0, 1, 0, 0 }));
    EXPECT_EQ (tree.getNumProperties(), 0);

    tree.setProperty (blockSizeID, 256, nullptr);
    tree.setProperty (outAdjustID, 2, nullptr);
    tree.setProperty (extraLatencyID, 50000, nullptr);
    DeviceSettings loaded (tree);
    EXPECT_EQ (valuesOf (loaded), (Values { 256, 2, 0, 9999 }));
    EXPECT_EQ (stored (extraLatencyID), 50000);
    EXPECT_EQ (tree.getNumProperties(), 3);
}

// A value off the table stores the table's first entry, not the default nor the nearest entry.
TEST_F (DeviceSettingsTest, WritesAreConstrainedBeforeTheyAreStored)
{
    const struct { ConstrainedCachedValue<int> DeviceSettings::*member; juce::Identifier id; int written, expected; } cases[] = {
        { &DeviceSettings::blockSize, blockSizeID, 512, 512 }, { &DeviceSettings::blockSize, blockSizeID, 100, 0 },
        { &DeviceSettings::outAdjust, outAdjustID, 7, 0 },     { &DeviceSettings::inAdjust, inAdjustID, -1, 0 },
        { &DeviceSettings::extraLatency, extraLatencyID, -5, 0 }, { &DeviceSettings::extraLatency, extraLatencyID, 12000, 9999 },
        { &DeviceSettings::extraLatency, extraLatencyID, 1234, 1234 },
    };

    for (const auto& c : cases)
    {
        SCOPED_TRACE (c.id.toString() + " " + juce::String (c.written));
        (settings.*c.member).setValue (c.written, nullptr);
        EXPECT_EQ ((settings.*c.member).get(), c.expected);
        ASSERT_TRUE (tree.hasProperty (c.id));
        EXPECT_EQ (stored (c.id), c.expected);
    }
}

//==============================================================================
TEST_F (DeviceSettingsTest, OnlyEffectiveChangesNotifyButAMissingPropertyIsAlwaysStored)
{
    settings.addListener (&a);

    // The current value, not yet in the tree: stored, and heard.
    settings.outAdjust.setValue (1, nullptr);
    EXPECT_EQ (a.calls, 1);
    EXPECT_EQ (stored (outAdjustID), 1);

    // 100 constrains to the stored 0.
    for (const auto& [written, calls] : { std::pair { 64, 2 }, { 64, 2 }, { 100, 3 }, { 100, 3 }, { 0, 3 } })
    {
        SCOPED_TRACE (written);
        settings.blockSize.setValue (written, nullptr);
        EXPECT_EQ (a.calls, calls);
    }
}

// A listener may remove itself, or one not yet heard, during its call: nobody else is skipped.
TEST_F (DeviceSettingsTest, TheLastAddedHearsFirstEachListenerOnce)
{
    for (auto* l : { &a, &a, &b, &c })
        settings.addListener (l);
    settings.removeListener (&a);
    settings.removeListener (&a);
    settings.addListener (&a);

    settings.extraLatency.setValue (10, nullptr);
    EXPECT_EQ (order, (Order { "a", "c", "b" }));

    a.action = [this] { settings.removeListener (&a); settings.removeListener (&c); };
    order.clear();
    settings.extraLatency.setValue (20, nullptr);
    EXPECT_EQ (order, (Order { "a", "b" }));
}

// A setting that steers the pedal's audio bridge but that the settings do not
// list among all() would compile and never be heard: the bridge would not
// follow it. Written into a fresh tree, each is stored and heard once.
TEST_F (DeviceSettingsTest, EverySettingThatSteersTheBridgeIsHeardWhenWritten)
{
    settings.addListener (&a);

    int entry = 0;
    for (const auto& steering : PedalAudioBridge::Parameters::steering())
    {
        SCOPED_TRACE (entry++);
        const int heardBefore = a.calls;
        auto& setting = settings.*steering.setting;
        setting.setValue (setting.get(), nullptr);
        EXPECT_EQ (a.calls, heardBefore + 1);
    }

    EXPECT_EQ (tree.getNumProperties(), (int) PedalAudioBridge::Parameters::steering().size());
}

//==============================================================================
// The tree keeps whatever arrived, so a file written by a newer version survives a round trip.
TEST_F (DeviceSettingsTest, ValuesArrivingInTheTreeAreConstrainedButKeptAsTheyCame)
{
    settings.addListener (&a);

    // Numbers as set by code, text as loaded from XML. 300 finds 0 already in the cache: no news.
    const struct { juce::Identifier id; juce::var stored; int read, calls; } steps[] = {
        { blockSizeID, 256, 256, 1 },   { blockSizeID, 100, 0, 2 },     { blockSizeID, 300, 0, 2 },
        { blockSizeID, "512", 512, 3 }, { blockSizeID, "100", 0, 4 },   { extraLatencyID, " 42", 42, 5 },
        { extraLatencyID, "99999999999999999999", 9999, 6 }, { extraLatencyID, 1.0e300, 9999, 6 },
        { extraLatencyID, "-1e300", 0, 7 },
    };

    for (const auto& step : steps)
    {
        SCOPED_TRACE (step.stored.toString());
        tree.setProperty (step.id, step.stored, nullptr);
        EXPECT_EQ (step.id == blockSizeID ? settings.blockSize.get() : settings.extraLatency.get(), step.read);
        EXPECT_EQ (tree[step.id], step.stored);
        EXPECT_EQ (a.calls, step.calls);
    }
}

TEST_F (DeviceSettingsTest, RemovingAPropertyRestoresTheDefault)
{
    settings.addListener (&a);

    settings.outAdjust.setValue (2, nullptr);
    tree.removeProperty (outAdjustID, nullptr);
    EXPECT_EQ (settings.outAdjust.get(), 1);
    EXPECT_EQ (a.calls, 2);

    // Back to the value it already has: silent.
    settings.outAdjust.setValue (1, nullptr);
    tree.removeProperty (outAdjustID, nullptr);
    EXPECT_EQ (settings.outAdjust.get(), 1);
    EXPECT_EQ (a.calls, 3);

    // A stored 0 constrained from 100 equals the default 0 of blockSize.
    tree.setProperty (blockSizeID, 100, nullptr);
    tree.removeAllProperties (nullptr);
    EXPECT_EQ (settings.blockSize.get(), 0);
    EXPECT_EQ (a.calls, 3);
}

TEST_F (DeviceSettingsTest, WritesThroughOneViewReachTheOtherButChildTreesAreNotSettings)
{
    auto sameTree = tree;
    DeviceSettings reader (sameTree);
    settings.addListener (&a);
    reader.addListener (&b);

    settings.extraLatency.setValue (250, nullptr);
    reader.blockSize.setValue (1024, nullptr);
    EXPECT_EQ (reader.extraLatency.get(), 250);
    EXPECT_EQ (settings.blockSize.get(), 1024);
    EXPECT_EQ (std::pair (a.calls, b.calls), std::pair (2, 2));

    juce::ValueTree child ("CHILD");
    tree.appendChild (child, nullptr);
    child.setProperty (blockSizeID, 512, nullptr);
    EXPECT_EQ (settings.blockSize.get(), 1024);
    EXPECT_EQ (a.calls, 2);
}

//==============================================================================
TEST (DeviceSettingsLabels, BlockSizesAndBufferSizes)
{
    EXPECT_EQ (AllowedValueConstrainer<BlockSizeConstrainer>::options(),
               (juce::StringArray { "Same As Host", "32 samples", "64 samples", "96 samples", "128 samples",
                                    "192 samples", "256 samples", "512 samples", "1024 samples", "2048 samples" }));

    EXPECT_EQ (AllowedValueConstrainer<BufferSizeConstrainer>::options(), (juce::StringArray { "Small", "Medium", "Large" }));
    EXPECT_EQ (BufferSizeConstrainer::label (9), "Small");
}
