#include "Devices/UsbDeviceDriver.h"

#include "Devices/Audio/AudioDeviceTypes.h"
#include "Devices/UsbDeviceController.h"
#include "Settings/SettingsIdentifiers.h"

#include <algorithm>

UsbDeviceDriver::UsbDeviceDriver (const juce::String& deviceName,
                                  const juce::MidiDeviceInfo& inputPort,
                                  const juce::MidiDeviceInfo& outputPort)
    : settingsTree (ID::DEVICE),
      settings (settingsTree),
      midiDevice (inputPort, outputPort),
      name (deviceName),
      deviceType (AudioDeviceTypes::create())
{
    midiDevice.addListener (this);
}

UsbDeviceDriver::~UsbDeviceDriver()
{
    stopTimer (keepAliveTimerId);
    midiDevice.removeListener (this);
    releaseAudio();
}

void UsbDeviceDriver::sendSysExMessage (uint8_t group, uint8_t command, const void* payload, int length)
{
    midiDevice.sendMessageNow (Sysex::buildFrame (deviceId, group, slot, command, payload, length));
}

void UsbDeviceDriver::connect (int mode)
{
    if (! isRequestableMode (mode))
    {
        setState (modeNone);
        return;
    }

    setState (mode);
    slot = 0;

    if (deviceId == 0)
        watchdogCountdown = watchdogReload;

    midiDevice.open();

    requestMode (mode);
    startTimer (keepAliveTimerId, keepAliveIntervalMs);
}

void UsbDeviceDriver::requestMode (int mode)
{
    static constexpr uint8_t requests[] = { 0, Sysex::ModeControl, Sysex::ModeAudio, Sysex::ModePedalboard };

    if (isRequestableMode (mode))
        sendSysExMessage (Sysex::SystemGroup, requests[mode], nullptr, 0);
}

void UsbDeviceDriver::disconnect()
{
    sendSysExMessage (Sysex::SystemGroup, Sysex::Release, nullptr, 0);
    forgetConnection();
}

void UsbDeviceDriver::forgetConnection()
{
    midiDevice.close();
    releaseAudio();
    setState (modeNone);
    deviceId = 0;
    watchdogCountdown = 0;
    stopTimer (keepAliveTimerId);
}

void UsbDeviceDriver::setState (int newState)
{
    state.store (newState, std::memory_order_release);
}

void UsbDeviceDriver::timerCallback (int timerId)
{
    if (timerId != keepAliveTimerId)
        return;

    if (getState() != modeNone && deviceId != 0)
        sendSysExMessage (Sysex::SystemGroup, Sysex::KeepAlive, nullptr, 0);

    if (watchdogCountdown != 0 && --watchdogCountdown == 0)
    {
        setState (modeNone);
        notifyStatusChanged();
    }
}

void UsbDeviceDriver::incomingMidiMessage (MidiDevice* device, const juce::MidiMessage& message)
{
    jassert (device == &midiDevice);

    if (message.getRawDataSize() > 0 && message.getRawData()[0] == 0xF0)
    {
        auto sysex = SysexMessage::parse (message);

        if (! sysex.valid)
            return;

        if (sysex.deviceId == 0 || sysex.deviceId != deviceId)
        {
            if (sysex.group == Sysex::SystemGroup && sysex.command == Sysex::Announce
                && sysex.deviceId != 0 && deviceId == 0)
            {
                deviceId = sysex.deviceId;
                watchdogCountdown = watchdogReload;
            }

            return;
        }

        if (watchdogCountdown != 0)
            watchdogCountdown = watchdogReload;

        if (sysex.group == Sysex::SystemGroup)
            handleSystemMessage (sysex);

        // A listener may detach its client on the way: walk a copy of the list.
        if (controller != nullptr)
        {
            const auto entries = controller->getEntries();
            for (const auto& entry : entries)
                if (isStillAttached (entry.client))
                    entry.client->deliverMessage (sysex);
        }
    }

    listeners.call ([this, &message] (Listener& l) { l.incomingMidiMessage (this, message); });
}

void UsbDeviceDriver::takeModeReply (int newState, const SysexMessage& message)
{
    setState (newState);
    slot = message.slot;

    // A reply too short to carry a version keeps the one we had.
    const auto version = message.getFirmwareVersion();
    if (version >= 0)
        firmwareVersion = version;
}

void UsbDeviceDriver::handleSystemMessage (const SysexMessage& message)
{
    switch (message.command)
    {
        case Sysex::ModeAudio:
            takeModeReply (modeAudio, message);
            enableAudio();
            notifyConnected();
            notifyStatusChanged();
            break;

        case Sysex::ModeControl:
            takeModeReply (modeControl, message);
            releaseAudio();
            notifyConnected();
            notifyStatusChanged();
            break;

        case Sysex::ModePedalboard:
            takeModeReply (modePedalboard, message);
            enableAudio();
            notifyConnected();
            notifyStatusChanged();
            settings.extraLatency.setValue (0, nullptr);
            break;

        case Sysex::ModeOff:
            setState (modeNone);
            releaseAudio();
            notifyStatusChanged();
            break;

        default:
            break;
    }
}

void UsbDeviceDriver::notifyStatusChanged()
{
    listeners.call ([this] (Listener& l) { l.deviceStatusChanged (this); });
}

void UsbDeviceDriver::notifyConnected()
{
    listeners.call ([this] (Listener& l) { l.deviceConnected (this); });

    // Only the primary client hears of the confirmed mode.
    if (controller != nullptr && ! controller->getEntries().empty())
        controller->getEntries().front().client->deviceConnected();
}

bool UsbDeviceDriver::isStillAttached (UsbDeviceClient* client) const
{
    const auto& entries = controller->getEntries();
    return std::any_of (entries.begin(), entries.end(), [client] (const auto& e) { return e.client == client; });
}

void UsbDeviceDriver::enableAudio()
{
    if (audioDevice != nullptr || deviceType == nullptr)
        return;

    deviceType->scanForDevices();
    audioDevice.reset (deviceType->createDevice (name, name));

    if (audioDevice == nullptr)
        return;

    openAudioDevice (sampleRate, settings.blockSize.get());
    startAudioDevice();
}

void UsbDeviceDriver::openAudioDevice (int rate, int blockSize)
{
    if (audioDevice == nullptr)
        return;

    audioDevice->open (juce::BigInteger (channelMask), juce::BigInteger (channelMask), (double) rate, blockSize);
}

void UsbDeviceDriver::startAudioDevice()
{
    if (audioDevice == nullptr)
        return;

    if (! audioDevice->isOpen())
        openAudioDevice (sampleRate, fallbackBlockSize);

    if (audioDevice->isOpen())
        audioDevice->start (this);
}

void UsbDeviceDriver::releaseAudio()
{
    // Deleting the device stops it, and stopping waits for its callback to return.
    audioDevice.reset();
}

void UsbDeviceDriver::audioDeviceIOCallbackWithContext (const float* const* inputs, int numInputs,
                                                        float* const* outputs, int numOutputs, int numSamples,
                                                        const juce::AudioIODeviceCallbackContext&)
{
    const AudioThreadGuard::Scope inCallback (audioGuard);
    const int mode = getState();

    if (controller == nullptr || (mode != modeAudio && mode != modePedalboard))
        return;

    const auto& entries = controller->getEntriesForAudio();
    const bool split = controller->isSplit();

    auto all = [&] (UsbDeviceClient* c) { c->audioDeviceIOCallback (inputs, numInputs, outputs, numOutputs, numSamples); };
    auto one = [&] (UsbDeviceClient* c, int channel)
    {
        if (numInputs > channel && numOutputs > channel)
            c->audioDeviceIOCallback (inputs + channel, 1, outputs + channel, 1, numSamples);
    };

    if (mode == modePedalboard)
    {
        for (const auto& entry : entries)
        {
            if (! split)
                all (entry.client);
            else if (entry.channel == channelMonoLeft || entry.channel == channelMonoRight)
                one (entry.client, entry.channel);
        }

        return;
    }

    if (! split)
    {
        if (! entries.empty())
            all (entries.front().client);

        return;
    }

    for (int channel : { (int) channelMonoLeft, (int) channelMonoRight })
    {
        for (const auto& entry : entries)
        {
            if (entry.channel == channel)
            {
                one (entry.client, channel);
                break;
            }
        }
    }
}
