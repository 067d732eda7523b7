#include "Devices/UsbDevice.h"

#include <algorithm>

UsbDevice::UsbDevice (const juce::String& deviceName, const juce::MidiDeviceInfo& inputPort,
                      const juce::MidiDeviceInfo& outputPort, RetiredObjects& retiredObjects)
    : retired (retiredObjects),
      driver (deviceName, inputPort, outputPort),
      controller (driver, retiredObjects),
      name (deviceName)
{
    driver.setController (&controller);
}

UsbDevice::~UsbDevice()
{
    // The audio device stops before the clients it feeds go away.
    driver.releaseAudio();
    driver.setController (nullptr);
}

UsbDeviceClient* UsbDevice::addClient (ChannelSetting channel, PedalModeConfig leg)
{
    clients.push_back (std::make_unique<UsbDeviceClient> (name, driver, PedalAudioBridge::Parameters::of (driver.getSettings())));
    auto* client = clients.back().get();
    client->setController (&controller);
    controller.addClient (client, channel, leg);
    return client;
}

void UsbDevice::removeClient (UsbDeviceClient* client)
{
    jassert (clients.size() <= (size_t) UsbDeviceController::maximumClients);

    auto found = std::find_if (clients.begin(), clients.end(), [client] (const auto& c) { return c.get() == client; });
    if (found == clients.end())
        return;

    controller.removeClient (client);

    // Its timers and calibration end now, and its bridge asks nothing more of
    // the pedal's device; the audio threads may still pass through it until it
    // is deleted, but it reaches nothing of the pedal.
    client->getAudioSource().shutDown();
    client->setController (nullptr);

    auto detached = std::move (*found);
    clients.erase (found);
    retired.retire (std::move (detached));
}

juce::String UsbDevice::extractDeviceName (const juce::String& portName)
{
    const juce::String prefix (namePrefix);
    jassert (prefix.length() == 3);

    if (prefix.length() < 3)
        return {};

    const int start = portName.indexOfWholeWord (prefix);
    if (start < 0)
        return {};

    auto candidate = portName.substring (start, start + nameLength);

    if (candidate.length() != nameLength || candidate[3] != '-'
        || ! candidate.substring (4).containsOnly ("0123456789ABCDEF"))
        return {};

    return candidate;
}
