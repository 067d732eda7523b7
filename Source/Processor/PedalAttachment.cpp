#include "Processor/PedalAttachment.h"

#include "Utilities/AudioThreadGuard.h"

#include <algorithm>

static_assert (PRESET::recordSize == Sysex::recordPayload);

namespace
{
// A switch goes to the pedal as 64 or 0, anything else as its 7-bit value.
int encodeForPedal (const AudioValueTreeState::Parameter& parameter, int value)
{
    return parameter.isBoolean() ? (value != 0 ? 64 : 0) : (value & 0x7F);
}

int decodeFromPedal (const AudioValueTreeState::Parameter& parameter, int received)
{
    return parameter.isBoolean() ? (received != 0 ? 1 : 0) : (received & 0x7F);
}
} // namespace

PedalAttachment::PedalAttachment (Owner& ownerToTell, AudioValueTreeState& parameterStore,
                                  UsbBaseDeviceManager<UsbDevice>& pedalManager, PedalRoute& routeToPublish)
    : owner (ownerToTell), store (parameterStore), pedals (pedalManager), route (routeToPublish),
      pedalControllers (parameterStore.getParameters())
{
    pedals.addListener (this);
}

PedalAttachment::~PedalAttachment()
{
    detach();
    pedals.removeListener (this);
}

void PedalAttachment::attach (juce::StringRef name, Mode mode, ChannelSetting channel, PedalModeConfig leg)
{
    jassert (store.isMessageThread());

    // Mono use unlinks the stereo pairs.
    if (channel != ChannelSetting::stereo)
        for (auto* linkSwitch : pedalControllers.getLinkSwitches())
            linkSwitch->set (0, GestureTracker::internalSource);

    auto* device = pedals.findDevice (name);

    if (device != nullptr && device == currentDevice)
    {
        auto& driver = device->getDriver();

        if (driver.getState() != mode)
            driver.requestMode (mode);

        if (channelSetting.load() != channel && usbClient != nullptr)
            device->getController().setChannel (usbClient, channel);
    }
    else if (device != nullptr)
    {
        if (usbClient != nullptr && detach())
            owner.pedalLatencyChanged();

        currentDevice = device;
        owner.attachmentChanged();

        auto& driver = device->getDriver();

        if (! driver.isAudioDeviceOpen())
        {
            jassert (isRequestable (mode));
            driver.connect (mode);
        }

        usbClient = device->addClient (channel, leg);
        usbClient->addListener (this);
        // The block processing fades the pedal's audio in and out by its bridge's spans.
        usbClient->getAudioSource().setHostFades (true);
        driver.addListener (this);

        if (auto* editor = owner.getEditorListener())
            usbClient->addListener (editor);

        route.publish (*device, *usbClient);
        owner.pedalAttached();
    }

    // A pedal that was not found leaves an existing attachment, and with it the
    // channel setting its client was made with, as it was.
    if (device != nullptr || currentDevice == nullptr)
        channelSetting = channel;

    if (usbClient != nullptr)
        usbClient->setPedalboardLeg (mode == Mode::pedalboard ? leg : PedalModeConfig::none);
}

void PedalAttachment::detachClient()
{
    auto* client = usbClient;
    usbClient = nullptr;
    route.clear();

    // Its streaming stops before it goes; the audio threads play dry from now on.
    client->getAudioSource().releaseResources();
    client->removeListener (this);
    currentDevice->getDriver().removeListener (this);
    currentDevice->removeClient (client);
}

void PedalAttachment::closePedalLink (UsbDevice& device, bool sendRelease)
{
    auto& driver = device.getDriver();

    if (sendRelease)
        driver.disconnect();
    else
        driver.forgetConnection();
}

bool PedalAttachment::detach()
{
    if (usbClient == nullptr || currentDevice == nullptr)
        return false;

    auto* device = currentDevice;
    detachClient();

    const bool lastClient = device->getNumClients() == 0;
    if (lastClient)
        closePedalLink (*device, true);

    channelSetting = std::nullopt;
    currentDevice = nullptr;
    owner.attachmentChanged();

    if (lastClient)
        ledState.store (0);

    return true;
}

void PedalAttachment::restoreChannelSetting (ChannelSetting channel)
{
    if (currentDevice == nullptr)
        channelSetting = channel;
}

void PedalAttachment::deviceRemoved (UsbDevice* device)
{
    jassert (store.isMessageThread());

    if (device == nullptr || device != currentDevice)
        return;

    if (device->getDriver().getState() != Mode::none)
        closePedalLink (*device, true);

    device->getDriver().removeListener (this);
    if (usbClient != nullptr)
    {
        usbClient->getAudioSource().releaseResources();
        usbClient->removeListener (this);
    }
    usbClient = nullptr;
    route.clear();
    currentDevice = nullptr;
    owner.attachmentChanged();
    ledState.store (0);
    owner.pedalLatencyChanged();
}

void PedalAttachment::deviceStatusChanged (UsbDeviceDriver* driver)
{
    jassert (driver != nullptr && currentDevice != nullptr && driver == &currentDevice->getDriver());

    if (driver == nullptr || currentDevice == nullptr || driver != &currentDevice->getDriver())
        return;

    if (driver->getState() != Mode::none)
    {
        owner.attachmentChanged();
        return;
    }

    // The link dropped (watchdog or ModeOff): let go of the dead pedal.
    auto* device = currentDevice;

    if (usbClient != nullptr)
        detachClient();

    closePedalLink (*device, false);
    currentDevice = nullptr;
    ledState.store (0);
    owner.attachmentChanged();
    owner.pedalLatencyChanged();
}

void PedalAttachment::deviceConnected()
{
    jassert (store.isMessageThread() && usbClient != nullptr);

    if (usbClient == nullptr || usbClient->getController() == nullptr)
        return;

    auto& driver = usbClient->getController()->getDriver();
    driver.sendSysExMessage (Sysex::StateGroup, Sysex::StateOpen, nullptr, 0);
    driver.sendSysExMessage (Sysex::StateGroup, Sysex::StateSync, nullptr, 0);

    if (owner.isAwaitingHostState())
        driver.sendSysExMessage (Sysex::StateGroup, Sysex::StateRequest, nullptr, 0);
    else
        owner.sendStateToDevice();
}

void PedalAttachment::latencyChanged (int)
{
    owner.pedalLatencyChanged();
}

//==============================================================================
void PedalAttachment::sendState (const PRESET& record)
{
    if (currentDevice == nullptr)
        return;

    currentDevice->getDriver().sendSysExMessage (Sysex::StateGroup, Sysex::StateWrite, record.bytes.data(),
                                                 PRESET::recordSize);
}

bool PedalAttachment::isIdleSide (const Parameter& parameter) const
{
    return pedalControllers.isIdleSide (parameter, channelSetting.load());
}

void PedalAttachment::sendParameter (const Parameter& parameter, int value, int controllerNumber)
{
    if (controllerNumber < 0 || currentDevice == nullptr || store.isApplyingPedalMessage())
        return;

    const uint8_t pair[] = { (uint8_t) (controllerNumber & 0x7F), (uint8_t) encodeForPedal (parameter, value) };
    currentDevice->getDriver().sendSysExMessage (Sysex::ControlGroup, Sysex::ControlChange, pair, 2);
}

void PedalAttachment::incomingMidiMessage (SysexMessage& message)
{
    jassert (store.isMessageThread());
    const AudioValueTreeState::PedalMessageSection fromPedal (store);

    if (! message.valid)
        return;

    switch (message.group)
    {
        case Sysex::StateGroup:
        {
            if (message.length != PRESET::recordSize)
                return;

            PRESET record;
            std::copy (message.payload, message.payload + PRESET::recordSize, record.bytes.begin());

            if ((message.command & 0xF0) == Sysex::PresetDump)
                owner.pedalPresetArrived (record);
            else if (message.command == Sysex::StateDump)
                owner.pedalDefaultsArrived (record);
            return;
        }

        case Sysex::ControlGroup:
            if (message.length >= 2)
                applyControllerPairs (message);
            return;

        case Sysex::ProgramGroup:
            if ((message.command & 0x7F) == 0)
                owner.pedalChoseProgram (0);
            return;

        case Sysex::DisplayGroup:
            if (message.command == Sysex::LedState && message.length >= 1)
                ledState.store (message.payload[0]);
            return;

        default:
            return;
    }
}

void PedalAttachment::applyControllerPairs (const SysexMessage& message)
{
    for (int i = 0; i + 1 < message.length; i += 2)
    {
        const int number = pedalControllers.resolve (message.payload[i] & 0x7F);
        const int received = message.payload[i + 1] & 0x7F;

        if (currentDevice == nullptr || message.slot != currentDevice->getDriver().getSlot())
            continue;

        for (auto* parameter : pedalControllers.targetsOf (number))
            parameter->set (decodeFromPedal (*parameter, received), GestureTracker::pedalSource);
    }
}

//==============================================================================
std::optional<StateChunk::Device> PedalAttachment::describe() const
{
    // An attachment always has a channel setting.
    const auto channel = channelSetting.load();
    if (currentDevice == nullptr || usbClient == nullptr || ! channel)
        return std::nullopt;

    return StateChunk::Device { currentDevice->getName(), currentDevice->getDriver().getState(), *channel,
                                usbClient->getPedalboardLeg() };
}

std::optional<StateChunk::Device> PedalAttachment::describeForOtherThreads() const
{
    // The route's client is this instance's attachment. A client, and the pedal
    // it belongs to, are retired rather than deleted while any guarded thread
    // may be inside, so this thread guards its reading too.
    AudioThreadGuard readerGuard;
    const AudioThreadGuard::Scope reading (readerGuard);

    const auto* client = route.getClient();
    auto* controller = client != nullptr ? client->getController() : nullptr;
    if (controller == nullptr)
        return std::nullopt;

    // A detach since the client was read leaves no channel setting: no pedal is named then.
    const auto channel = channelSetting.load();
    if (! channel)
        return std::nullopt;

    return StateChunk::Device { client->getDeviceName(), controller->getDriver().getState(), *channel,
                                client->getPedalboardLeg() };
}
