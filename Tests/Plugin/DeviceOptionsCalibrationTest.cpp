#include "Components/Dialogs/PedalOptionsComponent.h"
#include "Support/DialogRig.h"
#include "Support/EditorRig.h"
#include "Support/ProcessorAudioRig.h"

#include <gtest/gtest.h>

// The device options dialog end to end: "Calibrate" for a pedal in Audio use
// reaches the emulated pedal, which asks for a measurement; the bridge
// measures the round trip, the pedal's "extraLatency" takes the result, the
// latency field shows it at once and the next refresh the new total.
TEST (DeviceOptionsCalibration, CalibrateMeasuresThePedalAndTheDialogShowsTheNewLatency)
{
    constexpr int roundTrip = 900, stale = 120;
    ProcessorAudioRig rig;
    rig.pedalAudio().setRoundTrip (roundTrip);
    rig.driver().getSettings().extraLatency.setValue (stale, nullptr);
    rig.prepare (256);
    rig.play ({}, {});
    auto& processor = rig.processor();
    OpenEditor editor (processor);

    ASSERT_TRUE (rig.attach (modeAudio));
    rig.pedalAudio().endCalibration();
    ASSERT_TRUE (rig.runUntilStreaming (processor.getUsbClient()));

    editor->alert_pedalOptions();
    auto* options = dynamic_cast<PedalOptionsComponent*> (editor->alertManager.alert.box.get());
    ASSERT_NE (options, nullptr);
    options->updateUI();
    const int before = processor.getLatencySamples();
    EXPECT_EQ (options->getLatencyEditor()->getText(), juce::String (stale));
    EXPECT_EQ (options->getTotalLatencyLabel()->getText(), juce::String (before));
    EXPECT_EQ (options->getHostBlockSizeLabel()->getText(), "256");

    // As the button's click reaches it.
    options->buttonClicked (findButton (*options, "Calibrate"));
    auto& controller = rig.device().getController();
    ASSERT_TRUE (rig.sim.runUntil ([&] { return controller.getCalibrationStatus() == UsbDeviceController::CalibrationStatus::measured; }, 3.0));

    const int measured = roundTrip - 32;
    EXPECT_EQ (rig.driver().getSettings().extraLatency.get(), measured);
    EXPECT_EQ (options->getLatencyEditor()->getText(), juce::String (measured));

    options->updateUI();
    EXPECT_EQ (processor.getLatencySamples(), before - stale + measured);
    EXPECT_EQ (options->getTotalLatencyLabel()->getText(), juce::String (before - stale + measured));
}
