// Attaching to a pedal and keeping the parameters and the pedal in step.
#include "PluginProcessor.h"

#include "PluginEditor.h"
#include "Presets/PresetRecord.h"
#include "Utilities/AdvisorySection.h"

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

void VelmoraAudioProcessor::setUsbDevice (juce::StringRef name, Mode mode, ChannelSetting channel, PedalModeConfig leg)
{
    jassert (isMessageThread());

    // Mono use unlinks the stereo pairs.
    if (channel != ChannelSetting::stereo)
        for (auto* linkSwitch : pedalControllers.getLinkSwitches())
            linkSwitch->set (0, GestureTracker::internalSource);

    auto* device = deviceManager->findDevice (name);

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
        if (usbClient != nullptr)
            disconnectUsbClient();

        currentDevice = device;
        sendChangeMessage();

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

        if (auto* editor = dynamic_cast<VelmoraAudioProcessorEditor*> (getActiveEditor()))
            usbClient->addListener (editor);

        route.publish (*device, *usbClient);
        audioPath->pedalAttached();
    }

    // A pedal that was not found leaves an existing attachment, and with it the
    // channel setting its client was made with, as it was.
    if (device != nullptr || currentDevice == nullptr)
        channelSetting = channel;

    if (usbClient != nullptr)
        usbClient->setPedalboardLeg (mode == Mode::pedalboard ? leg : PedalModeConfig::none);
}

void VelmoraAudioProcessor::detachClient()
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

void VelmoraAudioProcessor::closePedalLink (UsbDevice& device, bool sendRelease)
{
    auto& driver = device.getDriver();

    if (sendRelease)
        driver.disconnect();
    else
        driver.forgetConnection();
}

void VelmoraAudioProcessor::disconnectUsbClient()
{
    if (detachFromPedal())
        audioPath->reportLatency();
}

bool VelmoraAudioProcessor::detachFromPedal()
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
    sendChangeMessage();

    if (lastClient)
        ledState.store (0);

    return true;
}

void VelmoraAudioProcessor::deviceAdded (UsbDevice*)
{
}

void VelmoraAudioProcessor::deviceRemoved (UsbDevice* device)
{
    jassert (isMessageThread());

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
    sendChangeMessage();
    ledState.store (0);
    audioPath->reportLatency();
}

void VelmoraAudioProcessor::deviceStatusChanged (UsbDeviceDriver* driver)
{
    jassert (driver != nullptr && currentDevice != nullptr && driver == &currentDevice->getDriver());

    if (driver == nullptr || currentDevice == nullptr || driver != &currentDevice->getDriver())
        return;

    if (driver->getState() != Mode::none)
    {
        sendChangeMessage();
        return;
    }

    // The link dropped (watchdog or ModeOff): let go of the dead pedal.
    auto* device = currentDevice;

    if (usbClient != nullptr)
        detachClient();

    closePedalLink (*device, false);
    currentDevice = nullptr;
    ledState.store (0);
    sendChangeMessage();
    audioPath->reportLatency();
}

void VelmoraAudioProcessor::latencyChanged (int)
{
    audioPath->reportLatency();
}

void VelmoraAudioProcessor::deviceConnected()
{
    jassert (isMessageThread() && usbClient != nullptr);

    if (usbClient == nullptr || usbClient->getController() == nullptr)
        return;

    auto& driver = usbClient->getController()->getDriver();
    driver.sendSysExMessage (Sysex::StateGroup, Sysex::StateOpen, nullptr, 0);
    driver.sendSysExMessage (Sysex::StateGroup, Sysex::StateSync, nullptr, 0);

    if (stateArbiter.isAwaitingHostState())
        driver.sendSysExMessage (Sysex::StateGroup, Sysex::StateRequest, nullptr, 0);
    else
        sendStateToDevice();
}

void VelmoraAudioProcessor::sendStateToDevice()
{
    if (currentDevice == nullptr)
        return;

    const PresetFormat values (getParameters (programName), juce::String());
    const auto record = makePresetRecord (currentProgram, values, presetModified, bypassParameter->get() != 0);
    currentDevice->getDriver().sendSysExMessage (Sysex::StateGroup, Sysex::StateWrite, record.bytes.data(),
                                                 PRESET::recordSize);
}

void VelmoraAudioProcessor::parameterChanged (AudioValueTreeState::Parameter* parameter, int value,
                                              int controllerNumber)
{
    // The side of the pedal that a mono use leaves idle is neither sent nor an edit.
    if (pedalControllers.isIdleSide (*parameter, channelSetting.load()))
        return;

    if (controllerNumber >= 0 && currentDevice != nullptr && ! valueTreeState.isApplyingPedalMessage()
        && internalUpdateDepth <= 0)
    {
        const uint8_t pair[] = { (uint8_t) (controllerNumber & 0x7F), (uint8_t) encodeForPedal (*parameter, value) };
        currentDevice->getDriver().sendSysExMessage (Sysex::ControlGroup, Sysex::ControlChange, pair, 2);
    }

    if (parameter->modifiesPreset() && ! presetModified && ! reportingInitialValues)
    {
        presetModified = true;
        sendChangeMessage();
    }
}

void VelmoraAudioProcessor::incomingMidiMessage (SysexMessage& message)
{
    jassert (isMessageThread());
    const AudioValueTreeState::PedalMessageSection fromPedal (valueTreeState);

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
            {
                const AdvisorySection<int> bulkUpdate (internalUpdateDepth);
                const PresetFormat preset (record, juce::String());
                const auto flags = record.bytes[PRESET::flagsOffset];
                setProgram (&preset, 0, getProgramName (0), (flags & 1) != 0, (flags >> 1) & 1);
            }
            else if (message.command == Sysex::StateDump)
            {
                const PresetFormat preset (record, defaultPreset.getName());
                defaultPreset.setProperties (preset.getProperties());
            }
            return;
        }

        case Sysex::ControlGroup:
            if (message.length >= 2)
                applyControllerPairs (message);
            return;

        case Sysex::ProgramGroup:
            if ((message.command & 0x7F) == 0)
                setCurrentProgram (0);
            return;

        case Sysex::DisplayGroup:
            if (message.command == Sysex::LedState && message.length >= 1)
                ledState.store (message.payload[0]);
            return;

        default:
            return;
    }
}

void VelmoraAudioProcessor::applyControllerPairs (const SysexMessage& message)
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
