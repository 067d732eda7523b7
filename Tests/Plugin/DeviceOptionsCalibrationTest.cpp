#include "Components/Dialogs/PedalOptionsComponent.h"
#include "Support/DialogRig.h"
#include "Support/EditorRig.h"
#include "Support/Found.h"
#include "Support/LogLines.h"
#include "Support/MessageLoop.h"
#include "Support/ProcessorAudioRig.h"

#include <gtest/gtest.h>

namespace
{
// The device options end to end: processors and the editor of the last one
// beside the emulated pedal in co-simulation, the pedal attached in Audio use
// by each with a stale extra latency and streaming, and the dialog opened by
// the editor.
struct DeviceOptionsThroughTheProcessor : ::testing::Test
{
    static constexpr int roundTrip = 900, stale = 120;

    explicit DeviceOptionsThroughTheProcessor (int count = 1) : instances (count), rig (count), processor (rig.processor (count - 1))
    {
        rig.pedalAudio().setRoundTrip (roundTrip);
        rig.driver().getSettings().extraLatency.setValue (stale, nullptr);
        rig.prepare (256);
        rig.play ({}, {});
    }

    // Alone an instance uses the pedal in stereo; two take a channel each.
    PedalOptionsComponent& open()
    {
        for (int i = 0; i < instances; ++i)
            EXPECT_TRUE (rig.attach (Mode::audio, instances == 1 ? ChannelSetting::stereo : i == 0 ? ChannelSetting::monoLeft : ChannelSetting::monoRight,
                                     PedalModeConfig::none, i));
        EXPECT_TRUE (rig.runUntilStreaming (processor.getUsbClient()));

        editor->alert_pedalOptions();
        return found (dialogOf<PedalOptionsComponent> (*editor), "the device options dialog");
    }

    // One 250 ms refresh, as the dialog's timer makes it.
    static void refresh (PedalOptionsComponent& options) { options.timerCallback (PedalOptionsComponent::refreshTimerId); }

    static juce::String shown (PedalOptionsComponent& options)
    {
        return options.findComboBox ("blockSize")->getText() + ", " + options.findComboBox ("outAdjust")->getText() + ", "
             + options.findComboBox ("inAdjust")->getText() + ", " + options.getLatencyEditor()->getText() + ", host "
             + options.getHostBlockSizeLabel()->getText() + ", total " + options.getTotalLatencyLabel()->getText();
    }

    DeviceSettings& settings() { return rig.driver().getSettings(); }

    void followChangesMadeElsewhere();

    const int instances;
    ProcessorAudioRig rig;
    VelmoraAudioProcessor& processor;
    OpenEditor editor { processor };
};

// The dialog of an instance that shares the pedal with another, which attached
// first: the pedal's driver announces the first instance's latency only.
struct DeviceOptionsBesideAnotherInstance : DeviceOptionsThroughTheProcessor
{
    DeviceOptionsBesideAnotherInstance() : DeviceOptionsThroughTheProcessor (2) {}
};
} // namespace

// "Calibrate" reaches the emulated pedal, which asks for a measurement. When
// the round trip comes back, the pedal's "extraLatency" takes it, the field
// shows it at once and the next refresh the new total. When nothing comes back
// nothing is stored: the dialog says the calibration failed until the next
// one, and one line goes to the log.
TEST_F (DeviceOptionsThroughTheProcessor, CalibrateStoresTheMeasuredLatencyOrSaysThatItFailed)
{
    const auto failureLine = "Pellion: the latency calibration of " + juce::String (LinkRig::pedalName)
                           + " heard nothing come back and timed out; the extra latency stays " + juce::String (stale) + ".";
    const struct
    {
        const char* what;
        float returnGain;
        LatencyCalibration::Status ending;
        int stored;
        const char* message;
        juce::StringArray logged;
    } cases[] = {
        { "the round trip comes back", 1.0f, LatencyCalibration::Status::measured, roundTrip - 32,
          PedalOptionsComponent::askingText, {} },
        { "nothing comes back", 0.0f, LatencyCalibration::Status::timedOut, stale,
          PedalOptionsComponent::calibrationFailedText, { failureLine } },
    };

    auto& options = open();
    refresh (options);
    const int before = processor.getLatencySamples();
    EXPECT_EQ (shown (options), "Same As Host, Medium, Small, 120, host 256, total " + juce::String (before));
    EXPECT_EQ (options.getMessage(), PedalOptionsComponent::askingText);
    auto& calibration = rig.driver().getCalibration();

    for (const auto& c : cases)
    {
        SCOPED_TRACE (c.what);
        settings().extraLatency.setValue (stale, nullptr);
        for (int channel = 0; channel < EmulatedPedalAudio::numChannels; ++channel)
            rig.pedalAudio().setGain (channel, c.returnGain);
        LogLines log;

        // As the button's click reaches it.
        options.buttonClicked (findButton (options, "Calibrate"));
        ASSERT_TRUE (rig.sim.runUntil ([&] { return calibration.getStatus() == c.ending; }, 3.0));
        EXPECT_EQ (settings().extraLatency.get(), c.stored);
        EXPECT_EQ (options.getLatencyEditor()->getText(), juce::String (c.stored));

        refresh (options);
        EXPECT_EQ (options.getMessage(), c.message);
        EXPECT_EQ (processor.getLatencySamples(), before - stale + c.stored);
        EXPECT_EQ (options.getTotalLatencyLabel()->getText(), juce::String (before - stale + c.stored));
        EXPECT_EQ (log.lines, c.logged);
    }
    saveSnapshot (options, "device-options-calibration-failed");

    // The next calibration clears the failure as soon as it runs.
    for (int channel = 0; channel < EmulatedPedalAudio::numChannels; ++channel)
        rig.pedalAudio().setGain (channel, 1.0f);
    options.buttonClicked (findButton (options, "Calibrate"));
    ASSERT_TRUE (rig.sim.runUntil ([&] { return calibration.getStatus() != LatencyCalibration::Status::timedOut; }, 3.0));
    refresh (options);
    EXPECT_EQ (options.getMessage(), PedalOptionsComponent::askingText);
}

// Settings changed elsewhere (another instance's dialog, a calibration, a
// settings file) show in every control at once; the host's block size and the
// total follow within one refresh, and the total is always the latency the
// host is told. A latency being typed keeps its text until it is committed.
TEST_F (DeviceOptionsThroughTheProcessor, TheDialogFollowsChangesMadeElsewhereAndShowsTheLatencyTheHostIsTold)
{
    followChangesMadeElsewhere();
}

// The driver announces the first instance's latency, which this one's does not
// always change with: the refresh still shows this instance's, as its host is told.
TEST_F (DeviceOptionsBesideAnotherInstance, TheDialogFollowsChangesMadeElsewhereAndShowsTheLatencyTheHostIsTold)
{
    followChangesMadeElsewhere();
}

void DeviceOptionsThroughTheProcessor::followChangesMadeElsewhere()
{
    auto& options = open();
    refresh (options);
    auto& field = *options.getLatencyEditor();
    const auto total = [this] { return ", total " + juce::String (processor.getLatencySamples()); };

    const struct
    {
        const char* what;
        std::function<void()> change;
        juce::String shown; // without the total
    } steps[] = {
        { "the block size", [this] { settings().blockSize.setValue (512, nullptr); }, "512 samples, Medium, Small, 120, host 256" },
        { "the output buffer", [this] { settings().outAdjust.setValue (2, nullptr); }, "512 samples, Large, Small, 120, host 256" },
        { "the input buffer", [this] { settings().inAdjust.setValue (1, nullptr); }, "512 samples, Large, Medium, 120, host 256" },
        { "the extra latency", [this] { settings().extraLatency.setValue (300, nullptr); }, "512 samples, Large, Medium, 300, host 256" },
        { "the host's block size", [this] { processor.prepareToPlay (ProcessorAudioRig::sampleRate, 1024); },
          "512 samples, Large, Medium, 300, host 1024" },
    };

    for (const auto& step : steps)
    {
        SCOPED_TRACE (step.what);
        const int before = processor.getLatencySamples();
        step.change();
        refresh (options);
        EXPECT_EQ (shown (options), step.shown + total());
        if (juce::String (step.what) == "the extra latency")
            EXPECT_EQ (processor.getLatencySamples(), before + 180);
        else
            EXPECT_NE (processor.getLatencySamples(), before);
    }
    if (instances == 1)
    {
        editor->timerCallback (VelmoraAudioProcessorEditor::meterTimerId); // the lights, as they are lit
        saveSnapshot (*editor, "device-options-in-editor");
    }

    // Typing: the field keeps its text while the latency changes elsewhere, and shows what is stored once committed.
    field.selectAll();
    field.insertTextAtCaret ("12");
    deliverPostedMessages();
    ASSERT_EQ (settings().extraLatency.get(), 12);
    settings().extraLatency.setValue (400, nullptr);
    settings().outAdjust.setValue (0, nullptr);
    refresh (options);
    EXPECT_EQ (shown (options), "512 samples, Small, Medium, 12, host 1024" + total());
    field.keyPressed (juce::KeyPress (juce::KeyPress::returnKey));
    deliverPostedMessages();
    EXPECT_EQ (shown (options), "512 samples, Small, Medium, 400, host 1024" + total());
}
