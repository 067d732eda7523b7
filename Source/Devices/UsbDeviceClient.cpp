#include "Devices/UsbDeviceClient.h"

void UsbDeviceClient::deviceConnected()
{
    listeners.call ([] (ClientListener& l) { l.deviceConnected(); });
}

void UsbDeviceClient::deliverMessage (SysexMessage& message)
{
    listeners.call ([&message] (ClientListener& l) { l.incomingMidiMessage (message); });
}

void UsbDeviceClient::setPedalboardLeg (int leg) noexcept
{
    jassert (isPedalboardLeg (leg));
    pedalboardLeg.store (isPedalboardLeg (leg) ? leg : pedalboardNone);
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
