#include "Support/PluginFixture.h"
#include "Parameters/ParameterTable.h"
#include "Utilities/AdvisorySection.h"

#include <thread>

using Call = RecordingListener::Call;

namespace
{
struct ParameterStoreTest : ::testing::Test
{
    void SetUp() override
    {
        processor = makeProcessor();
        store = &processor->getValueTreeState();
        store->addListener (&listener);
        processor->addListener (&host);
    }

    void TearDown() override
    {
        processor->removeListener (&host);
        store->removeListener (&listener);
    }

    // Makes the store's view current, then starts recording afresh.
    void settle()
    {
        store->updateParameters();
        listener.calls.clear();
        host.events.clear();
    }

    AudioValueTreeState::Parameter* param (const char* id) { return store->getParameter (id); }
    int treeValue (const char* id) { return (int) param (id)->getState()["value"]; }

    // A host automation write: the framework value changes, nobody is told.
    void setFromHostThread (const char* id, int value)
    {
        auto* p = param (id);
        std::thread ([p, value] { hostView (p).setValue (p->convertTo0to1 ((float) value)); }).join();
    }

    std::unique_ptr<VelmoraAudioProcessor> processor;
    AudioValueTreeState* store = nullptr;
    RecordingListener listener;
    HostRecorder host;
};
} // namespace

TEST (ParameterStoreFirstPass, ReportsEachParameterOnceWithLinkedPairsCombined)
{
    AudioValueTreeState store ("Pellion", "0.2.0");
    juce::OwnedArray<AudioValueTreeState::Parameter> owned;
    ParameterTable::create (store, [&owned] (auto parameter) { owned.add (parameter.release()); });

    RecordingListener listener;
    store.addListener (&listener);
    EXPECT_TRUE (store.updateParameters());

    const std::vector<Call> expected = {
        { "adcLink", 1, 108 }, { "adcL", 63, 105 }, { "dacLink", 1, 115 }, { "dacL", 63, 112 },
        { "mixWet", 63, -1 }, { "channelSetting", 2, -1 }, { "bypass", 1, 110 }, { "preset", 0, -1 },
    };
    EXPECT_EQ (listener.calls, expected);

    listener.calls.clear();
    EXPECT_FALSE (store.updateParameters());
    EXPECT_TRUE (listener.calls.empty());
    store.removeListener (&listener);
}

TEST_F (ParameterStoreTest, TheProcessorsOwnFirstPassIsNotAnEdit)
{
    // The construction snapshot already flushed: nothing is left to report, and
    // reporting the defaults did not mark the program as modified.
    EXPECT_FALSE (store->updateParameters());
    EXPECT_TRUE (listener.calls.empty());
    EXPECT_FALSE (processor->isPresetModified());
}

TEST_F (ParameterStoreTest, ListenersAreCalledLastRegisteredFirst)
{
    std::vector<int> order;

    struct Tagged : AudioValueTreeState::Listener
    {
        Tagged (std::vector<int>& o, int t) : order (o), tag (t) {}
        void parameterChanged (AudioValueTreeState::Parameter*, int, int) override { order.push_back (tag); }
        std::vector<int>& order;
        int tag;
    } first (order, 1), second (order, 2);

    settle();
    store->addListener (&first);
    store->addListener (&second);
    store->addListener (&first); // already present: not added twice
    param ("mixWet")->set (10, GestureTracker::internalSource);
    store->removeListener (&first);
    store->removeListener (&second);

    EXPECT_EQ (order, (std::vector<int> { 2, 1 }));
}

TEST_F (ParameterStoreTest, HostAutomationReachesTheTreeOnlyAtTheNextPass)
{
    settle();
    setFromHostThread ("mixWet", 90);

    EXPECT_EQ (treeValue ("mixWet"), 63);
    EXPECT_TRUE (listener.calls.empty());

    store->timerCallback();
    EXPECT_EQ (treeValue ("mixWet"), 90);
    EXPECT_EQ (listener.calls, (std::vector<Call> { { "mixWet", 90, -1 } }));
    EXPECT_EQ (store->getFlushInterval(), 20);
}

TEST_F (ParameterStoreTest, HostAutomationIsPickedUpByTheRealTimer)
{
    settle();
    setFromHostThread ("dacL", 12);
    runMessageLoop (700); // the slowest idle interval is 500 ms

    EXPECT_EQ (treeValue ("dacL"), 12);
    EXPECT_EQ (treeValue ("dacR"), 12);
    EXPECT_EQ (listener.calls, (std::vector<Call> { { "dacL", 12, 112 } }));
}

TEST_F (ParameterStoreTest, FlushIntervalAdaptsToActivity)
{
    settle();
    EXPECT_EQ (store->getFlushInterval(), 100);

    std::vector<int> idle;
    for (int i = 0; i < 22; ++i)
    {
        store->timerCallback();
        idle.push_back (store->getFlushInterval());
    }

    std::vector<int> expectedIdle;
    for (int ms = 120; ms <= 500; ms += 20)
        expectedIdle.push_back (ms);
    expectedIdle.push_back (500);
    expectedIdle.push_back (500);
    EXPECT_EQ (idle, expectedIdle);

    setFromHostThread ("adcL", 1);
    store->timerCallback();
    EXPECT_EQ (store->getFlushInterval(), 20);

    std::vector<int> afterBusy;
    for (int i = 0; i < 4; ++i)
    {
        store->timerCallback();
        afterBusy.push_back (store->getFlushInterval());
    }
    EXPECT_EQ (afterBusy, (std::vector<int> { 50, 70, 90, 110 }));
}

TEST_F (ParameterStoreTest, LinkedSideMovesItsPartnerAndReportsOnceUnderTheLinkNumber)
{
    settle();
    param ("adcL")->set (90, GestureTracker::internalSource);

    EXPECT_EQ (param ("adcR")->get(), 90);
    EXPECT_EQ (treeValue ("adcL"), 90);
    EXPECT_EQ (treeValue ("adcR"), 90);
    EXPECT_EQ (listener.calls, (std::vector<Call> { { "adcL", 90, 105 } }));

    // The host hears both sides move.
    EXPECT_EQ (host.count (HostRecorder::valueChanged, 0), 1);
    EXPECT_EQ (host.count (HostRecorder::valueChanged, 1), 1);
}

TEST_F (ParameterStoreTest, UnlinkedSideMovesAloneUnderItsOwnNumber)
{
    param ("adcLink")->set (0, GestureTracker::internalSource);
    settle();
    param ("adcL")->set (90, GestureTracker::internalSource);

    EXPECT_EQ (param ("adcR")->get(), 63);
    EXPECT_EQ (listener.calls, (std::vector<Call> { { "adcL", 90, 106 } }));
}

TEST_F (ParameterStoreTest, PedalMessagesAreNeverMirrored)
{
    settle();
    {
        const AudioValueTreeState::PedalMessageSection fromPedal (*store);
        param ("adcL")->set (20, GestureTracker::internalSource);
        param ("adcR")->set (30, GestureTracker::internalSource);
    }

    EXPECT_EQ (param ("adcL")->get(), 20);
    EXPECT_EQ (param ("adcR")->get(), 30);
    EXPECT_EQ (listener.calls, (std::vector<Call> { { "adcL", 20, 106 }, { "adcR", 30, 107 } }));
}

TEST_F (ParameterStoreTest, WhenBothLinkedSidesChangedOffThreadTheLeftWins)
{
    settle();
    setFromHostThread ("dacR", 40);
    setFromHostThread ("dacL", 80);
    store->updateParameters();

    EXPECT_EQ (param ("dacL")->get(), 80);
    EXPECT_EQ (param ("dacR")->get(), 80);
    EXPECT_EQ (treeValue ("dacR"), 80);
    EXPECT_EQ (listener.calls, (std::vector<Call> { { "dacL", 80, 112 } }));
}

TEST_F (ParameterStoreTest, SwitchingTheLinkOnDoesNotAlignTheSides)
{
    param ("adcLink")->set (0, GestureTracker::internalSource);
    param ("adcL")->set (40, GestureTracker::internalSource);
    param ("adcR")->set (80, GestureTracker::internalSource);
    param ("adcLink")->set (1, GestureTracker::internalSource);
    store->updateParameters();

    EXPECT_EQ (param ("adcL")->get(), 40);
    EXPECT_EQ (param ("adcR")->get(), 80);

    param ("adcR")->set (81, GestureTracker::internalSource);
    EXPECT_EQ (param ("adcL")->get(), 81);
}

TEST_F (ParameterStoreTest, SettingTheSameValueWithoutAGestureDoesNothing)
{
    settle();
    param ("mixWet")->set (63, GestureTracker::internalSource);

    EXPECT_TRUE (listener.calls.empty());
    EXPECT_TRUE (host.events.empty());
}

TEST_F (ParameterStoreTest, ForeignTreeWriterMovesTheParameter)
{
    settle();
    auto child = store->getState().getChildWithProperty ("id", "mixWet");
    child.setProperty ("value", 17, nullptr);

    EXPECT_EQ (param ("mixWet")->get(), 17);
    EXPECT_EQ (listener.calls, (std::vector<Call> { { "mixWet", 17, -1 } }));

    listener.calls.clear();
    child.setProperty ("value", "not a number", nullptr);
    child.setProperty ("value", std::numeric_limits<double>::infinity(), nullptr);
    EXPECT_EQ (param ("mixWet")->get(), 0);
    EXPECT_EQ (listener.calls, (std::vector<Call> { { "mixWet", 0, -1 } }));
}

TEST_F (ParameterStoreTest, ValueObjectsFollowTheParameter)
{
    auto bypass = store->getParameterAsValue ("bypass");
    EXPECT_EQ ((int) bypass.getValue(), 1);

    param ("bypass")->set (0, GestureTracker::internalSource);
    EXPECT_EQ ((int) bypass.getValue(), 0);

    bypass.setValue (1);
    EXPECT_EQ (param ("bypass")->get(), 1);
}

TEST_F (ParameterStoreTest, CopyStateFlushesFirst)
{
    setFromHostThread ("mixWet", 5);
    auto copy = store->copyState();

    EXPECT_EQ ((int) copy.getChildWithProperty ("id", "mixWet")["value"], 5);

    copy.getChildWithProperty ("id", "mixWet").setProperty ("value", 99, nullptr);
    EXPECT_EQ (param ("mixWet")->get(), 5);
}

TEST_F (ParameterStoreTest, UnknownIdentifiersAreRefusedWithoutHarm)
{
    EXPECT_EQ (store->getParameter ("volume"), nullptr);

    auto stranger = juce::ValueTree ("PARAM");
    store->getState().appendChild (stranger, nullptr);
    stranger.setProperty ("id", "volume", nullptr);
    stranger.setProperty ("value", 3, nullptr);
    store->getState().removeChild (stranger, nullptr);

    EXPECT_EQ (store->getParameters().size(), 10);
}
