#include "Settings/DeviceSettings.h"
#include "Utilities/ConstrainedCachedValue.h"
#include "Utilities/Identifiers.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <iterator>
#include <limits>
#include <string>
#include <vector>

namespace
{
const juce::Identifier blockSizeID ("blockSize");
const juce::Identifier outAdjustID ("outAdjust");
const juce::Identifier inAdjustID ("inAdjust");
const juce::Identifier extraLatencyID ("extraLatency");

// Counts JUCE assertion reports while installed.
class AssertionCounter : public juce::Logger
{
public:
    AssertionCounter() : previous (juce::Logger::getCurrentLogger()) { juce::Logger::setCurrentLogger (this); }
    ~AssertionCounter() override { juce::Logger::setCurrentLogger (previous); }

    void logMessage (const juce::String& message) override
    {
        if (message.startsWith ("JUCE Assertion failure"))
            ++count;
    }

    int count = 0;

private:
    juce::Logger* previous;
};

struct RecordingListener : DeviceSettings::Listener
{
    RecordingListener (std::vector<std::string>& logToUse, std::string nameToUse)
        : log (logToUse), name (std::move (nameToUse)) {}

    void settingsChanged() override
    {
        ++calls;
        log.push_back (name);
        if (action)
            action();
    }

    std::vector<std::string>& log;
    std::string name;
    std::function<void()> action;
    int calls = 0;
};

juce::ValueTree makeDeviceTree() { return juce::ValueTree (ID::DEVICE); }

using Order = std::vector<std::string>;
} // namespace

//==============================================================================
TEST (DeviceSettingsDefaults, FreshTreeGivesDefaultsAndStaysEmpty)
{
    auto tree = makeDeviceTree();
    DeviceSettings settings (tree);

    EXPECT_EQ (settings.blockSize.get(), 0);
    EXPECT_EQ (settings.outAdjust.get(), 1);
    EXPECT_EQ (settings.inAdjust.get(), 0);
    EXPECT_EQ (settings.extraLatency.get(), 0);
    EXPECT_EQ (tree.getNumProperties(), 0);
}

TEST (DeviceSettingsDefaults, StoredValuesAreReadAndConstrainedAtConstruction)
{
    auto tree = makeDeviceTree();
    tree.setProperty (blockSizeID, 256, nullptr);
    tree.setProperty (outAdjustID, 2, nullptr);
    tree.setProperty (extraLatencyID, 50000, nullptr);

    DeviceSettings settings (tree);

    EXPECT_EQ (settings.blockSize.get(), 256);
    EXPECT_EQ (settings.outAdjust.get(), 2);
    EXPECT_EQ (settings.inAdjust.get(), 0);
    EXPECT_EQ (settings.extraLatency.get(), 9999);
    EXPECT_EQ (static_cast<int> (tree[extraLatencyID]), 50000);
    EXPECT_EQ (tree.getNumProperties(), 3);
}

TEST (DeviceSettingsDefaults, ImplicitConversionReadsTheCachedValue)
{
    auto tree = makeDeviceTree();
    DeviceSettings settings (tree);
    settings.blockSize.setValue (128, nullptr);

    const int value = settings.blockSize;
    EXPECT_EQ (value, 128);
}

//==============================================================================
TEST (DeviceSettingsConstraints, DisallowedBlockSizeStoresTheFirstEntry)
{
    auto tree = makeDeviceTree();
    DeviceSettings settings (tree);
    settings.blockSize.setValue (512, nullptr);
    settings.blockSize.setValue (100, nullptr);

    EXPECT_EQ (settings.blockSize.get(), 0);
    EXPECT_EQ (static_cast<int> (tree[blockSizeID]), 0);
}

TEST (DeviceSettingsConstraints, DisallowedBufferSizeStoresTheFirstEntryNotTheDefault)
{
    auto tree = makeDeviceTree();
    DeviceSettings settings (tree);
    settings.outAdjust.setValue (7, nullptr);

    EXPECT_EQ (settings.outAdjust.get(), 0);
    ASSERT_TRUE (tree.hasProperty (outAdjustID));
    EXPECT_EQ (static_cast<int> (tree[outAdjustID]), 0);
}

TEST (DeviceSettingsConstraints, ExtraLatencyIsClamped)
{
    auto tree = makeDeviceTree();
    DeviceSettings settings (tree);

    settings.extraLatency.setValue (-5, nullptr);
    EXPECT_EQ (settings.extraLatency.get(), 0);
    EXPECT_EQ (static_cast<int> (tree[extraLatencyID]), 0);

    settings.extraLatency.setValue (12000, nullptr);
    EXPECT_EQ (settings.extraLatency.get(), 9999);
    EXPECT_EQ (static_cast<int> (tree[extraLatencyID]), 9999);

    settings.extraLatency.setValue (1234, nullptr);
    EXPECT_EQ (settings.extraLatency.get(), 1234);
}

TEST (DeviceSettingsConstraints, EveryAllowedValueRoundTrips)
{
    auto tree = makeDeviceTree();
    DeviceSettings settings (tree);

    for (const auto v : BlockSizeConstrainer::allowedValues())
    {
        settings.blockSize.setValue (v, nullptr);
        EXPECT_EQ (settings.blockSize.get(), v);
        EXPECT_EQ (static_cast<int> (tree[blockSizeID]), v);
        EXPECT_EQ (DeviceSettings (tree).blockSize.get(), v);
    }

    for (const auto v : BufferSizeConstrainer::allowedValues())
    {
        settings.outAdjust.setValue (v, nullptr);
        settings.inAdjust.setValue (v, nullptr);
        EXPECT_EQ (settings.outAdjust.get(), v);
        EXPECT_EQ (settings.inAdjust.get(), v);

        DeviceSettings reread (tree);
        EXPECT_EQ (reread.outAdjust.get(), v);
        EXPECT_EQ (reread.inAdjust.get(), v);
    }

    for (const auto v : { 0, 1, 480, 9998, 9999 })
    {
        settings.extraLatency.setValue (v, nullptr);
        EXPECT_EQ (settings.extraLatency.get(), v);
        EXPECT_EQ (DeviceSettings (tree).extraLatency.get(), v);
    }
}

TEST (DeviceSettingsConstraints, ConstrainersAreUsableDirectly)
{
    EXPECT_EQ (AllowedValueConstrainer<BlockSizeConstrainer>::constrain (96), 96);
    EXPECT_EQ (AllowedValueConstrainer<BlockSizeConstrainer>::constrain (-32), 0);
    EXPECT_EQ (AllowedValueConstrainer<BufferSizeConstrainer>::constrain (3), 0);
    EXPECT_EQ ((RangeConstrainer<int, 0, 9999>::constrain (std::numeric_limits<int>::min())), 0);
    EXPECT_EQ ((RangeConstrainer<int, 0, 9999>::constrain (std::numeric_limits<int>::max())), 9999);
}

//==============================================================================
TEST (DeviceSettingsNotification, RewritingTheStoredValueIsSilent)
{
    auto tree = makeDeviceTree();
    DeviceSettings settings (tree);
    Order order;
    RecordingListener listener (order, "a");
    settings.addListener (&listener);

    settings.blockSize.setValue (64, nullptr);
    EXPECT_EQ (listener.calls, 1);
    settings.blockSize.setValue (64, nullptr);
    EXPECT_EQ (listener.calls, 1);

    // Both constrain to the stored 0.
    settings.blockSize.setValue (100, nullptr);
    EXPECT_EQ (listener.calls, 2);
    settings.blockSize.setValue (100, nullptr);
    settings.blockSize.setValue (0, nullptr);
    EXPECT_EQ (listener.calls, 2);
}

TEST (DeviceSettingsNotification, WritingTheCurrentValueStoresItWhenMissing)
{
    auto tree = makeDeviceTree();
    DeviceSettings settings (tree);
    Order order;
    RecordingListener listener (order, "a");
    settings.addListener (&listener);

    settings.outAdjust.setValue (1, nullptr);

    EXPECT_EQ (listener.calls, 1);
    ASSERT_TRUE (tree.hasProperty (outAdjustID));
    EXPECT_EQ (static_cast<int> (tree[outAdjustID]), 1);
    EXPECT_EQ (settings.outAdjust.get(), 1);
}

TEST (DeviceSettingsNotification, LastAddedHearsFirst)
{
    auto tree = makeDeviceTree();
    DeviceSettings settings (tree);
    Order order;
    RecordingListener first (order, "first"), second (order, "second");
    settings.addListener (&first);
    settings.addListener (&second);

    settings.inAdjust.setValue (2, nullptr);

    EXPECT_EQ (order, (Order { "second", "first" }));
}

TEST (DeviceSettingsNotification, AddingTwiceNotifiesOnceAndRemovedListenersHearNothing)
{
    auto tree = makeDeviceTree();
    DeviceSettings settings (tree);
    Order order;
    RecordingListener a (order, "a"), b (order, "b");
    settings.addListener (&a);
    settings.addListener (&a);
    settings.addListener (&b);

    settings.extraLatency.setValue (10, nullptr);
    EXPECT_EQ (order, (Order { "b", "a" }));

    settings.removeListener (&b);
    settings.removeListener (&b);
    order.clear();
    settings.extraLatency.setValue (11, nullptr);
    EXPECT_EQ (order, (Order { "a" }));
}

TEST (DeviceSettingsNotification, ListenerRemovingItselfSkipsNobody)
{
    auto tree = makeDeviceTree();
    DeviceSettings settings (tree);
    Order order;
    RecordingListener a (order, "a"), b (order, "b"), c (order, "c");
    settings.addListener (&a);
    settings.addListener (&b);
    settings.addListener (&c);
    b.action = [&] { settings.removeListener (&b); };

    settings.blockSize.setValue (32, nullptr);
    EXPECT_EQ (order, (Order { "c", "b", "a" }));

    order.clear();
    settings.blockSize.setValue (64, nullptr);
    EXPECT_EQ (order, (Order { "c", "a" }));
}

TEST (DeviceSettingsNotification, FirstHeardRemovingItselfSkipsNobody)
{
    auto tree = makeDeviceTree();
    DeviceSettings settings (tree);
    Order order;
    RecordingListener a (order, "a"), b (order, "b"), c (order, "c");
    settings.addListener (&a);
    settings.addListener (&b);
    settings.addListener (&c);
    c.action = [&] { settings.removeListener (&c); };

    settings.blockSize.setValue (32, nullptr);
    EXPECT_EQ (order, (Order { "c", "b", "a" }));
}

TEST (DeviceSettingsNotification, ListenerRemovingOneAlreadyHeardSkipsNobody)
{
    auto tree = makeDeviceTree();
    DeviceSettings settings (tree);
    Order order;
    RecordingListener a (order, "a"), b (order, "b"), c (order, "c");
    settings.addListener (&a);
    settings.addListener (&b);
    settings.addListener (&c);
    b.action = [&] { settings.removeListener (&c); };

    settings.blockSize.setValue (32, nullptr);
    EXPECT_EQ (order, (Order { "c", "b", "a" }));
}

TEST (DeviceSettingsNotification, ListenerRemovingOneNotYetHeardCallsEachOtherOnce)
{
    auto tree = makeDeviceTree();
    DeviceSettings settings (tree);
    Order order;
    RecordingListener a (order, "a"), b (order, "b"), c (order, "c");
    settings.addListener (&a);
    settings.addListener (&b);
    settings.addListener (&c);
    c.action = [&] { settings.removeListener (&b); };

    settings.blockSize.setValue (32, nullptr);
    EXPECT_EQ (order, (Order { "c", "a" }));
}

TEST (DeviceSettingsNotification, ListenerRemovingEveryoneEndsTheWalk)
{
    auto tree = makeDeviceTree();
    DeviceSettings settings (tree);
    Order order;
    RecordingListener a (order, "a"), b (order, "b"), c (order, "c");
    settings.addListener (&a);
    settings.addListener (&b);
    settings.addListener (&c);
    c.action = [&] {
        settings.removeListener (&a);
        settings.removeListener (&b);
        settings.removeListener (&c);
    };

    settings.blockSize.setValue (32, nullptr);
    EXPECT_EQ (order, (Order { "c" }));
}

//==============================================================================
TEST (DeviceSettingsTree, OutsideValueIsConstrainedButKeptInTheTree)
{
    auto tree = makeDeviceTree();
    DeviceSettings settings (tree);
    Order order;
    RecordingListener listener (order, "a");
    settings.addListener (&listener);

    tree.setProperty (blockSizeID, 256, nullptr);
    EXPECT_EQ (settings.blockSize.get(), 256);
    EXPECT_EQ (listener.calls, 1);

    tree.setProperty (blockSizeID, 100, nullptr);
    EXPECT_EQ (settings.blockSize.get(), 0);
    EXPECT_EQ (static_cast<int> (tree[blockSizeID]), 100);
    EXPECT_EQ (listener.calls, 2);

    // Already 0 in the cache: no news.
    tree.setProperty (blockSizeID, 300, nullptr);
    EXPECT_EQ (listener.calls, 2);
}

TEST (DeviceSettingsTree, TextValuesAsLoadedFromXmlAreReadAsIntegers)
{
    auto tree = makeDeviceTree();
    DeviceSettings settings (tree);

    tree.setProperty (blockSizeID, "512", nullptr);
    EXPECT_EQ (settings.blockSize.get(), 512);

    tree.setProperty (blockSizeID, "100", nullptr);
    EXPECT_EQ (settings.blockSize.get(), 0);
    EXPECT_EQ (tree[blockSizeID].toString(), "100");

    tree.setProperty (extraLatencyID, " 42", nullptr);
    EXPECT_EQ (settings.extraLatency.get(), 42);
}

TEST (DeviceSettingsTree, XmlRoundTripKeepsTheStoredValue)
{
    auto tree = makeDeviceTree();
    tree.setProperty (blockSizeID, 100, nullptr);
    tree.setProperty (outAdjustID, 2, nullptr);
    tree.setProperty (extraLatencyID, 20000, nullptr);

    const auto xml = tree.createXml();
    ASSERT_NE (xml, nullptr);
    const auto parsed = juce::parseXML (xml->toString());
    ASSERT_NE (parsed, nullptr);
    auto loaded = juce::ValueTree::fromXml (*parsed);

    ASSERT_TRUE (loaded.hasType (ID::DEVICE));
    EXPECT_EQ (loaded[blockSizeID].toString().getIntValue(), 100);
    EXPECT_EQ (loaded[extraLatencyID].toString().getIntValue(), 20000);

    DeviceSettings settings (loaded);
    EXPECT_EQ (settings.blockSize.get(), 0);
    EXPECT_EQ (settings.outAdjust.get(), 2);
    EXPECT_EQ (settings.extraLatency.get(), 9999);

    // Reading never writes back.
    EXPECT_EQ (loaded[blockSizeID].toString().getIntValue(), 100);
    EXPECT_EQ (loaded[extraLatencyID].toString().getIntValue(), 20000);
}

TEST (DeviceSettingsTree, RemovingAPropertyRestoresTheDefault)
{
    auto tree = makeDeviceTree();
    DeviceSettings settings (tree);
    Order order;
    RecordingListener listener (order, "a");
    settings.addListener (&listener);

    settings.outAdjust.setValue (2, nullptr);
    EXPECT_EQ (listener.calls, 1);
    tree.removeProperty (outAdjustID, nullptr);
    EXPECT_EQ (settings.outAdjust.get(), 1);
    EXPECT_EQ (listener.calls, 2);

    // Back to the value it already has: silent.
    settings.outAdjust.setValue (1, nullptr);
    EXPECT_EQ (listener.calls, 3);
    tree.removeProperty (outAdjustID, nullptr);
    EXPECT_EQ (settings.outAdjust.get(), 1);
    EXPECT_EQ (listener.calls, 3);

    // A stored 0 constrained from 100 equals the default 0 of blockSize.
    tree.setProperty (blockSizeID, 100, nullptr);
    tree.removeAllProperties (nullptr);
    EXPECT_EQ (settings.blockSize.get(), 0);
    EXPECT_EQ (listener.calls, 3);
}

TEST (DeviceSettingsTree, WritesThroughOneViewReachTheOther)
{
    auto tree = makeDeviceTree();
    auto sameTree = tree;
    DeviceSettings writer (tree), reader (sameTree);
    Order order;
    RecordingListener writerListener (order, "writer"), readerListener (order, "reader");
    writer.addListener (&writerListener);
    reader.addListener (&readerListener);

    writer.extraLatency.setValue (250, nullptr);
    EXPECT_EQ (reader.extraLatency.get(), 250);
    EXPECT_EQ (readerListener.calls, 1);
    EXPECT_EQ (writerListener.calls, 1);

    reader.blockSize.setValue (1024, nullptr);
    EXPECT_EQ (writer.blockSize.get(), 1024);
    EXPECT_EQ (writerListener.calls, 2);
    EXPECT_EQ (readerListener.calls, 2);
}

TEST (DeviceSettingsTree, ChangesInChildTreesAreIgnored)
{
    auto tree = makeDeviceTree();
    juce::ValueTree child ("CHILD");
    tree.appendChild (child, nullptr);
    DeviceSettings settings (tree);
    Order order;
    RecordingListener listener (order, "a");
    settings.addListener (&listener);

    child.setProperty (blockSizeID, 512, nullptr);

    EXPECT_EQ (settings.blockSize.get(), 0);
    EXPECT_EQ (listener.calls, 0);
}

TEST (DeviceSettingsTree, ATreeOfAnotherTypeIsReportedButWorks)
{
    juce::ValueTree tree (ID::PRESET);
    AssertionCounter assertions;
    DeviceSettings settings (tree);
    EXPECT_EQ (assertions.count, 1);

    settings.blockSize.setValue (192, nullptr);
    EXPECT_EQ (settings.blockSize.get(), 192);
    EXPECT_EQ (static_cast<int> (tree[blockSizeID]), 192);
}

//==============================================================================
TEST (DeviceSettingsLabels, BlockSizes)
{
    const auto options = AllowedValueConstrainer<BlockSizeConstrainer>::options();
    const juce::StringArray expected { "Same As Host", "32 samples", "64 samples", "96 samples", "128 samples",
                                       "192 samples", "256 samples", "512 samples", "1024 samples", "2048 samples" };
    EXPECT_EQ (options.size(), 10);
    EXPECT_EQ (options, expected);
}

TEST (DeviceSettingsLabels, BufferSizes)
{
    const auto options = AllowedValueConstrainer<BufferSizeConstrainer>::options();
    EXPECT_EQ (options, (juce::StringArray { "Small", "Medium", "Large" }));
    EXPECT_EQ (BufferSizeConstrainer::label (9), "Small");
}

//==============================================================================
TEST (DeviceSettingsHostile, TextValuesGiveConstrainedValues)
{
    struct Case
    {
        const char* text;
        int blockSize, outAdjust, extraLatency;
    };

    const Case cases[] = {
        { "abc", 0, 0, 0 },
        { "", 0, 0, 0 },
        { "99999999999999999999", 0, 0, 9999 },
        { "-99999999999999999999", 0, 0, 0 },
        { "2147483648", 0, 0, 9999 },
        { "-2147483648", 0, 0, 0 },
        { "-2147483649", 0, 0, 0 },
        { "-1e300", 0, 0, 0 },
        { "1e99", 0, 1, 1 },
        { "nan", 0, 0, 0 },
        { "inf", 0, 0, 0 },
        { "+64", 64, 0, 64 },
        { "2.9", 0, 2, 2 },
    };

    for (const auto& c : cases)
    {
        SCOPED_TRACE (c.text);
        auto tree = makeDeviceTree();
        DeviceSettings settings (tree);

        for (const auto& id : { blockSizeID, outAdjustID, inAdjustID, extraLatencyID })
            tree.setProperty (id, c.text, nullptr);

        EXPECT_EQ (settings.blockSize.get(), c.blockSize);
        EXPECT_EQ (settings.outAdjust.get(), c.outAdjust);
        EXPECT_EQ (settings.inAdjust.get(), c.outAdjust);
        EXPECT_EQ (settings.extraLatency.get(), c.extraLatency);
        EXPECT_EQ (tree[blockSizeID].toString(), juce::String (c.text));

        DeviceSettings loaded (tree);
        EXPECT_EQ (loaded.blockSize.get(), c.blockSize);
        EXPECT_EQ (loaded.extraLatency.get(), c.extraLatency);
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
        auto tree = makeDeviceTree();
        DeviceSettings settings (tree);
        tree.setProperty (extraLatencyID, values[i], nullptr);
        tree.setProperty (blockSizeID, values[i], nullptr);

        EXPECT_EQ (settings.extraLatency.get(), expectedLatency[i]);
        EXPECT_EQ (settings.blockSize.get(), 0);
        EXPECT_EQ (DeviceSettings (tree).extraLatency.get(), expectedLatency[i]);
    }
}

//==============================================================================
TEST (ConstrainedCachedValue, DefaultIsNotConstrainedAndNothingIsWritten)
{
    juce::ValueTree tree ("T");
    ConstrainedCachedValue<int> value (tree, "x", nullptr, 50, RangeConstrainer<int, 0, 10>::constrain);

    EXPECT_EQ (value.get(), 50);
    EXPECT_EQ (tree.getNumProperties(), 0);
}

TEST (ConstrainedCachedValue, OnChangeFiresOncePerEffectiveChange)
{
    juce::ValueTree tree ("T");
    ConstrainedCachedValue<int> value (tree, "x", nullptr, 5, RangeConstrainer<int, 0, 10>::constrain);
    int changes = 0;
    value.onChange = [&] { ++changes; };

    value.setValue (20, nullptr);
    EXPECT_EQ (value.get(), 10);
    EXPECT_EQ (changes, 1);

    tree.setProperty ("x", 30, nullptr);
    EXPECT_EQ (changes, 1);
    tree.setProperty ("x", 3, nullptr);
    EXPECT_EQ (value.get(), 3);
    EXPECT_EQ (changes, 2);
}

TEST (ConstrainedCachedValue, WritesGoThroughTheGivenUndoManager)
{
    juce::ValueTree tree ("T");
    juce::UndoManager undoManager;
    ConstrainedCachedValue<int> value (tree, "x", nullptr, 5, RangeConstrainer<int, 0, 10>::constrain);
    int changes = 0;
    value.onChange = [&] { ++changes; };

    undoManager.beginNewTransaction();
    value.setValue (7, &undoManager);
    EXPECT_EQ (changes, 1);

    ASSERT_TRUE (undoManager.undo());
    EXPECT_FALSE (tree.hasProperty ("x"));
    EXPECT_EQ (value.get(), 5);
    EXPECT_EQ (changes, 2);

    ASSERT_TRUE (undoManager.redo());
    EXPECT_EQ (value.get(), 7);
    EXPECT_EQ (changes, 3);
}

TEST (ConstrainedCachedValue, EmptyConstrainerIsReportedAndPassesValuesThrough)
{
    juce::ValueTree tree ("T");
    tree.setProperty ("x", 1234, nullptr);
    AssertionCounter assertions;

    ConstrainedCachedValue<int> value (tree, "x", nullptr, 5, {});
    EXPECT_GE (assertions.count, 1);
    EXPECT_EQ (value.get(), 1234);

    const auto afterConstruction = assertions.count;
    value.setValue (-3, nullptr);
    EXPECT_GT (assertions.count, afterConstruction);
    EXPECT_EQ (value.get(), -3);
    EXPECT_EQ (static_cast<int> (tree["x"]), -3);

    const auto afterWrite = assertions.count;
    tree.setProperty ("x", 77, nullptr);
    EXPECT_GT (assertions.count, afterWrite);
    EXPECT_EQ (value.get(), 77);
}

TEST (ConstrainedCachedValue, StopsListeningWhenDestroyed)
{
    juce::ValueTree tree ("T");
    int changes = 0;
    {
        ConstrainedCachedValue<int> value (tree, "x", nullptr, 0, RangeConstrainer<int, 0, 10>::constrain);
        value.onChange = [&] { ++changes; };
        tree.setProperty ("x", 1, nullptr);
    }
    tree.setProperty ("x", 2, nullptr);
    tree.removeProperty ("x", nullptr);
    EXPECT_EQ (changes, 1);
}
