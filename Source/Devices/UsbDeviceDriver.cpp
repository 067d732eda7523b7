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

    // Only the primary client hears of the confirmed mode.
    if (controller != nullptr)
        if (auto* primary = controller->getPrimaryClient())
            primary->deviceConnected (getState());
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
        reopened = true;
        audioParametersApplied (nullptr);
    }
}

int UsbDeviceDriver::getEffectiveBlockSize() const
{
    if (const int setting = settings.blockSize.get(); setting > 0)
        return setting;

    if (controller != nullptr)
        if (auto* primary = controller->getPrimaryClient())
            return primary->getAudioSource().getPendingParameters().hostBlock;

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
            entry.client->getAudioSource().requestStart();

    audioDevice->start (this);
}

void UsbDeviceDriver::configureAudioDevice()
{
    if (audioDevice == nullptr)
        return;

    const int rate = sampleRate.load();
    const int blockSize = getEffectiveBlockSize();

    // Compared with what was asked for, not with a fallback the device took instead.
    if (audioDevice->isOpen() && rate == wantedRate && blockSize == wantedBlockSize)
    {
        if (! audioDevice->isPlaying())
            audioDevice->start (this);

        return;
    }

    audioDevice->close();
    wantedRate = rate;
    wantedBlockSize = blockSize;
    openAudioDevice (rate, blockSize);

    if (! audioDevice->isOpen())
        openAudioDevice (rate, fallbackBlockSize);

    if (audioDevice->isOpen())
    {
        reopened = true;
        audioDevice->start (this);
    }
}

void UsbDeviceDriver::audioParametersApplied (UsbDeviceClient* client)
{
    // After a reopen the device may deliver another block size: the other
    // bridges restart with it (they find the device as they want it now).
    if (std::exchange (reopened, false) && controller != nullptr && ! refreshingBridges)
    {
        const juce::ScopedValueSetter<bool> refreshing (refreshingBridges, true);
        const auto current = controller->getEntries();

        for (const auto& entry : current)
        {
            auto& bridge = entry.client->getAudioSource();
            if (entry.client != client && bridge.hasAppliedParameters())
                bridge.updateAudioParameters (bridge.getStreamingState() != AudioIODeviceSource::stopped);
        }
    }

    notifyLatencyChanged();
}

void UsbDeviceDriver::releaseAudio()
{
    // Deleting the device stops it, and stopping waits for its callback to return.
    audioDevice.reset();
    wantedRate = 0;
    wantedBlockSize = -1;
}

//==============================================================================
void UsbDeviceDriver::copySettingsTo (UsbDeviceClient& client)
{
    client.getAudioSource().setPendingSettings (settings.blockSize.get(), settings.inAdjust.get(),
                                                settings.outAdjust.get(), settings.extraLatency.get());
}

void UsbDeviceDriver::settingsChanged()
{
    if (controller == nullptr)
        return;

    const auto current = controller->getEntries();
    for (const auto& entry : current)
    {
        copySettingsTo (*entry.client);
        auto& bridge = entry.client->getAudioSource();
        bridge.updateAudioParametersWhenQuiet (bridge.getStreamingState() != AudioIODeviceSource::stopped);
    }

    notifyLatencyChanged();
}

int UsbDeviceDriver::computeLatency() const
{
    if (controller == nullptr)
        return 0;

    auto* primary = controller->getPrimaryClient();
    return primary != nullptr ? primary->getAudioSource().getLatencySamples() : 0;
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
                                                        const juce::AudioIODeviceCallbackContext&)
{
    const AudioThreadGuard::Scope inCallback (audioGuard);

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

    auto all = [&] (UsbDeviceClient* c) { c->audioDeviceIOCallback (inputs, numInputs, outputs, numOutputs, numSamples); };
    // A mono client gets the device channel of its side.
    auto one = [&] (UsbDeviceClient* c, ChannelSetting side)
    {
        const int channel = side == ChannelSetting::monoLeft ? 0 : 1;
        if (numInputs > channel && numOutputs > channel)
            c->audioDeviceIOCallback (inputs + channel, 1, outputs + channel, 1, numSamples);
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
