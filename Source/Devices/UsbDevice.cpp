#include "UsbDevice.h"

UsbDevice::UsbDevice (const juce::String& deviceName, const juce::MidiDeviceInfo& inputPort,
                      const juce::MidiDeviceInfo& outputPort)
    : driver (deviceName, inputPort, outputPort), name (deviceName)
{
}

UsbDevice::~UsbDevice() = default;

juce::String UsbDevice::extractDeviceName (const juce::String& portName)
{
    const juce::String prefix (namePrefix);
    jassert (prefix.length() == 3);

    if (prefix.length() < 3)
        return {};

    const int start = portName.indexOfWholeWord (prefix);
    if (start < 0)
        return {};

    const auto candidate = portName.substring (start, start + nameLength);

    if (candidate.length() != nameLength || candidate[3] != '-'
        || ! candidate.substring (4).containsOnly ("0123456789ABCDEF"))
        return {};

    return candidate;
}
