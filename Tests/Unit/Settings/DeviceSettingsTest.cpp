#include "Settings/DeviceSettings.h"
#include "Utilities/ConstrainedCachedValue.h"
#include "Settings/SettingsIdentifiers.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <functional>
#include <iterator>
#include <limits>
#include <memory>
#include <string>
#include <vector>

namespace
{
const juce::Identifier blockSizeID ("blockSize"), outAdjustID ("outAdjust"), inAdjustID ("inAdjust"),
    extraLatencyID ("extraLatency");

// Counts JUCE assertion reports while installed.
struct AssertionCounter : juce::Logger
{
    AssertionCounter() { juce::Logger::setCurrentLogger (this); }
    ~AssertionCounter() override { juce::Logger::setCurrentLogger (previous); }

    void logMessage (const juce::String& message) override
    {
        if (message.startsWith ("JUCE Assertion failure"))
            ++count;
    }

    juce::Logger* const previous = juce::Logger::getCurrentLogger();
    int count = 0;
};

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

juce::ValueTree deviceTreeWith (std::initializer_list<std::pair<juce::Identifier, juce::var>> properties)
{
    juce::ValueTree tree (ID::DEVICE);
    for (const auto& [id, value] : properties)
        tree.setProperty (id, value, nullptr);
    return tree;
}

// A device tree, its settings and three listeners that are not yet added.
struct Bench
{
    void addAll()
    {
        for (auto* l : { &a, &b, &c })
            settings.addListener (l);
    }

    RecordingListener& listener (char name) { return name == 'a' ? a : name == 'b' ? b : c; }
    int stored (const juce::Identifier& id) const { return static_cast<int> (tree[id]); }

    juce::ValueTree tree { ID::DEVICE };
    DeviceSettings settings { tree };
    Order order;
    RecordingListener a { order, "a" }, b { order, "b" }, c { order, "c" };
};

struct DeviceSettingsFixture : ::testing::Test, Bench {};
using DeviceSettingsDefaults = DeviceSettingsFixture;
using DeviceSettingsConstraints = DeviceSettingsFixture;
using DeviceSettingsNotification = DeviceSettingsFixture;
using DeviceSettingsTree = DeviceSettingsFixture;
} // namespace

//==============================================================================
TEST_F (DeviceSettingsDefaults, FreshTreeGivesDefaultsAndStaysEmpty)
{
    EXPECT_EQ (valuesOf (settings), (Values { 0, 1, 0, 0 }));
    EXPECT_EQ (tree.getNumProperties(), 0);
}

TEST_F (DeviceSettingsDefaults, StoredValuesAreReadAndConstrainedAtConstruction)
{
    auto loadedTree = deviceTreeWith ({ { blockSizeID, 256 }, { outAdjustID, 2 }, { extraLatencyID, 50000 } });
    DeviceSettings loaded (loadedTree);

    EXPECT_EQ (valuesOf (loaded), (Values { 256, 2, 0, 9999 }));
    EXPECT_EQ (static_cast<int> (loadedTree[extraLatencyID]), 50000);
    EXPECT_EQ (loadedTree.getNumProperties(), 3);
}

TEST_F (DeviceSettingsDefaults, ImplicitConversionReadsTheCachedValue)
{
    settings.blockSize.setValue (128, nullptr);
    const int value = settings.blockSize;
    EXPECT_EQ (value, 128);
}

//==============================================================================
TEST_F (DeviceSettingsConstraints, DisallowedValuesStoreTheFirstEntryNotTheDefault)
{
    settings.blockSize.setValue (512, nullptr);
    settings.blockSize.setValue (100, nullptr);
    settings.outAdjust.setValue (7, nullptr);

    EXPECT_EQ (valuesOf (settings), (Values { 0, 0, 0, 0 }));
    EXPECT_EQ (stored (blockSizeID), 0);
    ASSERT_TRUE (tree.hasProperty (outAdjustID));
    EXPECT_EQ (stored (outAdjustID), 0);
}

TEST_F (DeviceSettingsConstraints, ExtraLatencyIsClamped)
{
    for (const auto& [written, expected] : { std::pair { -5, 0 }, { 12000, 9999 }, { 1234, 1234 } })
    {
        SCOPED_TRACE (written);
        settings.extraLatency.setValue (written, nullptr);
        EXPECT_EQ (settings.extraLatency.get(), expected);
        EXPECT_EQ (stored (extraLatencyID), expected);
    }
}

TEST_F (DeviceSettingsConstraints, EveryAllowedValueRoundTrips)
{
    const struct { ConstrainedCachedValue<int> DeviceSettings::*member; juce::Identifier id; juce::Array<int> values; } cases[] = {
        { &DeviceSettings::blockSize, blockSizeID, BlockSizeConstrainer::allowedValues() },
        { &DeviceSettings::outAdjust, outAdjustID, BufferSizeConstrainer::allowedValues() },
        { &DeviceSettings::inAdjust, inAdjustID, BufferSizeConstrainer::allowedValues() },
        { &DeviceSettings::extraLatency, extraLatencyID, { 0, 1, 480, 9998, 9999 } },
    };

    for (const auto& c : cases)
        for (const auto v : c.values)
        {
            SCOPED_TRACE (c.id.toString() + " " + juce::String (v));
            (settings.*c.member).setValue (v, nullptr);
            EXPECT_EQ ((settings.*c.member).get(), v);
            EXPECT_EQ (stored (c.id), v);
            EXPECT_EQ ((DeviceSettings (tree).*c.member).get(), v);
        }
}

TEST_F (DeviceSettingsConstraints, ConstrainersAreUsableDirectly)
{
    EXPECT_EQ (AllowedValueConstrainer<BlockSizeConstrainer>::constrain (96), 96);
    EXPECT_EQ (AllowedValueConstrainer<BlockSizeConstrainer>::constrain (-32), 0);
    EXPECT_EQ (AllowedValueConstrainer<BufferSizeConstrainer>::constrain (3), 0);
    EXPECT_EQ ((RangeConstrainer<int, 0, 9999>::constrain (std::numeric_limits<int>::min())), 0);
    EXPECT_EQ ((RangeConstrainer<int, 0, 9999>::constrain (std::numeric_limits<int>::max())), 9999);
}

//==============================================================================
TEST_F (DeviceSettingsNotification, RewritingTheStoredValueIsSilent)
{
    settings.addListener (&a);

    // 100 constrains to the stored 0.
    for (const auto& [written, calls] : { std::pair { 64, 1 }, { 64, 1 }, { 100, 2 }, { 100, 2 }, { 0, 2 } })
    {
        SCOPED_TRACE (written);
        settings.blockSize.setValue (written, nullptr);
        EXPECT_EQ (a.calls, calls);
    }
}

TEST_F (DeviceSettingsNotification, WritingTheCurrentValueStoresItWhenMissing)
{
    settings.addListener (&a);
    settings.outAdjust.setValue (1, nullptr);

    EXPECT_EQ (a.calls, 1);
    ASSERT_TRUE (tree.hasProperty (outAdjustID));
    EXPECT_EQ (stored (outAdjustID), 1);
    EXPECT_EQ (settings.outAdjust.get(), 1);
}

TEST_F (DeviceSettingsNotification, LastAddedHearsFirstAndAddingTwiceNotifiesOnce)
{
    for (auto* l : { &a, &a, &b })
        settings.addListener (l);

    settings.extraLatency.setValue (10, nullptr);
    EXPECT_EQ (order, (Order { "b", "a" }));
}

TEST_F (DeviceSettingsNotification, RemovedListenersHearNothing)
{
    addAll();
    settings.removeListener (&b);
    settings.removeListener (&b);
    settings.inAdjust.setValue (2, nullptr);
    EXPECT_EQ (order, (Order { "c", "a" }));
}

// Listeners are added a, b, c, so c hears first; "actor" removes the "removed" ones when it hears.
TEST_F (DeviceSettingsNotification, RemovalsDuringANotificationSkipNobody)
{
    struct Case
    {
        const char* what;
        char actor;
        std::string removed;
        Order heard, heardNext;
    };

    const Case cases[] = {
        { "a listener removing itself", 'b', "b", { "c", "b", "a" }, { "c", "a" } },
        { "the first heard removing itself", 'c', "c", { "c", "b", "a" }, {} },
        { "removing one already heard", 'b', "c", { "c", "b", "a" }, {} },
        { "removing one not yet heard calls each other once", 'c', "b", { "c", "a" }, {} },
        { "removing everyone ends the walk", 'c', "abc", { "c" }, {} },
    };

    for (const auto& test : cases)
    {
        SCOPED_TRACE (test.what);
        Bench bench;
        bench.addAll();
        bench.listener (test.actor).action = [&]
        {
            for (const auto name : test.removed)
                bench.settings.removeListener (&bench.listener (name));
        };

        bench.settings.blockSize.setValue (32, nullptr);
        EXPECT_EQ (bench.order, test.heard);

        if (! test.heardNext.empty())
        {
            bench.order.clear();
            bench.settings.blockSize.setValue (64, nullptr);
            EXPECT_EQ (bench.order, test.heardNext);
        }
    }
}

//==============================================================================
TEST_F (DeviceSettingsTree, OutsideValuesAreConstrainedButKeptInTheTree)
{
    settings.addListener (&a);

    // Numbers as set by code, text as loaded from XML. 300 finds 0 already in the cache: no news.
    const struct { juce::Identifier id; juce::var stored; int read, calls; } steps[] = {
        { blockSizeID, 256, 256, 1 },   { blockSizeID, 100, 0, 2 },     { blockSizeID, 300, 0, 2 },
        { blockSizeID, "512", 512, 3 }, { blockSizeID, "100", 0, 4 },   { extraLatencyID, " 42", 42, 5 },
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

TEST_F (DeviceSettingsTree, XmlRoundTripKeepsTheStoredValue)
{
    const auto xml = deviceTreeWith ({ { blockSizeID, 100 }, { outAdjustID, 2 }, { extraLatencyID, 20000 } }).createXml();
    ASSERT_NE (xml, nullptr);
    const auto parsed = juce::parseXML (xml->toString());
    ASSERT_NE (parsed, nullptr);
    auto loaded = juce::ValueTree::fromXml (*parsed);
    ASSERT_TRUE (loaded.hasType (ID::DEVICE));

    // Before and after reading: reading never writes back.
    for (const auto read : { false, true })
    {
        SCOPED_TRACE (read ? "after reading" : "before reading");
        if (read)
        {
            EXPECT_EQ (valuesOf (*std::make_unique<DeviceSettings> (loaded)), (Values { 0, 2, 0, 9999 }));
        }

        EXPECT_EQ (loaded[blockSizeID].toString().getIntValue(), 100);
        EXPECT_EQ (loaded[extraLatencyID].toString().getIntValue(), 20000);
    }
}

TEST_F (DeviceSettingsTree, RemovingAPropertyRestoresTheDefault)
{
    settings.addListener (&a);

    settings.outAdjust.setValue (2, nullptr);
    EXPECT_EQ (a.calls, 1);
    tree.removeProperty (outAdjustID, nullptr);
    EXPECT_EQ (settings.outAdjust.get(), 1);
    EXPECT_EQ (a.calls, 2);

    // Back to the value it already has: silent.
    settings.outAdjust.setValue (1, nullptr);
    EXPECT_EQ (a.calls, 3);
    tree.removeProperty (outAdjustID, nullptr);
    EXPECT_EQ (settings.outAdjust.get(), 1);
    EXPECT_EQ (a.calls, 3);

    // A stored 0 constrained from 100 equals the default 0 of blockSize.
    tree.setProperty (blockSizeID, 100, nullptr);
    tree.removeAllProperties (nullptr);
    EXPECT_EQ (settings.blockSize.get(), 0);
    EXPECT_EQ (a.calls, 3);
}

TEST_F (DeviceSettingsTree, WritesThroughOneViewReachTheOther)
{
    auto sameTree = tree;
    DeviceSettings reader (sameTree);
    settings.addListener (&a);
    reader.addListener (&b);

    settings.extraLatency.setValue (250, nullptr);
    EXPECT_EQ (reader.extraLatency.get(), 250);
    EXPECT_EQ (std::pair (a.calls, b.calls), std::pair (1, 1));

    reader.blockSize.setValue (1024, nullptr);
    EXPECT_EQ (settings.blockSize.get(), 1024);
    EXPECT_EQ (std::pair (a.calls, b.calls), std::pair (2, 2));
}

TEST_F (DeviceSettingsTree, ChangesInChildTreesAreIgnored)
{
    juce::ValueTree child ("CHILD");
    tree.appendChild (child, nullptr);
    settings.addListener (&a);

    child.setProperty (blockSizeID, 512, nullptr);

    EXPECT_EQ (settings.blockSize.get(), 0);
    EXPECT_EQ (a.calls, 0);
}

TEST_F (DeviceSettingsTree, ATreeOfAnotherTypeIsReportedButWorks)
{
    juce::ValueTree preset ("PRESET");
    AssertionCounter assertions;
    DeviceSettings presetSettings (preset);
    EXPECT_EQ (assertions.count, 1);

    presetSettings.blockSize.setValue (192, nullptr);
    EXPECT_EQ (presetSettings.blockSize.get(), 192);
    EXPECT_EQ (static_cast<int> (preset[blockSizeID]), 192);
}

//==============================================================================
TEST (DeviceSettingsLabels, BlockSizesAndBufferSizes)
{
    const auto blockSizes = AllowedValueConstrainer<BlockSizeConstrainer>::options();
    EXPECT_EQ (blockSizes.size(), 10);
    EXPECT_EQ (blockSizes, (juce::StringArray { "Same As Host", "32 samples", "64 samples", "96 samples", "128 samples",
                                                "192 samples", "256 samples", "512 samples", "1024 samples", "2048 samples" }));

    EXPECT_EQ (AllowedValueConstrainer<BufferSizeConstrainer>::options(), (juce::StringArray { "Small", "Medium", "Large" }));
    EXPECT_EQ (BufferSizeConstrainer::label (9), "Small");
}

//==============================================================================
TEST (DeviceSettingsHostile, TextValuesGiveConstrainedValues)
{
    // The same text goes into every property; inAdjust reads as outAdjust does.
    const struct { const char* text; int blockSize, outAdjust, extraLatency; } cases[] = {
        { "abc", 0, 0, 0 },         { "", 0, 0, 0 },           { "99999999999999999999", 0, 0, 9999 },
        { "2147483648", 0, 0, 9999 }, { "-2147483648", 0, 0, 0 }, { "-99999999999999999999", 0, 0, 0 },
        { "-2147483649", 0, 0, 0 },   { "-1e300", 0, 0, 0 },     { "1e99", 0, 1, 1 },
        { "nan", 0, 0, 0 },           { "inf", 0, 0, 0 },        { "+64", 64, 0, 64 },
        { "2.9", 0, 2, 2 },
    };

    for (const auto& c : cases)
    {
        SCOPED_TRACE (c.text);
        Bench bench;
        for (const auto& id : { blockSizeID, outAdjustID, inAdjustID, extraLatencyID })
            bench.tree.setProperty (id, c.text, nullptr);

        const Values expected { c.blockSize, c.outAdjust, c.outAdjust, c.extraLatency };
        EXPECT_EQ (valuesOf (bench.settings), expected);
        EXPECT_EQ (bench.tree[blockSizeID].toString(), juce::String (c.text));
        EXPECT_EQ (valuesOf (*std::make_unique<DeviceSettings> (bench.tree)), expected);
    }
}

TEST (DeviceSettingsHostile, NonIntegerValuesGiveConstrainedValues)
{
    const auto inf = std::numeric_limits<double>::infinity();
    const juce::var values[] = { juce::var (std::nan ("")), juce::var (inf), juce::var (-inf), juce::var (1.0e300),
                                 juce::var (static_cast<juce::int64> (1) << 40), juce::var (true), juce::var() };
    const int expectedLatency[] = { 0, 9999, 0, 9999, 9999, 1, 0 };

    for (size_t i = 0; i < std::size (values); ++i)
    {
        SCOPED_TRACE (i);
        Bench bench;
        bench.tree.setProperty (extraLatencyID, values[i], nullptr);
        bench.tree.setProperty (blockSizeID, values[i], nullptr);

        EXPECT_EQ (bench.settings.extraLatency.get(), expectedLatency[i]);
        EXPECT_EQ (bench.settings.blockSize.get(), 0);
        EXPECT_EQ (DeviceSettings (bench.tree).extraLatency.get(), expectedLatency[i]);
    }
}

//==============================================================================
class ConstrainedCachedValueTest : public ::testing::Test
{
protected:
    using Value = ConstrainedCachedValue<int>;

    // The value of "x", limited to 0..10 unless another constrainer is given; counts its changes.
    std::unique_ptr<Value> makeValue (int defaultValue, Value::Constrainer constrainer = RangeConstrainer<int, 0, 10>::constrain)
    {
        auto value = std::make_unique<Value> (tree, "x", nullptr, defaultValue, std::move (constrainer));
        value->onChange = [this] { ++changes; };
        return value;
    }

    juce::ValueTree tree { "T" };
    int changes = 0;
};

TEST_F (ConstrainedCachedValueTest, DefaultIsNotConstrainedAndNothingIsWritten)
{
    EXPECT_EQ (makeValue (50)->get(), 50);
    EXPECT_EQ (tree.getNumProperties(), 0);
}

TEST_F (ConstrainedCachedValueTest, OnChangeFiresOncePerEffectiveChange)
{
    const auto value = makeValue (5);
    value->setValue (20, nullptr);
    EXPECT_EQ (value->get(), 10);
    EXPECT_EQ (changes, 1);

    tree.setProperty ("x", 30, nullptr);
    EXPECT_EQ (changes, 1);
    tree.setProperty ("x", 3, nullptr);
    EXPECT_EQ (value->get(), 3);
    EXPECT_EQ (changes, 2);
}

TEST_F (ConstrainedCachedValueTest, WritesGoThroughTheGivenUndoManager)
{
    juce::UndoManager undoManager;
    const auto value = makeValue (5);
    undoManager.beginNewTransaction();
    value->setValue (7, &undoManager);
    EXPECT_EQ (changes, 1);

    ASSERT_TRUE (undoManager.undo());
    EXPECT_FALSE (tree.hasProperty ("x"));
    EXPECT_EQ (value->get(), 5);
    EXPECT_EQ (changes, 2);

    ASSERT_TRUE (undoManager.redo());
    EXPECT_EQ (value->get(), 7);
    EXPECT_EQ (changes, 3);
}

TEST_F (ConstrainedCachedValueTest, EmptyConstrainerIsReportedAndPassesValuesThrough)
{
    tree.setProperty ("x", 1234, nullptr);
    AssertionCounter assertions;
    const auto value = makeValue (5, {});
    EXPECT_GE (assertions.count, 1);
    EXPECT_EQ (value->get(), 1234);

    const auto afterConstruction = assertions.count;
    value->setValue (-3, nullptr);
    EXPECT_GT (assertions.count, afterConstruction);
    EXPECT_EQ (value->get(), -3);
    EXPECT_EQ (static_cast<int> (tree["x"]), -3);

    const auto afterWrite = assertions.count;
    tree.setProperty ("x", 77, nullptr);
    EXPECT_GT (assertions.count, afterWrite);
    EXPECT_EQ (value->get(), 77);
}

TEST_F (ConstrainedCachedValueTest, StopsListeningWhenDestroyed)
{
    auto value = makeValue (0);
    tree.setProperty ("x", 1, nullptr);
    value.reset();

    tree.setProperty ("x", 2, nullptr);
    tree.removeProperty ("x", nullptr);
    EXPECT_EQ (changes, 1);
}
