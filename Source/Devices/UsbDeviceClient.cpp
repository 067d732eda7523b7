#include "Devices/UsbDeviceClient.h"

UsbDeviceClient::UsbDeviceClient (const juce::String& pedalName, PedalAudioBridge::Device& pedalAudio,
                                  const PedalAudioBridge::Parameters& settings)
    : bridge (pedalAudio, settings), deviceName (pedalName)
{
}

UsbDeviceClient::~UsbDeviceClient()
{
    bridge.shutDown();
    listeners.clear();
}

void UsbDeviceClient::deviceConnected()
{
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
