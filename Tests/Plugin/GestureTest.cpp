#include "Support/PluginFixture.h"

#include <gtest/gtest.h>

namespace
{
constexpr int mixWetIndex = 4;

using Source = GestureTracker::ParameterChangeSource;
using State = GestureTracker::GestureState;

// The processor's gestures driven as the editor drives them, and read back as one text.
struct GestureFixture : ObservedProcessor
{
    using ObservedProcessor::ObservedProcessor;

    void mouseDown (const char* id) { tracker().getOrCreateGestureState (param (id), GestureTracker::editorSource); }
    void mouseUp (const char* id) { tracker().endGesture (param (id), GestureTracker::editorSource); }

    std::string trace() const
    {
        std::string text;
        for (auto& e : host.events)
        {
            text += std::string (e.kind == HostRecorder::gestureBegin ? "begin:" : e.kind == HostRecorder::gestureEnd ? "end:" : "value:")
                  + std::to_string (e.index);
            if (e.kind == HostRecorder::valueChanged)
                text += "=" + std::to_string (juce::roundToInt (e.value * 127.0f));
            text += " ";
        }
        return text;
    }
};

struct AudioUnitGesture : testing::Test
{
    GestureFixture f { juce::AudioProcessor::wrapperType_AudioUnit };
};

struct PlainGesture : testing::Test
{
    GestureFixture f { juce::AudioProcessor::wrapperType_Undefined };
};
} // namespace

//==============================================================================
TEST_F (AudioUnitGesture, SliderDragHoldsValuesUntilHoldEndsThenAppliesLatest)
{
    auto* mix = f.param ("mixWet");
    auto* state = f.state ("mixWet");
    ASSERT_NE (state, nullptr);

    f.mouseDown ("mixWet");
    EXPECT_EQ (f.trace(), "begin:4 ");
    EXPECT_TRUE (state->isHolding());

    mix->set (70, Source::editorSource);
    mix->set (75, Source::editorSource);
    EXPECT_EQ (mix->get(), 63);
    EXPECT_TRUE (f.stored.calls.empty());
    EXPECT_EQ (f.trace(), "begin:4 ");

    state->timerCallback (State::holdTimerId);
    EXPECT_EQ (mix->get(), 75);
    EXPECT_EQ (f.trace(), "begin:4 value:4=75 ");
    EXPECT_EQ (f.stored.calls, (std::vector<RecordingListener::Call> { { "mixWet", 75, -1 } }));

    mix->set (80, Source::editorSource);
    EXPECT_EQ (mix->get(), 80);

    f.mouseUp ("mixWet");
    EXPECT_TRUE (state->isEnded());
    EXPECT_EQ (f.trace(), "begin:4 value:4=75 value:4=80 end:4 ");
}

TEST_F (AudioUnitGesture, FastClickDeliversValueAndEndsInTheSameHoldStep)
{
    auto* bypass = f.param ("bypass");
    auto* state = f.state ("bypass");

    f.mouseDown ("bypass");
    bypass->set (0, Source::editorSource);
    f.mouseUp ("bypass");

    EXPECT_EQ (bypass->get(), 1);
    EXPECT_FALSE (state->isEnded());
    EXPECT_EQ (f.trace(), "begin:5 ");

    state->timerCallback (State::holdTimerId);
    EXPECT_EQ (bypass->get(), 0);
    EXPECT_TRUE (state->isEnded());
    EXPECT_EQ (f.trace(), "begin:5 value:5=0 end:5 ");
}

TEST_F (AudioUnitGesture, SlowClickAppliesAtOnceAndMouseUpEnds)
{
    auto* bypass = f.param ("bypass");
    auto* state = f.state ("bypass");

    f.mouseDown ("bypass");
    state->timerCallback (State::holdTimerId);
    EXPECT_EQ (f.trace(), "begin:5 ");
    EXPECT_FALSE (state->isHolding());

    bypass->set (0, Source::editorSource);
    EXPECT_EQ (bypass->get(), 0);
    EXPECT_EQ (f.trace(), "begin:5 value:5=0 ");

    f.mouseUp ("bypass");
    EXPECT_EQ (f.trace(), "begin:5 value:5=0 end:5 ");
}

TEST_F (AudioUnitGesture, AnInternalChangeEndsTheGestureAndDropsTheHeldValue)
{
    auto* mix = f.param ("mixWet");
    auto* state = f.state ("mixWet");

    f.mouseDown ("mixWet");
    mix->set (90, Source::editorSource);
    mix->set (40, Source::internalSource);

    EXPECT_TRUE (state->isEnded());
    EXPECT_FALSE (state->isValuePending());
    EXPECT_EQ (mix->get(), 40);
    EXPECT_EQ (f.trace(), "begin:4 end:4 value:4=40 ");

    // A late hold step must not bring the dropped value back.
    state->timerCallback (State::holdTimerId);
    EXPECT_EQ (mix->get(), 40);
    EXPECT_EQ (f.host.events.size(), 3u);

    // An unchanged value from elsewhere only ends the gesture.
    auto* bypass = f.param ("bypass");
    f.mouseDown ("bypass");
    bypass->set (0, Source::editorSource);
    bypass->set (1, Source::unknownSource);

    EXPECT_EQ (bypass->get(), 1);
    EXPECT_TRUE (f.state ("bypass")->isEnded());
    EXPECT_EQ (f.trace(), "begin:4 end:4 value:4=40 begin:5 end:5 ");
    EXPECT_EQ (f.stored.calls, (std::vector<RecordingListener::Call> { { "mixWet", 40, -1 } }));
}

TEST_F (AudioUnitGesture, OnlyTheSixHostParametersTrackGesturesAndALinkClickSetsDirectly)
{
    const char* hostIds[] = { "adcL", "adcR", "dacL", "dacR", "mixWet", "bypass" };
    for (int index = 0; index < 6; ++index)
    {
        auto* state = f.state (hostIds[index]);
        ASSERT_NE (state, nullptr) << hostIds[index];
        EXPECT_EQ (state->getParameter().getParameterIndex(), index) << hostIds[index];
    }

    for (auto* id : { "adcLink", "dacLink", "channelSetting", "preset" })
    {
        EXPECT_EQ (f.state (id), nullptr) << id;
        EXPECT_EQ (f.tracker().getOrCreateGestureState (f.param (id), Source::pedalSource), nullptr) << id;
    }

    auto* link = f.param ("adcLink");
    f.mouseDown ("adcLink");
    link->set (0, Source::editorSource);
    f.mouseUp ("adcLink");

    EXPECT_EQ (link->get(), 0);
    EXPECT_TRUE (f.host.events.empty());
    EXPECT_EQ (f.stored.calls, (std::vector<RecordingListener::Call> { { "adcLink", 0, 108 } }));
}

TEST_F (PlainGesture, WithoutWrapperFirstValueAppliesAtOnce)
{
    auto* mix = f.param ("mixWet");
    auto* state = f.state ("mixWet");

    f.mouseDown ("mixWet");
    EXPECT_FALSE (state->isHolding());

    mix->set (70, Source::editorSource);
    EXPECT_EQ (mix->get(), 70);
    f.mouseUp ("mixWet");
    EXPECT_EQ (f.trace(), "begin:4 value:4=70 end:4 ");
}

//==============================================================================
TEST_F (AudioUnitGesture, PedalStreamIsOneGestureEndedByTimeout)
{
    auto* mix = f.param ("mixWet");
    auto* state = f.state ("mixWet");
    std::string expected = "begin:4 ";

    // A value every 100 ms: the hold ends at 80 ms, the 300 ms time-out is re-armed each time.
    for (int i = 0; i < 10; ++i)
    {
        mix->set (50 + i, Source::pedalSource);
        EXPECT_TRUE (state->isTimerRunning (State::timeoutTimerId));
        EXPECT_EQ (state->getTimerInterval (State::timeoutTimerId), 300);

        if (i == 0)
        {
            EXPECT_EQ (mix->get(), 63);
            state->timerCallback (State::holdTimerId);
        }

        EXPECT_EQ (mix->get(), 50 + i);
        expected += "value:4=" + std::to_string (50 + i) + " ";
    }

    EXPECT_FALSE (state->isEnded());
    state->timerCallback (State::timeoutTimerId);
    expected += "end:4 ";

    EXPECT_TRUE (state->isEnded());
    EXPECT_EQ (f.trace(), expected);
    EXPECT_EQ (f.host.count (HostRecorder::gestureBegin, mixWetIndex), 1);
}

TEST_F (PlainGesture, EditorChangeAfterPedalWaitsForMouseUp)
{
    auto* mix = f.param ("mixWet");
    auto* state = f.state ("mixWet");

    mix->set (50, Source::pedalSource);
    mix->set (60, Source::editorSource);

    EXPECT_FALSE (state->isTimerRunning (State::timeoutTimerId));
    EXPECT_EQ (state->getSource(), Source::editorSource);
    EXPECT_FALSE (state->isEnded());

    f.mouseUp ("mixWet");
    EXPECT_TRUE (state->isEnded());
    EXPECT_EQ (f.trace(), "begin:4 value:4=50 value:4=60 end:4 ");
}

TEST_F (PlainGesture, PedalChangeDuringEditorGestureIgnoresMouseUp)
{
    auto* mix = f.param ("mixWet");
    auto* state = f.state ("mixWet");

    f.mouseDown ("mixWet");
    mix->set (55, Source::pedalSource);
    EXPECT_TRUE (state->isTimerRunning (State::timeoutTimerId));

    f.mouseUp ("mixWet");
    EXPECT_FALSE (state->isEnded());
    EXPECT_EQ (f.host.count (HostRecorder::gestureEnd, mixWetIndex), 0);

    state->timerCallback (State::timeoutTimerId);
    EXPECT_EQ (f.trace(), "begin:4 value:4=55 end:4 ");
}

TEST_F (AudioUnitGesture, RealTimersDeliverHeldPedalValueAndEndGesture)
{
    auto* mix = f.param ("mixWet");
    auto* state = f.state ("mixWet");
    const auto start = juce::Time::getMillisecondCounterHiRes();

    mix->set (70, Source::pedalSource);
    EXPECT_EQ (mix->get(), 63);

    while (! state->isEnded() && juce::Time::getMillisecondCounterHiRes() - start < 900.0)
        runMessageLoop (10);

    EXPECT_TRUE (state->isEnded());
    EXPECT_GE (juce::Time::getMillisecondCounterHiRes() - start, 250.0);
    EXPECT_EQ (mix->get(), 70);
    EXPECT_EQ (f.trace(), "begin:4 value:4=70 end:4 ");
}

//==============================================================================
TEST_F (PlainGesture, AnUnchangedValueTellsTheHostOnlyInsideAGesture)
{
    auto* mix = f.param ("mixWet");
    mix->set (63, Source::internalSource);
    f.param ("bypass")->set (1, Source::unknownSource);
    EXPECT_TRUE (f.host.events.empty());
    EXPECT_TRUE (f.stored.calls.empty());

    f.mouseDown ("mixWet");
    mix->set (70, Source::editorSource);
    mix->set (70, Source::editorSource);

    EXPECT_EQ (f.host.count (HostRecorder::valueChanged, mixWetIndex), 2);
    EXPECT_EQ (f.stored.calls.size(), 1u);
    EXPECT_EQ (f.trace(), "begin:4 value:4=70 value:4=70 ");
    f.mouseUp ("mixWet");
}
