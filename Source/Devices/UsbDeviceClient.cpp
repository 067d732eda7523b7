#include "Devices/UsbDeviceClient.h"

#include "Devices/UsbDeviceController.h"
#include "Devices/UsbDeviceDriver.h"

UsbDeviceClient::UsbDeviceClient (const juce::String& pedalName) : bridge (*this), deviceName (pedalName)
{
}

UsbDeviceClient::~UsbDeviceClient()
{
    bridge.shutDown();
    listeners.clear();
}

void UsbDeviceClient::deviceConnected (Mode mode)
{
    if (auto* c = getController(); c != nullptr && mode == Mode::audio && bridge.getPendingParameters().extraLatency == 0)
        c->getDriver().getCalibration().start (bridge);

    listeners.call ([] (ClientListener& l) { l.deviceConnected(); });
}

void UsbDeviceClient::deliverMessage (SysexMessage& message)
{
    listeners.call ([&message] (ClientListener& l) { l.incomingMidiMessage (message); });
}

void UsbDeviceClient::announceLatency()
{
    const int figure = bridge.getLatencySamples();

    if (figure <= 0 || figure == announcedLatency)
        return;

    announcedLatency = figure;
    listeners.call ([figure] (ClientListener& l) { l.latencyChanged (figure); });
}

void UsbDeviceClient::getNextAudioBlock (const juce::AudioSourceChannelInfo& info)
{
    bridge.getNextAudioBlock (info);

    // The meters show what came back from the pedal.
    if (info.buffer != nullptr)
        peakDetector.update (*info.buffer);
}

void UsbDeviceClient::audioDeviceIOCallback (const float* const* inputs, int numInputs, float* const* outputs,
                                             int numOutputs, int numSamples) noexcept
{
    bridge.audioDeviceIOCallbackWithContext (inputs, numInputs, outputs, numOutputs, numSamples, {});
}

void UsbDeviceClient::configureAudioDevice()
{
    if (auto* c = getController())
        c->getDriver().configureAudioDevice();
}

bool UsbDeviceClient::isAudioDeviceOpen() const
{
    auto* c = getController();
    return c != nullptr && c->getDriver().isAudioDeviceOpen();
}

int UsbDeviceClient::getDeliveredBlockSize() const
{
    auto* c = getController();
    return c != nullptr ? c->getDriver().getDeliveredBlockSize() : 0;
}

void UsbDeviceClient::audioParametersApplied (AudioIODeviceSource&)
{
    if (auto* c = getController())
        c->getDriver().audioParametersApplied (this);
}
