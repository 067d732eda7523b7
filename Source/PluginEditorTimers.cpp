// The editor's timers: meters and lights, the update notice, the device options prompt.
#include "PluginEditor.h"

#include "Components/Dialogs/PedalOptionsComponent.h"
#include "Components/Face/MeterFeed.h"
#include "Devices/Midi/SysexMessage.h"
#include "PluginProcessor.h"

namespace
{
juce::String noticeText (int status)
{
    switch (status)
    {
        case VersionQuery::queryFirmwareRequired:  return "Firmware Update\nRequired...";
        case VersionQuery::queryFirmwareAvailable: return "Firmware Update\nAvailable...";
        case VersionQuery::queryPluginAvailable:   return "Plugin Update\nAvailable...";
        default:                                   return {};
    }
}

// The extra latency a client's audio bridge works with now.
int appliedExtraLatency (UsbDeviceClient& client)
{
    return client.getAudioSource().getAppliedParameters().extraLatency;
}
} // namespace

void VelmoraAudioProcessorEditor::timerCallback (int timerId)
{
    if (timerId == meterTimerId)
        updateMetersAndLights();
    else if (timerId == updateNoticeTimerId)
        updateNotice();
    else if (timerId == optionsPromptTimerId)
        promptForDeviceOptions();

    if (timerId != meterTimerId && timerId != updateNoticeTimerId)
        updateIndicators();
}

void VelmoraAudioProcessorEditor::updateMetersAndLights()
{
    // In mono the pedal's first channel feeds both meters.
    pedalComponent->setPeaks (MeterFeed::takePeaks (processor.getUsbClient(), processor.getChannelSetting()));
    updateIndicators();
    followProcessor();
}

void VelmoraAudioProcessorEditor::updateIndicators()
{
    pedalComponent->showIndicators ((juce::uint8) processor.getLedState());

    auto connection = Mode::none;
    if (auto* device = processor.getDevice())
        connection = device->getDriver().getState();

    pedalComponent->showConnection (connection);
}

void VelmoraAudioProcessorEditor::updateNotice()
{
    auto* device = processor.getDevice();
    const int firmware = device != nullptr ? device->getDriver().getFirmwareVersion() : 0;
    const auto status = processor.getOnlineUpdater().getResult (VersionNumber ((juce::uint32) firmware)).status;
    const auto text = noticeText (status);

    if (text.isNotEmpty() && text != updateNoticeButton.getButtonText())
    {
        updateNoticeButton.setButtonText (text);
        updateNoticeButton.repaint();
    }

    updateNoticeButton.setVisible (text.isNotEmpty());
}

//==============================================================================
bool VelmoraAudioProcessorEditor::needsCalibration (UsbDevice& pedal) const
{
    if (pedal.getDriver().getState() != Mode::audio)
        return false;

    bool clientWithoutLatency = false;
    for (const auto& entry : pedal.getController().getEntries())
        if (entry.client != nullptr && appliedExtraLatency (*entry.client) == 0)
            clientWithoutLatency = true;

    return clientWithoutLatency && pedal.getDriver().getSettings().extraLatency.get() == 0;
}

// Once per editor, and never over a flash, whichever instance runs it: while
// one runs the prompt waits.
void VelmoraAudioProcessorEditor::promptForDeviceOptions()
{
    auto* device = processor.getDevice();
    if (device == nullptr || ! needsCalibration (*device) || alertManager.isPedalFlashing())
        return;

    stopTimer (optionsPromptTimerId);
    alert_pedalOptions();
}

void VelmoraAudioProcessorEditor::alert_pedalOptions()
{
    auto* device = processor.getDevice();
    if (device == nullptr)
        return;

    alertManager.alert_pedalOptions (device->getDriver().getSettingsTree(), needsCalibration (*device),
                                     [this] (int code, juce::ValueTree& tree) { pedalOptionsCallback (code, tree); });
}

void VelmoraAudioProcessorEditor::pedalOptionsCallback (int code, juce::ValueTree& tree)
{
    if (code == PedalOptionsComponent::refresh)
    {
        // The total is the latency the host is told, brought up to date first,
        // so that every refresh shows the latest change.
        processor.followLatency();
        tree.setProperty ("hostBlockSize", processor.getHostBlockSize(), nullptr);
        tree.setProperty ("totalLatency", processor.getLatencySamples(), nullptr);

        auto* device = processor.getDevice();
        const bool failed = device != nullptr
                            && device->getDriver().getCalibration().getStatus() == LatencyCalibration::Status::timedOut;
        tree.setProperty ("calibrationFailed", failed, nullptr);
        return;
    }

    if (code != PedalOptionsComponent::calibrate)
        return;

    // A calibration request; a pedalboard leg is not calibrated from here.
    auto* device = processor.getDevice();
    if (device == nullptr || device->getDriver().getState() == Mode::pedalboard)
        return;

    const uint8_t start = 1;
    device->getDriver().sendSysExMessage (Sysex::SystemGroup, Sysex::Calibrate, &start, 1);
}
