#include "Support/PluginFixture.h"
#include "Support/MessageLoop.h"
#include "Components/ControlAttachment.h"

#include <gtest/gtest.h>
#include <sstream>

namespace
{
using Source = GestureTracker::ParameterChangeSource;
using State = GestureTracker::GestureState;
using Wrapper = juce::AudioProcessor::WrapperType;

// The attachment ignores where the mouse is; any event on the control will do.
juce::MouseEvent mouseEventOn (juce::Component& component)
{
    const auto now = juce::Time::getCurrentTime();
    return { juce::Desktop::getInstance().getMainMouseSource(), {}, {},
             juce::MouseInputSource::defaultPressure, juce::MouseInputSource::defaultOrientation,
             juce::MouseInputSource::defaultRotation, juce::MouseInputSource::defaultTiltX,
             juce::MouseInputSource::defaultTiltY, &component, &component, now, {}, now, 1, false };
}

// A processor made inside a wrapper, with a fader, the footswitch and a link
// switch attached; the editor's side of a script is driven either through the
// tracker directly or through those controls.
class GestureRig : public ObservedProcessor
{
public:
    GestureRig (Wrapper wrapper, bool throughControls) : ObservedProcessor (wrapper), controls (throughControls) {}

    // One step of a script: "down id", "up id", "editor|pedal|internal|unknown id value",
    // "hold id" and "timeout id" (the gesture's timer fires), "timers id" (what is
    // armed, in ms) and "read id" (the parameter's value).
    void run (const std::string& step)
    {
        std::istringstream words (step);
        std::string action, id;
        int value = 0;
        words >> action >> id >> value;
        auto* parameter = store.getParameter (id);
        auto* state = store.getGestureTracker().findState (parameter);
        auto [component, attachment] = control (id);

        if (action == "down" && controls)            attachment.mouseDown (mouseEventOn (component));
        else if (action == "up" && controls)         attachment.mouseUp (mouseEventOn (component));
        else if (action == "down")                   store.getGestureTracker().getOrCreateGestureState (parameter, Source::editorSource);
        else if (action == "up")                     store.getGestureTracker().endGesture (parameter, Source::editorSource);
        else if (action == "editor" && controls)     moveControl (component, value);
        else if (action == "editor")                 parameter->set (value, Source::editorSource);
        else if (action == "pedal")                  parameter->set (value, Source::pedalSource);
        else if (action == "internal")               parameter->set (value, Source::internalSource);
        else if (action == "unknown")                parameter->set (value, Source::unknownSource);
        else if (action == "hold")                   state->timerCallback (State::holdTimerId);
        else if (action == "timeout")                state->timerCallback (State::timeoutTimerId);
        else if (action == "read")                   trace << id << "=" << parameter->get() << " ";
        else if (action == "timers")
            trace << "hold=" << armed (*state, State::holdTimerId) << ",timeout=" << armed (*state, State::timeoutTimerId) << " ";
        else
            FAIL() << "unknown step " << step;

        trace << log.take();
    }

    std::string getTrace() { return trace.str() + log.take(); }

    juce::Slider fader;
    juce::ToggleButton footswitch, linkSwitch;

private:
    static int armed (const State& state, int timer) { return state.isTimerRunning (timer) ? state.getTimerInterval (timer) : 0; }

    std::pair<juce::Component&, juce::MouseListener&> control (const std::string& id)
    {
        if (id == "bypass")
            return { footswitch, footswitchAttachment };
        if (id == "adcLink")
            return { linkSwitch, linkAttachment };
        return { fader, faderAttachment };
    }

    static void moveControl (juce::Component& component, int value)
    {
        if (auto* slider = dynamic_cast<juce::Slider*> (&component))
            slider->setValue (value, juce::sendNotificationSync);
        else if (auto* button = dynamic_cast<juce::Button*> (&component))
            button->setToggleState (value != 0, juce::sendNotificationSync);
    }

    bool controls;
    AudioValueTreeState::SliderAttachment faderAttachment { store, "mixWet", fader };
    AudioValueTreeState::ButtonAttachment footswitchAttachment { store, "bypass", footswitch };
    AudioValueTreeState::ButtonAttachment linkAttachment { store, "adcLink", linkSwitch };
    std::ostringstream trace;
};

struct Script
{
    const char* name;
    std::vector<std::string> steps;
    std::string insideAudioUnit; // values held for the first 80 ms of a gesture
    std::string plain;           // no wrapper known: every value at once
    bool throughControlsToo = true;
};

const Script scripts[] = {
    { "slider drag: values held until the hold ends, then the latest",
      { "down mixWet", "timers mixWet", "editor mixWet 70", "editor mixWet 75", "read mixWet", "hold mixWet",
        "editor mixWet 80", "up mixWet", "timers mixWet" },
      "begin:4 hold=80,timeout=0 mixWet=63 heard:mixWet=75/-1 value:4=75 heard:mixWet=80/-1 value:4=80 end:4 hold=0,timeout=0 ",
      "begin:4 hold=0,timeout=0 heard:mixWet=70/-1 value:4=70 heard:mixWet=75/-1 value:4=75 mixWet=75 heard:mixWet=80/-1 value:4=80 "
      "end:4 hold=0,timeout=0 " },
    { "fast click: the held value is delivered and the gesture ends in the same step",
      { "down bypass", "editor bypass 0", "up bypass", "read bypass", "hold bypass", "read bypass" },
      "begin:5 bypass=1 heard:bypass=0/110 value:5=0 end:5 bypass=0 ",
      "begin:5 heard:bypass=0/110 value:5=0 end:5 bypass=0 bypass=0 " },
    { "slow click: applied at once, mouse up ends",
      { "down bypass", "hold bypass", "editor bypass 0", "up bypass" },
      "begin:5 heard:bypass=0/110 value:5=0 end:5 ",
      "begin:5 heard:bypass=0/110 value:5=0 end:5 " },
    { "an internal change ends the gesture and drops a held value",
      { "down mixWet", "editor mixWet 90", "internal mixWet 40", "hold mixWet", "read mixWet",
        "down bypass", "editor bypass 0", "unknown bypass 1", "read bypass" },
      "begin:4 end:4 heard:mixWet=40/-1 value:4=40 mixWet=40 begin:5 end:5 bypass=1 ",
      "begin:4 heard:mixWet=90/-1 value:4=90 end:4 heard:mixWet=40/-1 value:4=40 mixWet=40 begin:5 heard:bypass=0/110 value:5=0 "
      "end:5 heard:bypass=1/110 value:5=1 bypass=1 " },
    { "a link switch is no host parameter: no gesture, set at once",
      { "down adcLink", "editor adcLink 0", "up adcLink", "read adcLink" },
      "heard:adcLink=0/108 adcLink=0 ",
      "heard:adcLink=0/108 adcLink=0 " },
    { "pedal values: one gesture, each value restarts the 300 ms time-out",
      { "pedal mixWet 50", "timers mixWet", "hold mixWet", "pedal mixWet 51", "pedal mixWet 52", "timers mixWet",
        "timeout mixWet", "timers mixWet" },
      "begin:4 hold=80,timeout=300 heard:mixWet=50/-1 value:4=50 heard:mixWet=51/-1 value:4=51 heard:mixWet=52/-1 value:4=52 "
      "hold=0,timeout=300 end:4 hold=0,timeout=0 ",
      "begin:4 heard:mixWet=50/-1 value:4=50 hold=0,timeout=300 heard:mixWet=51/-1 value:4=51 heard:mixWet=52/-1 value:4=52 "
      "hold=0,timeout=300 end:4 hold=0,timeout=0 " },
    { "an editor change after pedal values waits for the mouse",
      { "pedal mixWet 50", "editor mixWet 60", "timers mixWet", "up mixWet", "hold mixWet" },
      "begin:4 hold=80,timeout=0 heard:mixWet=60/-1 value:4=60 end:4 ",
      "begin:4 heard:mixWet=50/-1 value:4=50 heard:mixWet=60/-1 value:4=60 hold=0,timeout=0 end:4 " },
    { "a pedal value during an editor gesture leaves the end to the time-out",
      { "down mixWet", "pedal mixWet 55", "hold mixWet", "up mixWet", "timers mixWet", "timeout mixWet" },
      "begin:4 heard:mixWet=55/-1 value:4=55 hold=0,timeout=300 end:4 ",
      "begin:4 heard:mixWet=55/-1 value:4=55 hold=0,timeout=300 end:4 " },
    { "an unchanged value tells the host only inside a gesture",
      { "internal mixWet 63", "unknown bypass 1", "down mixWet", "hold mixWet", "editor mixWet 70", "editor mixWet 70",
        "up mixWet" },
      "begin:4 heard:mixWet=70/-1 value:4=70 value:4=70 end:4 ",
      "begin:4 heard:mixWet=70/-1 value:4=70 value:4=70 end:4 ",
      false },
};

struct GestureScript : testing::TestWithParam<std::tuple<Wrapper, bool>>
{
};
} // namespace

TEST_P (GestureScript, TellsTheHostWhatTheScriptExpects)
{
    const auto [wrapper, throughControls] = GetParam();

    for (const auto& script : scripts)
    {
        if (throughControls && ! script.throughControlsToo)
            continue;

        GestureRig rig (wrapper, throughControls);
        for (const auto& step : script.steps)
            rig.run (step);

        EXPECT_EQ (rig.getTrace(), wrapper == Wrapper::wrapperType_AudioUnit ? script.insideAudioUnit : script.plain)
            << script.name;
    }
}

INSTANTIATE_TEST_SUITE_P (Wrappers, GestureScript,
                          testing::Combine (testing::Values (Wrapper::wrapperType_AudioUnit, Wrapper::wrapperType_Undefined),
                                            testing::Bool()),
                          [] (const auto& info)
                          {
                              return std::string (std::get<0> (info.param) == Wrapper::wrapperType_AudioUnit ? "AudioUnit" : "Plain")
                                   + (std::get<1> (info.param) ? "ThroughControls" : "Direct");
                          });

//==============================================================================
TEST (Gestures, OnlyTheSixHostParametersTrackGestures)
{
    auto processor = makeProcessor (Wrapper::wrapperType_AudioUnit);
    auto& store = processor->getValueTreeState();
    auto& tracker = store.getGestureTracker();

    const char* hostIds[] = { "adcL", "adcR", "dacL", "dacR", "mixWet", "bypass" };
    for (int index = 0; index < 6; ++index)
    {
        auto* state = tracker.findState (store.getParameter (hostIds[index]));
        ASSERT_NE (state, nullptr) << hostIds[index];
        EXPECT_EQ (state->getParameter().getParameterIndex(), index) << hostIds[index];
    }

    for (auto* id : { "adcLink", "dacLink", "channelSetting", "preset" })
    {
        EXPECT_EQ (tracker.findState (store.getParameter (id)), nullptr) << id;
        EXPECT_EQ (tracker.getOrCreateGestureState (store.getParameter (id), Source::pedalSource), nullptr) << id;
    }
}

TEST (Attachments, ControlsTakeTheFullRangeAndFollowTheValueWithoutSettingItBack)
{
    GestureRig rig (Wrapper::wrapperType_Undefined, true);
    EXPECT_EQ (rig.fader.getMinimum(), 0.0);
    EXPECT_EQ (rig.fader.getMaximum(), 127.0);
    EXPECT_EQ (rig.fader.getInterval(), 1.0);
    EXPECT_EQ (rig.fader.getValue(), 63.0);
    EXPECT_TRUE (rig.footswitch.getToggleState());

    // Changes made elsewhere, through the tree too, move the controls and go no further.
    rig.run ("internal mixWet 30");
    rig.store.getParameterAsValue ("mixWet") = 20;
    rig.run ("internal bypass 0");
    ASSERT_TRUE (runLoopUntil ("the controls to follow", [&rig] { return rig.fader.getValue() == 20.0 && ! rig.footswitch.getToggleState(); }));
    deliverPostedMessages();
    EXPECT_EQ (rig.fader.getValue(), 20.0);
    EXPECT_FALSE (rig.footswitch.getToggleState());
    EXPECT_EQ (rig.getTrace(), "heard:mixWet=30/-1 value:4=30 heard:mixWet=20/-1 value:4=20 heard:bypass=0/110 value:5=0 ");

    // A real click toggles the button, which sets the parameter as the editor.
    rig.footswitch.setClickingTogglesState (true);
    rig.footswitch.triggerClick();
    deliverPostedMessages();
    EXPECT_EQ (rig.store.getParameter ("bypass")->get(), 1);
}

TEST (Attachments, ControlsOutlivingTheirAttachmentsAreSafe)
{
    ObservedProcessor f;
    auto& store = f.store;
    juce::Slider slider;
    juce::ToggleButton button;
    std::make_unique<AudioValueTreeState::SliderAttachment> (store, "mixWet", slider).reset();
    std::make_unique<AudioValueTreeState::ButtonAttachment> (store, "bypass", button).reset();

    slider.setValue (10.0, juce::sendNotificationSync);
    button.setToggleState (false, juce::sendNotificationSync);
    store.getParameter ("mixWet")->set (40, Source::internalSource);

    EXPECT_EQ (store.getParameter ("bypass")->get(), 1);
    EXPECT_EQ (slider.getValue(), 10.0);
    EXPECT_EQ (f.log.take(), "heard:mixWet=40/-1 value:4=40 ");
}
