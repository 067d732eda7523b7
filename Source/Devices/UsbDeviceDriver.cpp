#include "Devices/UsbDeviceDriver.h"

#include "Devices/Audio/AudioDeviceTypes.h"
#include "Devices/UsbDeviceController.h"
#include "Settings/SettingsIdentifiers.h"

#include <algorithm>
#include <optional>

namespace
{
// The System command that asks the pedal for a use; none for a use it cannot be asked for.
std::optional<uint8_t> requestFor (Mode mode) noexcept
{
    switch (mode)
    {
        case Mode::control:    return Sysex::ModeControl;
        case Mode::audio:      return Sysex::ModeAudio;
        case Mode::pedalboard: return Sysex::ModePedalboard;
        case Mode::none:       break;
    }

    return std::nullopt;
}

// The driver reaches a client's bridge only through what a device drives.
PedalAudioBridge& bridgeOf (UsbDeviceClient* client)
{
    return client->getAudioSource();
}
} // namespace

UsbDeviceDriver::UsbDeviceDriver (const juce::String& deviceName,
                                  const juce::MidiDeviceInfo& inputPort,
                                  const juce::MidiDeviceInfo& outputPort)
    : settingsTree (ID::DEVICE),
      settings (settingsTree),
      midiDevice (inputPort, outputPort),
      name (deviceName),
      deviceType (AudioDeviceTypes::create())
{
    settings.addListener (this);
    midiDevice.addListener (this);
}

UsbDeviceDriver::~UsbDeviceDriver()
{
    stopTimer (keepAliveTimerId);
    midiDevice.removeListener (this);
    settings.removeListener (this);
    releaseAudio();
}

void UsbDeviceDriver::sendSysExMessage (uint8_t group, uint8_t command, const void* payload, int length)
{
    midiDevice.sendMessageNow (Sysex::buildFrame (deviceId, group, slot, command, payload, length));
}

void UsbDeviceDriver::connect (Mode mode)
{
    if (! isRequestable (mode))
    {
        setState (Mode::none);
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

void UsbDeviceDriver::requestMode (Mode mode)
{
    if (const auto command = requestFor (mode))
        sendSysExMessage (Sysex::SystemGroup, *command, nullptr, 0);
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
    setState (Mode::none);
    deviceId = 0;
    watchdogCountdown = 0;
    stopTimer (keepAliveTimerId);
}

void UsbDeviceDriver::setState (Mode newState)
{
    state.store (newState, std::memory_order_release);
}

void UsbDeviceDriver::timerCallback (int timerId)
{
    if (timerId != keepAliveTimerId)
        return;

    if (getState() != Mode::none && deviceId != 0)
        sendSysExMessage (Sysex::SystemGroup, Sysex::KeepAlive, nullptr, 0);

    if (watchdogCountdown != 0 && --watchdogCountdown == 0)
    {
        setState (Mode::none);
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

void UsbDeviceDriver::takeModeReply (Mode newState, const SysexMessage& message)
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
            takeModeReply (Mode::audio, message);
            enableAudio();
            notifyConnected();
            notifyStatusChanged();
            break;

        case Sysex::ModeControl:
            takeModeReply (Mode::control, message);
            releaseAudio();
            notifyConnected();
            notifyStatusChanged();
            break;

        case Sysex::ModePedalboard:
            takeModeReply (Mode::pedalboard, message);
            enableAudio();
            notifyConnected();
            notifyStatusChanged();
            settings.extraLatency.setValue (0, nullptr);
            break;

        case Sysex::ModeOff:
            setState (Mode::none);
            releaseAudio();
            notifyStatusChanged();
            break;

        case Sysex::Calibrate:
            calibrateEveryClient();
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

    // Only the primary client hears of the confirmed mode. In Audio use it
    // first calibrates without a measured latency; with one, the pedal hears
    // that no calibration follows.
    auto* primary = controller != nullptr ? controller->getPrimaryClient() : nullptr;

    if (getState() == Mode::audio)
        calibration.audioConnected (primary != nullptr ? &primary->getAudioSource() : nullptr);

    if (primary != nullptr)
        primary->deviceConnected();
}

void UsbDeviceDriver::calibrateEveryClient()
{
    if (controller == nullptr)
        return;

    // A copy: a completion may change the entries on the way.
    const auto current = controller->getEntries();
    for (const auto& entry : current)
        calibration.start (entry.client->getAudioSource());
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

    wantedRate = sampleRate.load();
    wantedBlockSize = getEffectiveBlockSize();
    openAudioDevice (wantedRate, wantedBlockSize);
    startAudioDevice();

    // Every bridge sizes its rings for what the device really delivers.
    if (isAudioDeviceOpen())
    {
        prepareBridgesAgain (nullptr);
        notifyLatencyChanged();
    }
}

int UsbDeviceDriver::getEffectiveBlockSize() const
{
    if (const int setting = settings.blockSize.get(); setting > 0)
        return setting;

    if (controller != nullptr)
        if (auto* primary = controller->getPrimaryClient())
            return bridgeOf (primary).getPendingHostBlock();

    return 0;
}

int UsbDeviceDriver::getDeliveredBlockSize() const
{
    return isAudioDeviceOpen() ? audioDevice->getCurrentBufferSizeSamples() : 0;
}

void UsbDeviceDriver::openAudioDevice (int rate, int blockSize)
{
    if (audioDevice == nullptr)
        return;

    // The error text is not needed: whether the device is open says it all.
    audioDevice->open (juce::BigInteger (channelMask), juce::BigInteger (channelMask), (double) rate, blockSize);
}

void UsbDeviceDriver::startAudioDevice()
{
    if (audioDevice == nullptr)
        return;

    if (! audioDevice->isOpen())
        openAudioDevice (sampleRate.load(), fallbackBlockSize);

    if (! audioDevice->isOpen())
        return;

    if (controller != nullptr)
        for (const auto& entry : controller->getEntries())
            bridgeOf (entry.client).requestStart();

    audioDevice->start (this);
}

// Whether the device was opened anew.
bool UsbDeviceDriver::configureAudioDevice()
{
    if (audioDevice == nullptr)
        return false;

    const int rate = sampleRate.load();
    const int blockSize = getEffectiveBlockSize();

    // Compared with what was asked for, not with a fallback the device took instead.
    if (audioDevice->isOpen() && rate == wantedRate && blockSize == wantedBlockSize)
    {
        if (! audioDevice->isPlaying())
            audioDevice->start (this);

        return false;
    }

    audioDevice->close();
    wantedRate = rate;
    wantedBlockSize = blockSize;
    openAudioDevice (rate, blockSize);

    if (! audioDevice->isOpen())
        openAudioDevice (rate, fallbackBlockSize);

    if (! audioDevice->isOpen())
        return false;

    audioDevice->start (this);
    return true;
}

void UsbDeviceDriver::applyParameters (PedalAudioBridge& bridge, bool start)
{
    apply (bridge, start);
}

// The one way a bridge takes new parameters: stopped before the device may
// reopen under it, prepared with the device as it is then, streaming again as
// asked (or, without a start given, as it did).
void UsbDeviceDriver::apply (PedalAudioBridge& bridge, std::optional<bool> start)
{
    const bool wasStarted = bridge.stop();
    const bool reopened = configureAudioDevice();
    bridge.prepare (start.value_or (wasStarted));

    if (reopened)
        prepareBridgesAgain (&bridge);

    notifyLatencyChanged();
}

// A device opened anew may deliver another block size: every bridge that had
// parameters but the one just prepared restarts with it.
void UsbDeviceDriver::prepareBridgesAgain (const PedalAudioBridge* prepared)
{
    if (controller == nullptr)
        return;

    const auto current = controller->getEntries();
    for (const auto& entry : current)
    {
        auto& bridge = bridgeOf (entry.client);
        if (&bridge != prepared && bridge.hasAppliedParameters())
            bridge.prepare (bridge.stop());
    }
}

void UsbDeviceDriver::releaseAudio()
{
    // Deleting the device stops it, and stopping waits for its callback to return.
    audioDevice.reset();
    wantedRate = 0;
    wantedBlockSize = -1;
}

//==============================================================================
void UsbDeviceDriver::settingsChanged()
{
    if (controller == nullptr)
        return;

    const auto parameters = PedalAudioBridge::Parameters::of (settings);
    const auto current = controller->getEntries();

    for (const auto& entry : current)
        if (auto& bridge = bridgeOf (entry.client); bridge.parametersChanged (parameters))
            apply (bridge, std::nullopt);

    notifyLatencyChanged();
}

int UsbDeviceDriver::computeLatency() const
{
    if (controller == nullptr)
        return 0;

    auto* primary = controller->getPrimaryClient();
    return primary != nullptr ? bridgeOf (primary).getLatencySamples() : 0;
}

void UsbDeviceDriver::notifyLatencyChanged()
{
    // A bridge that takes its parameters while another has not yet (they take
    // them one after the other) is heard of now, the other when it has them.
    if (controller != nullptr)
    {
        const auto current = controller->getEntries();
        for (const auto& entry : current)
            if (isStillAttached (entry.client))
                entry.client->announceLatency();
    }

    latency = computeLatency();
}

//==============================================================================
void UsbDeviceDriver::audioDeviceIOCallbackWithContext (const float* const* inputs, int numInputs,
                                                        float* const* outputs, int numOutputs, int numSamples,
                                                        const juce::AudioIODeviceCallbackContext& context)
{
    const AudioThreadGuard::Scope inCallback (audioGuard);
    audioCallbacks.fetch_add (1, std::memory_order_relaxed);

    // Whatever no client writes stays silent, and a client that does not feed
    // the outputs never has to clear another's.
    for (int channel = 0; channel < numOutputs; ++channel)
        if (outputs[channel] != nullptr)
            juce::FloatVectorOperations::clear (outputs[channel], numSamples);

    const Mode mode = getState();

    if (controller == nullptr || (mode != Mode::audio && mode != Mode::pedalboard))
        return;

    const auto& entries = controller->getEntriesForAudio();
    const bool split = controller->isSplit();

    auto all = [&] (UsbDeviceClient* c)
    {
        bridgeOf (c).audioDeviceIOCallbackWithContext (inputs, numInputs, outputs, numOutputs, numSamples, context);
    };
    // A mono client gets the device channel of its side.
    auto one = [&] (UsbDeviceClient* c, ChannelSetting side)
    {
        const int channel = side == ChannelSetting::monoLeft ? 0 : 1;
        if (numInputs > channel && numOutputs > channel)
            bridgeOf (c).audioDeviceIOCallbackWithContext (inputs + channel, 1, outputs + channel, 1, numSamples, context);
    };

    if (mode == Mode::pedalboard)
    {
        for (const auto& entry : entries)
        {
            if (! split)
                all (entry.client);
            else if (entry.channel == ChannelSetting::monoLeft || entry.channel == ChannelSetting::monoRight)
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

    for (auto side : { ChannelSetting::monoLeft, ChannelSetting::monoRight })
    {
        for (const auto& entry : entries)
        {
            if (entry.channel == side)
            {
                one (entry.client, side);
                break;
            }
        }
    }
}
