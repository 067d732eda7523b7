#include "UsbDeviceDriver.h"

#include "Utilities/Identifiers.h"

UsbDeviceDriver::UsbDeviceDriver (const juce::String& deviceName,
                                  const juce::MidiDeviceInfo& inputPort,
                                  const juce::MidiDeviceInfo& outputPort)
    : settingsTree (ID::DEVICE),
      settings (settingsTree),
      midiDevice (inputPort, outputPort),
      name (deviceName)
{
    settings.addListener (this);
    midiDevice.addListener (this);
}

UsbDeviceDriver::~UsbDeviceDriver()
{
    stopTimer (keepAliveTimerId);
    midiDevice.removeListener (this);
    settings.removeListener (this);
    audioDevice.reset();
}

void UsbDeviceDriver::sendSysExMessage (uint8_t group, uint8_t command, const void* payload, int length)
{
    midiDevice.sendMessageNow (Sysex::buildFrame (deviceId, group, slot, command, payload, length));
}

void UsbDeviceDriver::connect (int mode)
{
    if (mode < modeControl || mode > modePedalboard)
    {
        setState (modeNone);
        return;
    }

    setState (mode);
    slot = 0;

    if (deviceId == 0)
        watchdogCountdown = watchdogReload;

    midiDevice.open();

    static constexpr uint8_t requests[] = { 0, Sysex::ModeControl, Sysex::ModeAudio, Sysex::ModePedalboard };
    sendSysExMessage (Sysex::SystemGroup, requests[mode], nullptr, 0);

    startTimer (keepAliveTimerId, keepAliveIntervalMs);
}

void UsbDeviceDriver::disconnect()
{
    sendSysExMessage (Sysex::SystemGroup, Sysex::Release, nullptr, 0);
    forgetConnection();
}

void UsbDeviceDriver::forgetConnection()
{
    midiDevice.close();
    audioDevice.reset();
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
        const auto sysex = SysexMessage::parse (message);

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
    }

    for (int i = listeners.size(); --i >= 0;)
        if (auto* listener = listeners[i])
            listener->incomingMidiMessage (this, message);
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
            notifyConnected();
            notifyStatusChanged();
            break;

        case Sysex::ModeControl:
            takeModeReply (modeControl, message);
            audioDevice.reset();
            notifyConnected();
            notifyStatusChanged();
            break;

        case Sysex::ModePedalboard:
            takeModeReply (modePedalboard, message);
            notifyConnected();
            notifyStatusChanged();
            settings.extraLatency.setValue (0, nullptr);
            break;

        case Sysex::ModeOff:
            setState (modeNone);
            audioDevice.reset();
            notifyStatusChanged();
            break;

        default:
            break;
    }
}

void UsbDeviceDriver::notifyStatusChanged()
{
    for (int i = listeners.size(); --i >= 0;)
        if (auto* listener = listeners[i])
            listener->deviceStatusChanged (this);
}

void UsbDeviceDriver::notifyConnected()
{
    for (int i = listeners.size(); --i >= 0;)
        if (auto* listener = listeners[i])
            listener->deviceConnected (this);
}

void UsbDeviceDriver::settingsChanged()
{
}

void UsbDeviceDriver::audioDeviceIOCallbackWithContext (const float* const*, int, float* const* outputs,
                                                        int numOutputs, int numSamples,
                                                        const juce::AudioIODeviceCallbackContext&)
{
    for (int i = 0; i < numOutputs; ++i)
        if (outputs[i] != nullptr)
            juce::FloatVectorOperations::clear (outputs[i], numSamples);
}
