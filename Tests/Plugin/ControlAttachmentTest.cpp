#include "Support/PluginFixture.h"
#include "Components/ControlAttachment.h"

#include <gtest/gtest.h>

namespace
{
constexpr int mixWetIndex = 4;
constexpr int bypassIndex = 5;

using Source = GestureTracker::ParameterChangeSource;
using State = GestureTracker::GestureState;

// The attachment ignores where the mouse is; any event on the control will do.
juce::MouseEvent mouseEventOn (juce::Component& component)
{
    const auto now = juce::Time::getCurrentTime();
    return { juce::Desktop::getInstance().getMainMouseSource(), {}, {},
             juce::MouseInputSource::defaultPressure, juce::MouseInputSource::defaultOrientation,
             juce::MouseInputSource::defaultRotation, juce::MouseInputSource::defaultTiltX,
             juce::MouseInputSource::defaultTiltY, &component, &component, now, {}, now, 1, false };
}

struct CountingSliderListener : juce::Slider::Listener
{
    void sliderValueChanged (juce::Slider*) override { ++changes; }
    int changes = 0;
};

struct PlainAttachment : testing::Test
{
    ObservedProcessor f { juce::AudioProcessor::wrapperType_Undefined };
};

struct AudioUnitAttachment : testing::Test
{
    ObservedProcessor f { juce::AudioProcessor::wrapperType_AudioUnit };
};
} // namespace

//==============================================================================
TEST_F (PlainAttachment, SliderTakesFullRangeAndFollowsTheValueSilently)
{
    f.param ("mixWet")->set (90, Source::internalSource);
    f.host.events.clear();
    f.stored.calls.clear();

    juce::Slider slider;
    CountingSliderListener counter;
    slider.addListener (&counter);
    AudioValueTreeState::SliderAttachment attachment (f.store, "mixWet", slider);

    EXPECT_EQ (slider.getMinimum(), 0.0);
    EXPECT_EQ (slider.getMaximum(), 127.0);
    EXPECT_EQ (slider.getInterval(), 1.0);
    EXPECT_EQ (slider.getValue(), 90.0);
    runMessageLoop (20);
    EXPECT_EQ (counter.changes, 0);
    EXPECT_TRUE (f.host.events.empty());
    EXPECT_TRUE (f.stored.calls.empty());

    // A change made elsewhere moves the slider without setting it back.
    f.param ("mixWet")->set (30, Source::internalSource);
    EXPECT_EQ (slider.getValue(), 30.0);

    f.store.getParameterAsValue ("mixWet") = 20;
    EXPECT_EQ (slider.getValue(), 20.0);
    EXPECT_EQ (f.param ("mixWet")->get(), 20);

    runMessageLoop (20);
    EXPECT_EQ (counter.changes, 0);
    EXPECT_EQ (f.host.count (HostRecorder::valueChanged, mixWetIndex), 2);
    EXPECT_EQ (f.host.events.size(), 2u);
    slider.removeListener (&counter);
}

TEST_F (PlainAttachment, MovingSliderSetsParameterAsEditor)
{
    juce::Slider slider;
    AudioValueTreeState::SliderAttachment attachment (f.store, "mixWet", slider);

    slider.setValue (100.0, juce::sendNotificationSync);

    EXPECT_EQ (f.param ("mixWet")->get(), 100);
    ASSERT_EQ (f.host.events.size(), 2u);
    EXPECT_EQ (f.host.events[0].kind, HostRecorder::gestureBegin);
    EXPECT_EQ (f.host.events[1].kind, HostRecorder::valueChanged);
    EXPECT_FLOAT_EQ (f.host.events[1].value, 100.0f / 127.0f);

    // An editor change waits for the mouse, not for the time-out.
    EXPECT_EQ (f.state ("mixWet")->getSource(), Source::editorSource);
    EXPECT_FALSE (f.state ("mixWet")->isTimerRunning (State::timeoutTimerId));

    attachment.mouseUp (mouseEventOn (slider));
    EXPECT_EQ (f.host.count (HostRecorder::gestureEnd, mixWetIndex), 1);
}

TEST_F (AudioUnitAttachment, SliderMouseDownAndUpBracketHeldDrag)
{
    juce::Slider slider;
    AudioValueTreeState::SliderAttachment attachment (f.store, "mixWet", slider);
    auto* mix = f.param ("mixWet");

    attachment.mouseDown (mouseEventOn (slider));
    EXPECT_EQ (f.host.count (HostRecorder::gestureBegin, mixWetIndex), 1);

    slider.setValue (70.0, juce::sendNotificationSync);
    slider.setValue (75.0, juce::sendNotificationSync);
    EXPECT_EQ (mix->get(), 63);
    EXPECT_EQ (f.host.count (HostRecorder::valueChanged, mixWetIndex), 0);

    f.state ("mixWet")->timerCallback (State::holdTimerId);
    EXPECT_EQ (mix->get(), 75);
    EXPECT_EQ (slider.getValue(), 75.0);

    slider.setValue (80.0, juce::sendNotificationSync);
    EXPECT_EQ (mix->get(), 80);

    attachment.mouseUp (mouseEventOn (slider));
    EXPECT_TRUE (f.state ("mixWet")->isEnded());
    EXPECT_EQ (f.host.count (HostRecorder::valueChanged, mixWetIndex), 2);
    EXPECT_EQ (f.host.count (HostRecorder::gestureBegin, mixWetIndex), 1);
    EXPECT_EQ (f.host.count (HostRecorder::gestureEnd, mixWetIndex), 1);
    EXPECT_EQ (f.host.events.back().kind, HostRecorder::gestureEnd);
}

//==============================================================================
TEST_F (PlainAttachment, ButtonToggleFollowsValueSilently)
{
    juce::TextButton button;
    AudioValueTreeState::ButtonAttachment attachment (f.store, "bypass", button);
    EXPECT_TRUE (button.getToggleState());

    f.param ("bypass")->set (0, Source::internalSource);
    EXPECT_FALSE (button.getToggleState());

    f.param ("bypass")->set (1, Source::internalSource);
    EXPECT_TRUE (button.getToggleState());

    runMessageLoop (20);
    EXPECT_EQ (f.host.count (HostRecorder::valueChanged, bypassIndex), 2);
    EXPECT_EQ (f.host.count (HostRecorder::gestureBegin, bypassIndex), 0);
}

TEST_F (PlainAttachment, ButtonClickSetsZeroThenOne)
{
    juce::TextButton button;
    button.setClickingTogglesState (true);
    AudioValueTreeState::ButtonAttachment attachment (f.store, "bypass", button);
    auto* bypass = f.param ("bypass");

    button.triggerClick();
    runMessageLoop (50);
    EXPECT_FALSE (button.getToggleState());
    EXPECT_EQ (bypass->get(), 0);

    button.setToggleState (true, juce::sendNotification);
    EXPECT_EQ (bypass->get(), 1);

    // Both clicks belong to one editor gesture that awaits the mouse up.
    EXPECT_EQ (f.host.count (HostRecorder::valueChanged, bypassIndex), 2);
    EXPECT_EQ (f.host.count (HostRecorder::gestureBegin, bypassIndex), 1);
    EXPECT_EQ (f.host.count (HostRecorder::gestureEnd, bypassIndex), 0);
    EXPECT_EQ (f.stored.calls, (std::vector<RecordingListener::Call> { { "bypass", 0, 110 }, { "bypass", 1, 110 } }));

    attachment.mouseUp (mouseEventOn (button));
    EXPECT_EQ (f.host.count (HostRecorder::gestureEnd, bypassIndex), 1);
}

TEST_F (AudioUnitAttachment, FastButtonClickEndsWhenHeldValueIsOut)
{
    juce::TextButton button;
    AudioValueTreeState::ButtonAttachment attachment (f.store, "bypass", button);
    auto* state = f.state ("bypass");

    attachment.mouseDown (mouseEventOn (button));
    button.setToggleState (false, juce::sendNotification);
    attachment.mouseUp (mouseEventOn (button));

    EXPECT_EQ (f.param ("bypass")->get(), 1);
    EXPECT_FALSE (state->isEnded());
    EXPECT_EQ (f.host.count (HostRecorder::gestureEnd, bypassIndex), 0);

    state->timerCallback (State::holdTimerId);
    EXPECT_EQ (f.param ("bypass")->get(), 0);
    EXPECT_FALSE (button.getToggleState());
    ASSERT_EQ (f.host.events.size(), 3u);
    EXPECT_EQ (f.host.events[1].kind, HostRecorder::valueChanged);
    EXPECT_EQ (f.host.events[1].value, 0.0f);
    EXPECT_EQ (f.host.events[2].kind, HostRecorder::gestureEnd);
}

//==============================================================================
TEST_F (PlainAttachment, ControlsOutlivingTheirAttachmentsAreSafe)
{
    juce::Slider slider;
    juce::TextButton button;
    std::make_unique<AudioValueTreeState::SliderAttachment> (f.store, "mixWet", slider).reset();
    std::make_unique<AudioValueTreeState::ButtonAttachment> (f.store, "bypass", button).reset();

    slider.setValue (10.0, juce::sendNotificationSync);
    button.setToggleState (false, juce::sendNotification);
    EXPECT_EQ (f.param ("bypass")->get(), 1);
    EXPECT_TRUE (f.host.events.empty());

    button.setToggleState (true, juce::dontSendNotification);
    f.param ("mixWet")->set (40, Source::internalSource);
    f.param ("bypass")->set (0, Source::internalSource);
    EXPECT_EQ (f.param ("mixWet")->get(), 40);
    EXPECT_EQ (slider.getValue(), 10.0);
    EXPECT_TRUE (button.getToggleState());
    EXPECT_EQ (f.host.events.size(), 2u);
    EXPECT_EQ (f.host.count (HostRecorder::gestureBegin, mixWetIndex), 0);
}
