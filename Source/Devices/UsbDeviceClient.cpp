#include "Devices/UsbDeviceClient.h"

void UsbDeviceClient::addListener (ClientListener* listener)
{
    jassert (listener != nullptr);
    if (listener != nullptr)
        listeners.add (listener);
}

void UsbDeviceClient::deviceConnected (int)
{
    listeners.call ([] (ClientListener& l) { l.deviceConnected(); });
}

void UsbDeviceClient::deliverMessage (SysexMessage& message)
{
    listeners.call ([&message] (ClientListener& l) { l.incomingMidiMessage (message); });
}

void UsbDeviceClient::deliverLatency (int latencySamples)
{
    listeners.call ([latencySamples] (ClientListener& l) { l.latencyChanged (latencySamples); });
}

void UsbDeviceClient::getNextAudioBlock (const juce::AudioSourceChannelInfo& info)
{
    if (info.buffer != nullptr)
        peakDetector.update (*info.buffer);
}

void UsbDeviceClient::audioDeviceIOCallback (const float* const*, int, float* const* outputs, int numOutputs,
                                             int numSamples) noexcept
{
    for (int i = 0; i < numOutputs; ++i)
        if (outputs[i] != nullptr)
            juce::FloatVectorOperations::clear (outputs[i], numSamples);
}
