#include "Components/Face/MeterFeed.h"
#include "Components/Face/PedalComponent.h"
#include "Components/Images.h"
#include "LookAndFeel/PictureColours.h"
#include "Support/Drawing.h"
#include "Support/MessageLoop.h"
#include "Support/PluginFixture.h"

#include <gtest/gtest.h>

#include <functional>
#include <limits>

namespace
{
using Source = GestureTracker::ParameterChangeSource;
using Rect = juce::Rectangle<int>;

juce::MouseEvent pointerOver (juce::Component& component)
{
    return { juce::Desktop::getInstance().getMainMouseSource(), {}, {}, 0.0f, 0.0f, 0.0f, 0.0f, 0.0f,
             &component, &component, juce::Time(), {}, juce::Time(), 1, false };
}

// A face over a processor's parameters, laid out as the editor lays it out.
struct PedalFace : testing::Test
{
    PedalFace() { pedal.setBounds (0, 0, 480, 540); }

    juce::String hoverText (SliderComponent& slider, double value)
    {
        slider.setValue (value, juce::dontSendNotification);
        slider.mouseEnter (pointerOver (slider));
        auto text = slider.getLabel()->getText();
        slider.mouseExit (pointerOver (slider));
        return text;
    }

    ObservedProcessor f { juce::AudioProcessor::wrapperType_Undefined };
    juce::Image chassis;
    PedalComponent pedal { chassis, f.store };
    const PedalComponent::Widgets face = pedal.widgetsForTesting();
};
} // namespace

TEST_F (PedalFace, EveryChildSitsAtItsPlace)
{
    // In painting order: the controls in order, then the captions on top.
    const std::pair<juce::Component*, Rect> places[] = {
        { face.faderDacL.get(), { 12, 138, 75, 254 } },   { face.faderDacR.get(), { 112, 138, 75, 254 } },
        { face.faderAdcL.get(), { 293, 138, 75, 254 } },  { face.faderAdcR.get(), { 393, 138, 75, 254 } },
        { face.toggleDacLink.get(), { 75, 346, 50, 50 } }, { face.toggleAdcLink.get(), { 355, 346, 50, 50 } },
        { face.footswitch.get(), { 187, 456, 108, 84 } },  { face.ledUsb.get(), { 443, 100, 19, 19 } },
        { face.ledPower.get(), { 443, 60, 19, 19 } },      { face.knobMix.get(), { 0, 29, 100, 104 } },
        { face.ledStatus.get(), { 232, 355, 14, 14 } },    { face.meterL.get(), { 209, 205, 29, 122 } },
        { face.meterR.get(), { 242, 205, 29, 122 } },      { face.meterWindow.get(), { 210, 175, 60, 24 } },
    };

    const std::pair<const char*, Rect> captions[] = {
        { "Dry", { 2, 93, 100, 20 } },    { "Wet", { 73, 93, 100, 20 } },
        { "POWER", { 393, 61, 50, 20 } }, { "USB", { 408, 101, 50, 20 } },
    };

    ASSERT_EQ (pedal.getNumChildComponents(), 18);
    for (int i = 0; i < 18; ++i)
    {
        auto* child = pedal.getChildComponent (i);
        const auto bounds = i < 14 ? places[i].second : captions[i - 14].second;
        EXPECT_EQ (child->getBounds(), bounds) << i << " at " << child->getBounds().toString();
        EXPECT_TRUE (child->isVisible()) << i;
        if (i < 14)
        {
            EXPECT_EQ (child, places[i].first) << i;
            continue;
        }

        auto* label = dynamic_cast<juce::Label*> (child);
        ASSERT_NE (label, nullptr) << i;
        EXPECT_EQ (label->getText(), captions[i - 14].first);
        EXPECT_EQ (label->getFont().getTypefaceStyle(), "Medium");
        EXPECT_NEAR (label->getFont().getHeightInPoints(), 11.0f, 0.001f);
    }
}

TEST_F (PedalFace, ModesChooseChassisLayoutEnablementAndPictures)
{
    struct Row
    {
        std::optional<ChannelSetting> channel;
        Mode mode;
        PedalModeConfig config;
        const ImageSelector& chassis;
        int activeSide; // -1 both (stereo), 0 left, 1 right
        bool outputsEnabled, inputsEnabled;
    };

    constexpr auto L = ChannelSetting::monoLeft, R = ChannelSetting::monoRight, S = ChannelSetting::stereo;
    constexpr auto noLeg = PedalModeConfig::none, in = PedalModeConfig::in, out = PedalModeConfig::out;
    const std::optional<ChannelSetting> noChannel;

    const Row rows[] = {
        { S, Mode::audio, noLeg, Images::PL_chassis_Stereo, -1, true, true },
        { S, Mode::control, noLeg, Images::PL_chassis_Stereo_In, -1, false, true },
        { S, Mode::pedalboard, in, Images::PL_chassis_Stereo_In, -1, true, true },
        { S, Mode::pedalboard, out, Images::PL_chassis_Stereo_Out, -1, false, false },
        { S, Mode::pedalboard, noLeg, Images::PL_chassis_Stereo, -1, true, true },
        { L, Mode::audio, noLeg, Images::PL_chassis_Mono, 0, true, true },
        { R, Mode::control, noLeg, Images::PL_chassis_Mono_In, 1, false, true },
        { R, Mode::pedalboard, out, Images::PL_chassis_Mono_Out, 1, false, false },
        { L, Mode::pedalboard, in, Images::PL_chassis_Mono_In, 0, true, true },
        { R, Mode::audio, noLeg, Images::PL_chassis_Mono, 1, true, true },
        { noChannel, Mode::none, noLeg, Images::PL_chassis_Stereo, -1, true, true },
        { noChannel, Mode::pedalboard, out, Images::PL_chassis_Stereo, -1, false, false },
        { L, Mode::audio, noLeg, Images::PL_chassis_Mono, 0, true, true },
        { R, Mode::audio, noLeg, Images::PL_chassis_Mono, 1, true, true },
        { S, Mode::audio, noLeg, Images::PL_chassis_Stereo, -1, true, true },
    };

    const auto cap = Images::Slider_cap.getImage();
    const auto disabledCap = Images::Slider_cap_disabled.getImage();

    for (const auto& row : rows)
    {
        SCOPED_TRACE ("channel " + juce::String (row.channel ? toInt (*row.channel) : -1) + ", mode " + juce::String (toInt (row.mode))
                      + ", leg " + juce::String (toInt (row.config)));
        pedal.updateEditor (row.mode, row.channel, row.config);
        EXPECT_EQ (chassis, row.chassis.getImage());

        const auto stereo = row.activeSide < 0;
        const auto leftShown = stereo || row.activeSide == 0;
        const auto rightShown = stereo || row.activeSide == 1;

        const std::tuple<Fader*, bool, bool, Rect, Rect> faders[] = {
            { &face.faderDacL, leftShown, row.outputsEnabled, { 12, 138, 75, 254 }, { 82, 138, 75, 254 } },
            { &face.faderDacR, rightShown, row.outputsEnabled, { 112, 138, 75, 254 }, { 82, 138, 75, 254 } },
            { &face.faderAdcL, leftShown, row.inputsEnabled, { 293, 138, 75, 254 }, { 323, 138, 75, 254 } },
            { &face.faderAdcR, rightShown, row.inputsEnabled, { 393, 138, 75, 254 }, { 323, 138, 75, 254 } },
        };

        for (const auto& [fader, shown, enabled, stereoBounds, monoBounds] : faders)
        {
            EXPECT_EQ ((*fader)->isVisible(), shown);
            EXPECT_EQ ((*fader)->isEnabled(), enabled); // hidden ones too
            EXPECT_EQ (fader->getStyle().capImage, enabled ? cap : disabledCap);
            if (shown)
            {
                EXPECT_EQ ((*fader)->getBounds(), stereo ? stereoBounds : monoBounds);
            }
        }

        for (auto* toggle : { face.toggleDacLink.get(), face.toggleAdcLink.get() })
        {
            EXPECT_EQ (toggle->isVisible(), stereo);
            EXPECT_EQ (toggle->isEnabled(), stereo);
        }

        EXPECT_EQ (face.meterL->isVisible(), leftShown);
        EXPECT_EQ (face.meterR->isVisible(), rightShown);
        EXPECT_EQ (face.meterR->isEnabled(), rightShown);
        if (stereo)
        {
            EXPECT_EQ (face.meterL->getBounds(), Rect (209, 205, 29, 122));
            EXPECT_EQ (face.meterR->getBounds(), Rect (242, 205, 29, 122));
            EXPECT_EQ (face.meterL->offImages[0], Images::Meter_Green_Off.getImage());
            EXPECT_EQ (face.meterR->onImages[2], Images::Meter_Red_On.getImage());
        }
        else
        {
            auto& active = row.activeSide == 0 ? face.meterL : face.meterR;
            EXPECT_EQ (active->getBounds(), Rect (214, 205, 58, 122));
            EXPECT_EQ (active->offImages[0], Images::Meter_Wide_Green_Off.getImage());
            EXPECT_EQ (active->onImages[1], Images::Meter_Wide_Amber_On.getImage());
        }

        // Never touched by a mode.
        for (juce::Component* steady : { (juce::Component*) face.knobMix.get(), (juce::Component*) face.footswitch.get(),
                                         (juce::Component*) face.ledStatus.get(), (juce::Component*) face.meterWindow.get() })
            EXPECT_TRUE (steady->isVisible() && steady->isEnabled());
    }
}

TEST (PedalFaceConstruction, ControlsShowTheStoredValuesWithoutChangingAnything)
{
    ObservedProcessor f { juce::AudioProcessor::wrapperType_Undefined };
    f.param ("dacLink")->set (0, Source::internalSource);
    f.param ("dacL")->set (100, Source::internalSource);
    f.param ("mixWet")->set (20, Source::internalSource);
    f.param ("bypass")->set (1, Source::internalSource);
    f.store.updateParameters();
    deliverPostedMessages();
    f.log.take();

    juce::Image chassis;
    PedalComponent pedal (chassis, f.store);
    pedal.setBounds (0, 0, 480, 540);
    const auto face = pedal.widgetsForTesting();

    EXPECT_EQ (face.faderDacL->getValue(), 100.0);
    EXPECT_EQ (face.faderDacR->getValue(), 63.0);
    EXPECT_EQ (face.knobMix->getValue(), 20.0);
    EXPECT_FALSE (face.toggleDacLink->getToggleState());
    EXPECT_TRUE (face.toggleAdcLink->getToggleState());
    EXPECT_TRUE (face.footswitch->getToggleState());
    EXPECT_EQ (face.ledStatus->index, 1);
    EXPECT_EQ (face.ledStatus->getImage(), Images::Status_On.getImage());

    f.store.updateParameters();
    deliverPostedMessages();
    EXPECT_EQ (f.log.take(), "");
}

TEST_F (PedalFace, MovingAFaderSetsOnlyItsParameterInsideAHostGesture)
{
    f.param ("dacLink")->set (0, Source::internalSource);
    f.store.updateParameters();
    deliverPostedMessages();
    f.log.take();

    face.faderDacR->setValue (90.0, juce::sendNotificationSync);

    EXPECT_EQ (f.param ("dacR")->get(), 90);
    EXPECT_EQ (f.param ("dacL")->get(), 63);
    EXPECT_EQ (f.log.take(), "begin:3 heard:dacR=90/114 value:3=90 ");
}

TEST_F (PedalFace, HostAutomationMovesTheControls)
{
    hostView (f.param ("adcL")).setValueNotifyingHost (50.0f / 127.0f);
    hostView (f.param ("mixWet")).setValueNotifyingHost (1.0f);
    f.store.updateParameters();

    EXPECT_EQ (face.faderAdcL->getValue(), 50.0);
    EXPECT_EQ (face.knobMix->getValue(), 127.0);
}

TEST_F (PedalFace, FootswitchTogglesBypassAndTheStatusLightFollowsThroughTheParameter)
{
    ASSERT_EQ (f.param ("bypass")->get(), 1);
    ASSERT_EQ (face.ledStatus->index, 1);

    // The status light's centre, as the face draws it.
    const auto statusLight = [this] { return argb (snapshot (pedal), 232 + 7, 355 + 7); };
    EXPECT_TRUE (coloursNear (statusLight(), PictureColours::statusOn, 1));

    face.footswitch->triggerClick();
    deliverPostedMessages();
    EXPECT_EQ (f.param ("bypass")->get(), 0);
    ASSERT_TRUE (runLoopUntil ("the status light to go out", [this] { return face.ledStatus->index == 0; }));
    EXPECT_TRUE (coloursNear (statusLight(), PictureColours::statusOff, 1));

    // The light changes through a queued event, not inside the change itself.
    f.param ("bypass")->set (1, Source::internalSource);
    EXPECT_TRUE (face.footswitch->getToggleState());
    EXPECT_EQ (face.ledStatus->index, 0);
    EXPECT_TRUE (runLoopUntil ("the status light to come on", [this] { return face.ledStatus->index == 1; }));
}

TEST_F (PedalFace, ValueTextsAtRestAndUnderThePointer)
{
    EXPECT_EQ (face.faderDacL->getLabel()->getText(), "L");
    EXPECT_EQ (face.faderDacR->getLabel()->getText(), "R");
    EXPECT_EQ (face.faderAdcL->getLabel()->getText(), "L");
    EXPECT_EQ (face.faderAdcR->getLabel()->getText(), "R");
    EXPECT_EQ (face.knobMix->getLabel()->getText(), "MIX");
    // Names at rest in the Helvetica Neue stand-in at 12 points: the faders' regular, the knob's medium.
    const std::pair<SliderComponent*, const char*> restFonts[] = { { face.faderDacL.get(), "Regular" },
                                                                   { face.faderAdcR.get(), "Regular" },
                                                                   { face.knobMix.get(), "Medium" } };
    for (const auto& [slider, style] : restFonts)
    {
        const auto font = slider->getLabel()->getFont();
        EXPECT_EQ (font.getTypefaceName(), "Inter");
        EXPECT_EQ (font.getTypefaceStyle(), style);
        EXPECT_NEAR (font.getHeightInPoints(), 12.0f, 0.001f);
    }
    EXPECT_EQ (face.faderDacL->getLabel()->getBounds(), Rect (0, 234, 75, 20));
    EXPECT_EQ (face.knobMix->getLabel()->getBounds(), Rect (0, 84, 100, 20));

    const std::tuple<double, const char*, const char*> texts[] = {
        { 0.0, "-\xe2\x88\x9e dB", "0" }, { 127.0, "0.0 dB", "100" }, { 64.0, "-6.0 dB", "50" }, { 1.0, "-42.1 dB", "1" },
    };

    for (const auto& [value, faderText, knobText] : texts)
    {
        EXPECT_EQ (hoverText (*face.faderDacL, value), juce::String::fromUTF8 (faderText));
        EXPECT_EQ (hoverText (*face.knobMix, value), knobText);
    }

    face.faderAdcR->mouseEnter (pointerOver (*face.faderAdcR));
    EXPECT_EQ (face.faderAdcR->getLabel()->findColour (juce::Label::textColourId).getARGB(), 0xFF6DFF00u);
    EXPECT_EQ (face.faderAdcR->getLabel()->getFont().getTypefaceStyle(), "Bold");
}

TEST_F (PedalFace, AnUnknownParameterIdLeavesAControlUnboundAndHarmless)
{
    f.log.take();

    Fader fader;
    fader.init (Images::Slider_cap);
    fader.attachToParameter (f.store, "noSuchParameter");
    fader->setValue (100.0, juce::sendNotificationSync);

    LED light;
    light.init ({ Images::Status_Off, Images::Status_On });
    light.attachToParameter (f.store, "noSuchParameter");
    f.store.updateParameters();
    deliverPostedMessages();

    EXPECT_EQ (light->index, 0);
    EXPECT_EQ (light->getImage(), Images::Status_Off.getImage());
    EXPECT_EQ (f.log.take(), "");
}

TEST_F (PedalFace, MetersJumpToPeaksAndDecayWhileTheWindowHoldsTheHighest)
{
    const auto nan = std::numeric_limits<float>::quiet_NaN();
    const auto inf = std::numeric_limits<float>::infinity();

    struct Step
    {
        float left, right;
        float levelL, levelR;
        float latest, displayed;
    };

    const Step steps[] = {
        { 0.8f, -1.0f, 0.8f, 0.0f, 0.8f, 0.8f },
        { 0.5f, 0.2f, 0.48f, 0.2f, 0.5f, 0.8f },      // decay dips below the new lower peak
        { -1.0f, -1.0f, 0.288f, 0.12f, 0.5f, 0.8f },  // nothing new: both decay, window unchanged
        { nan, nan, 0.1728f, 0.072f, 0.5f, 0.8f },    // not a number counts as nothing new
        { 0.3f, 0.3f, 0.3f, 0.3f, 0.3f, 0.8f },
        { inf, 3.0f, 1.0f, 1.0f, 1.0f, 1.0f },        // above full scale reads as full scale
        { 0.0f, 0.0f, 0.6f, 0.6f, 0.0f, 1.0f },
    };

    for (const auto& step : steps)
    {
        pedal.setPeaks ({ step.left, step.right });
        SCOPED_TRACE (juce::String (step.left) + ", " + juce::String (step.right));
        EXPECT_NEAR (face.meterL->level, step.levelL, 1.0e-6f);
        EXPECT_NEAR (face.meterR->level, step.levelR, 1.0e-6f);
        EXPECT_FLOAT_EQ (face.meterWindow->latestPeak, step.latest);
        EXPECT_FLOAT_EQ (face.meterWindow->getDisplayedPeak(), step.displayed);
    }

    EXPECT_EQ (face.meterWindow->getText(), "0.0 dB");

    // The hold ends: the window falls back to the newest peak.
    face.meterWindow->timerCallback();
    EXPECT_EQ (face.meterWindow->getText(), "-inf dB");
}

// The framework's timer thread takes the same elapsed time off every timer and
// calls them in the order their periods run out, so a timer of the test's own
// marks a point of the window's hold however slowly the machine runs: a rise
// one second into a hold keeps the new maximum on display past the end of that
// hold, until two seconds after the rise.
TEST_F (PedalFace, ARiseRestartsTheWindowsTwoSecondHold)
{
    struct Mark : juce::Timer
    {
        explicit Mark (std::function<void()> f) : reached (std::move (f)) {}
        ~Mark() override { stopTimer(); }
        void timerCallback() override
        {
            stopTimer();
            reached();
        }
        std::function<void()> reached;
    };

    float shownPastFirstHold = -1.0f;
    Mark pastFirstHold ([&] { shownPastFirstHold = face.meterWindow->getDisplayedPeak(); });
    Mark oneSecondIn ([&]
    {
        // Started before the rise, so it comes first however late this runs.
        pastFirstHold.startTimer (MeterWindowComponent::holdMs + 300 - 1000);
        pedal.setPeaks ({ 0.9f, 0.9f });
        pedal.setPeaks ({ 0.2f, 0.2f });
    });

    oneSecondIn.startTimer (1000);
    pedal.setPeaks ({ 0.5f, 0.5f });
    pedal.setPeaks ({ 0.1f, 0.1f });

    ASSERT_TRUE (runLoopUntil ("a moment 300 ms past the end of the first hold", [&] { return shownPastFirstHold >= 0.0f; }));
    EXPECT_FLOAT_EQ (shownPastFirstHold, 0.9f);
    EXPECT_FLOAT_EQ (face.meterWindow->latestPeak, 0.2f);
}

TEST_F (PedalFace, MeterFeedTakesEachHeldPeakOnceAndFeedsTheLeftOneToBothInMono)
{
    EXPECT_EQ (MeterFeed::takePeaks (nullptr, ChannelSetting::stereo), std::make_pair (0.0f, 0.0f));

    // A client of a pedal whose audio device never opens.
    struct NoAudio final : PedalAudioBridge::Device
    {
        void applyParameters (PedalAudioBridge&, bool) override {}
        bool isAudioDeviceOpen() const override { return false; }
        int getDeliveredBlockSize() const override { return 0; }
    } noAudio;
    UsbDeviceClient client ("QZR-0001", noAudio, {});
    juce::AudioBuffer<float> block (2, 64);
    block.clear();
    block.setSample (0, 10, -0.5f);
    block.setSample (1, 20, 0.25f);

    client.getPeakDetector().update (block);
    EXPECT_EQ (MeterFeed::takePeaks (&client, ChannelSetting::stereo), std::make_pair (0.5f, 0.25f));
    EXPECT_EQ (MeterFeed::takePeaks (&client, ChannelSetting::stereo), std::make_pair (-1.0f, -1.0f));

    client.getPeakDetector().update (block);
    EXPECT_EQ (MeterFeed::takePeaks (&client, ChannelSetting::monoRight), std::make_pair (0.5f, 0.5f));

    pedal.setPeaks ({ 0.5f, 0.5f });
    pedal.setPeaks (MeterFeed::takePeaks (&client, ChannelSetting::monoRight));
    EXPECT_FLOAT_EQ (face.meterL->level, 0.3f);
    EXPECT_FLOAT_EQ (face.meterR->level, 0.3f);
}
