#include "Support/RealtimeCounting.h"
#include "Support/PluginFixture.h"
#include "Parameters/ParameterTable.h"

#include <mutex>
#include <optional>
#include <thread>

namespace
{
struct ParameterStoreTest : ::testing::Test
{
    AudioValueTreeState::Parameter* param (const char* id) { return store.getParameter (id); }
    int treeValue (const char* id) { return (int) param (id)->getState()["value"]; }
    void set (const char* id, int value) { param (id)->set (value, GestureTracker::internalSource); }

    // A host automation write: the framework value changes, nobody is told.
    void setFromHostThread (const char* id, int value)
    {
        auto* p = param (id);
        std::thread ([p, value] { hostView (p).setValue (p->convertTo0to1 ((float) value)); }).join();
    }

    std::unique_ptr<VelmoraAudioProcessor> processor = makeProcessor();
    AudioValueTreeState& store = processor->getValueTreeState();
    std::optional<ParameterLog> log { std::in_place, *processor };
};
} // namespace

TEST (ParameterStoreFirstPass, ReportsEachParameterOnceWithLinkedPairsCombined)
{
    AudioValueTreeState store ("Pellion", "0.2.0");
    juce::OwnedArray<AudioValueTreeState::Parameter> owned;
    ParameterTable::create (store, [&owned] (auto parameter) { owned.add (parameter.release()); });
    ParameterLog log (store);

    EXPECT_TRUE (store.updateParameters());
    EXPECT_EQ (log.take(), "heard:adcLink=1/108 heard:adcL=63/105 heard:dacLink=1/115 heard:dacL=63/112 "
                           "heard:mixWet=63/-1 heard:channelSetting=2/-1 heard:bypass=1/110 heard:preset=0/-1 ");

    EXPECT_FALSE (store.updateParameters());
    EXPECT_EQ (log.take(), "");
}

TEST_F (ParameterStoreTest, TheProcessorsOwnFirstPassIsNotAnEdit)
{
    // The construction snapshot already flushed: nothing is left to report, and
    // reporting the defaults did not mark the program as modified.
    EXPECT_FALSE (store.updateParameters());
    EXPECT_EQ (log->take(), "");
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

    log.reset();
    store.addListener (&first);
    store.addListener (&second);
    store.addListener (&first); // already present: not added twice
    set ("mixWet", 10);
    store.removeListener (&first);
    store.removeListener (&second);

    EXPECT_EQ (order, (std::vector<int> { 2, 1 }));
}

// Listeners 1, 2 and 3, called 3, 2, 1; one of them removes others when it is called.
TEST_F (ParameterStoreTest, AListenerRemovedDuringACallIsNotCalledAndNoneIsCalledTwice)
{
    struct Remover : AudioValueTreeState::Listener
    {
        void parameterChanged (AudioValueTreeState::Parameter*, int, int) override { called(); }
        bool updateExtraParameters() override
        {
            called();
            return false;
        }
        void called()
        {
            order->push_back (tag);
            for (auto* other : removes)
                store->removeListener (other);
            removes.clear();
        }

        AudioValueTreeState* store = nullptr;
        std::vector<int>* order = nullptr;
        int tag = 0;
        std::vector<Remover*> removes;
    };

    const struct { int remover; std::vector<int> removed; bool flushPass; std::vector<int> heard; } cases[] = {
        { 3, { 2 }, false, { 3, 1 } },      // one not yet called
        { 3, { 1 }, false, { 3, 2 } },      // the last one
        { 3, { 3 }, false, { 3, 2, 1 } },   // itself
        { 2, { 3 }, false, { 3, 2, 1 } },   // one already called
        { 3, { 3, 2 }, false, { 3, 1 } },   // itself and the next
        { 2, { 1, 3 }, false, { 3, 2 } },   // one on each side
        { 3, { 2 }, true, { 3, 1 } },       // the same in a flush pass
        { 2, { 1, 3 }, true, { 3, 2 } },
    };

    log.reset();
    for (const auto& c : cases)
    {
        std::vector<int> order;
        Remover listeners[3];
        for (int i = 0; i < 3; ++i)
        {
            listeners[i].store = &store;
            listeners[i].order = &order;
            listeners[i].tag = i + 1;
            store.addListener (&listeners[i]);
        }
        for (int tag : c.removed)
            listeners[c.remover - 1].removes.push_back (&listeners[tag - 1]);

        if (c.flushPass)
            store.updateParameters();
        else
            set ("mixWet", param ("mixWet")->get() == 10 ? 11 : 10);

        for (auto& listener : listeners)
            store.removeListener (&listener);

        EXPECT_EQ (order, c.heard) << "listener " << c.remover << " removing " << ::testing::PrintToString (c.removed)
                                   << (c.flushPass ? " in a flush pass" : "");
    }
}

//==============================================================================
TEST_F (ParameterStoreTest, HostAutomationWaitsForTheNextPassWhoseIntervalAdaptsToActivity)
{
    // A running timer: a stopped one has no interval.
    EXPECT_EQ (store.getFlushInterval(), 100);

    setFromHostThread ("mixWet", 90);
    EXPECT_EQ (treeValue ("mixWet"), 63);
    EXPECT_EQ (log->take(), "");

    store.timerCallback();
    EXPECT_EQ (treeValue ("mixWet"), 90);
    EXPECT_EQ (log->take(), "heard:mixWet=90/-1 ");

    std::vector<int> intervals { store.getFlushInterval() };
    for (int i = 0; i < 25; ++i)
    {
        store.timerCallback();
        intervals.push_back (store.getFlushInterval());
    }

    std::vector<int> expected { 20, 50 };
    for (int ms = 70; ms <= 500; ms += 20)
        expected.push_back (ms);
    expected.push_back (500);
    expected.push_back (500);
    EXPECT_EQ (intervals, expected);
}

TEST_F (ParameterStoreTest, AHostAudioThreadTakesNoLockToSetAParameterOrRenderABlock)
{
    auto* mix = param ("mixWet");
    juce::AudioBuffer<float> buffer (2, 64);
    juce::MidiBuffer midi;
    int locksWhileRendering = -1, locksOfAMutex = -1;

    std::thread ([&]
    {
        {
            const RealtimeCounting counting;
            hostView (mix).setValue (mix->convertTo0to1 (10.0f));
            processor->processBlock (buffer, midi);
            locksWhileRendering = counting.locksTaken();
        }

        // The counter itself sees a lock.
        std::mutex mutex;
        const RealtimeCounting counting;
        const std::lock_guard<std::mutex> lock (mutex);
        locksOfAMutex = counting.locksTaken();
    }).join();

    EXPECT_EQ (locksWhileRendering, 0);
    EXPECT_EQ (locksOfAMutex, 1);
    EXPECT_EQ (mix->get(), 10);
}

//==============================================================================
TEST_F (ParameterStoreTest, ALinkedSideMovesItsPartnerAndReportsOnceUnderTheLinkNumber)
{
    const struct { bool linked, fromPedal; const char* calls; int adcR; } cases[] = {
        { true, false, "value:1=90 heard:adcL=90/105 value:0=90 ", 90 },
        { false, false, "heard:adcL=90/106 value:0=90 ", 63 },
        // A pedal's values are never mirrored.
        { true, true, "heard:adcL=90/106 value:0=90 heard:adcR=30/107 value:1=30 ", 30 },
    };

    for (const auto& c : cases)
    {
        set ("adcLink", c.linked ? 1 : 0);
        set ("adcL", 63);
        set ("adcR", 63);
        log->take();
        {
            std::optional<AudioValueTreeState::PedalMessageSection> fromPedal;
            if (c.fromPedal)
                fromPedal.emplace (store);

            set ("adcL", 90);
            if (c.fromPedal)
                set ("adcR", 30);
        }

        EXPECT_EQ (log->take(), c.calls);
        EXPECT_EQ (param ("adcR")->get(), c.adcR);
        EXPECT_EQ (treeValue ("adcR"), c.adcR);
    }
}

TEST_F (ParameterStoreTest, WhenBothLinkedSidesChangedOffThreadTheLeftWins)
{
    setFromHostThread ("dacR", 40);
    setFromHostThread ("dacL", 80);
    store.updateParameters();

    EXPECT_EQ (param ("dacR")->get(), 80);
    EXPECT_EQ (treeValue ("dacR"), 80);
    EXPECT_EQ (log->take(), "value:3=80 heard:dacL=80/112 ");
}

TEST_F (ParameterStoreTest, SwitchingTheLinkOnDoesNotAlignTheSides)
{
    set ("adcLink", 0);
    set ("adcL", 40);
    set ("adcR", 80);
    set ("adcLink", 1);
    store.updateParameters();
    EXPECT_EQ (param ("adcL")->get(), 40);
    EXPECT_EQ (param ("adcR")->get(), 80);

    set ("adcR", 81);
    EXPECT_EQ (param ("adcL")->get(), 81);
}

//==============================================================================
TEST_F (ParameterStoreTest, ATreeWriterOrValueObjectMovesTheParameterAndFollowsIt)
{
    auto child = store.getState().getChildWithProperty ("id", "mixWet");
    child.setProperty ("value", 17, nullptr);
    EXPECT_EQ (log->take(), "heard:mixWet=17/-1 value:4=17 ");

    child.setProperty ("value", "not a number", nullptr);
    child.setProperty ("value", std::numeric_limits<double>::infinity(), nullptr);
    EXPECT_EQ (log->take(), "heard:mixWet=0/-1 value:4=0 ");

    auto bypass = store.getParameterAsValue ("bypass");
    set ("bypass", 0);
    EXPECT_EQ ((int) bypass.getValue(), 0);
    bypass.setValue (1);
    EXPECT_EQ (param ("bypass")->get(), 1);
}

TEST_F (ParameterStoreTest, CopyStateFlushesFirst)
{
    setFromHostThread ("mixWet", 5);
    auto copy = store.copyState();
    EXPECT_EQ ((int) copy.getChildWithProperty ("id", "mixWet")["value"], 5);

    copy.getChildWithProperty ("id", "mixWet").setProperty ("value", 99, nullptr);
    EXPECT_EQ (param ("mixWet")->get(), 5);
}

TEST_F (ParameterStoreTest, UnknownIdentifiersAreRefusedWithoutHarm)
{
    EXPECT_EQ (store.getParameter ("volume"), nullptr);

    auto stranger = juce::ValueTree ("PARAM");
    store.getState().appendChild (stranger, nullptr);
    stranger.setProperty ("id", "volume", nullptr);
    stranger.setProperty ("value", 3, nullptr);
    store.getState().removeChild (stranger, nullptr);

    EXPECT_EQ (store.getParameters().size(), 10);
}
