#include "PluginProcessor.h"

#include "PluginEditor.h"
#include "Parameters/ParameterTable.h"
#include "Utilities/AdvisorySection.h"
#include "Parameters/Identifiers.h"
#include "Presets/PresetRecord.h"
#include "Utilities/SafeFileReader.h"
#include "Utilities/StrictXmlReader.h"

namespace
{
constexpr uint32_t stateMagic = 0x21324356;
constexpr juce::int64 largestSettingsFile = 1 << 20;
const char* const checkForUpdatesKey = "checkForUpdates";

bool onMessageThread()
{
    return juce::MessageManager::existsAndIsCurrentThread();
}

// A switch goes to the pedal as 64 or 0, anything else as its 7-bit value.
int encodeForPedal (const AudioValueTreeState::Parameter& parameter, int value)
{
    return parameter.isBoolean() ? (value != 0 ? 64 : 0) : (value & 0x7F);
}

int decodeFromPedal (const AudioValueTreeState::Parameter& parameter, int received)
{
    return parameter.isBoolean() ? (received != 0 ? 1 : 0) : (received & 0x7F);
}

// The state chunk's XML text: magic, length, text, a zero byte. Null for anything else.
std::unique_ptr<juce::XmlElement> decodeStateChunk (const juce::MemoryBlock& block)
{
    const auto size = block.getSize();
    if (size < 9 || size > (size_t) std::numeric_limits<int>::max())
        return nullptr;

    const auto* bytes = static_cast<const char*> (block.getData());
    if (juce::ByteOrder::littleEndianInt (bytes) != stateMagic)
        return nullptr;

    const auto length = (int) juce::ByteOrder::littleEndianInt (bytes + 4);
    if (length <= 0)
        return nullptr;

    const auto available = juce::jmin ((size_t) length, size - 8);
    return StrictXmlReader::parse (bytes + 8, available);
}
} // namespace

void createDirectory (const juce::String& path, const juce::String&)
{
    if (juce::File::isAbsolutePath (path))
        juce::File (path).createDirectory();
}

//==============================================================================
VelmoraAudioProcessor::VelmoraAudioProcessor()
    : juce::AudioProcessor (BusesProperties()
                                .withInput ("Input", juce::AudioChannelSet::stereo(), false)
                                .withOutput ("Output", juce::AudioChannelSet::stereo(), false)),
      defaultPreset (juce::var(), "Default"),
      valueTreeState (pluginName, pluginVersionString)
{
    jassert (onMessageThread());

    // Host threads restoring a state only ever copy this reference; making it
    // here, on the message thread, keeps them from racing to create it.
    juce::WeakReference<VelmoraAudioProcessor> { this };

    createParameters();
    valueTreeState.addListener (this);

    dacLParameter = valueTreeState.getParameter ("dacL");
    dacRParameter = valueTreeState.getParameter ("dacR");
    mixWetParameter = valueTreeState.getParameter ("mixWet");
    bypassParameter = valueTreeState.getParameter ("bypass");

    openSettings();
    loadUserPresets();
    numPrograms.store (1 + firstPresets.size() + userPresets.size());

    deviceManager->setSettingsFolder (getDeviceSettingsPath());
    loadRecentDeviceSettings();
    deviceManager->addListener (this);

    // The first flush reports every parameter's starting value; that is no edit.
    reportingInitialValues = true;
    juce::MemoryBlock startUpState;
    getStateInformation (startUpState);
    reportingInitialValues = false;
    stateArbiter.keepSnapshot (std::move (startUpState));

    if (settings->getBoolValue (checkForUpdatesKey, true))
        startTimer (updateCheckTimerId, updateCheckDelayMs);
}

VelmoraAudioProcessor::~VelmoraAudioProcessor()
{
    disconnectUsbClient();
    deviceManager->removeListener (this);

    settings->save();
    settings.reset();
    onlineUpdater.reset();

    stopTimer (reconnectTimerId);
    stopTimer (updateCheckTimerId);
    valueTreeState.removeListener (this);

    // The store must never see a deleted internal parameter; host parameters are
    // deleted by the framework after the store is gone.
    ownedParameters.clear();
}

//==============================================================================
void VelmoraAudioProcessor::createParameters()
{
    ParameterTable::create (valueTreeState, [this] (std::unique_ptr<Parameter> parameter)
    {
        if (parameter->isAutomatable())
            addParameter (parameter.release());
        else
            ownedParameters.add (parameter.release());
    });
}

//==============================================================================
juce::String VelmoraAudioProcessor::getDeviceSettingsPath() const
{
    jassert (onMessageThread());
    return juce::File::getSpecialLocation (juce::File::userApplicationDataDirectory).getFullPathName()
         + "/Audio/Presets/Kelvane-Sonic/Pellion/";
}

juce::String VelmoraAudioProcessor::getUserPresetPath() const
{
    return getDeviceSettingsPath() + "User/";
}

void VelmoraAudioProcessor::openSettings()
{
    createDirectory (getDeviceSettingsPath(), "Settings directory");
    const auto file = juce::File (getDeviceSettingsPath()).getChildFile ("settings.xml");

    // The framework's reader is not safe on hostile input: a file our strict
    // reader refuses is moved aside, kept for the user, and a fresh one begins.
    if (file.existsAsFile())
    {
        juce::MemoryBlock bytes;
        const bool readable = SafeFileReader::read (file, bytes, (size_t) largestSettingsFile)
                           && StrictXmlReader::parse (static_cast<const char*> (bytes.getData()), bytes.getSize()) != nullptr;

        if (! readable)
            file.moveFileTo (file.getSiblingFile ("settings.xml.unreadable"));
    }

    settings = std::make_unique<juce::PropertiesFile> (file, juce::PropertiesFile::Options());
}

void VelmoraAudioProcessor::loadUserPresets()
{
    createDirectory (getUserPresetPath(), "User preset directory");
    PresetFormat::loadUserPresets (juce::File (getUserPresetPath()), userPresets);
}

void VelmoraAudioProcessor::loadRecentDeviceSettings()
{
    juce::ValueTree recent (ID::DEVICE);
    juce::File newest;

    for (const auto& entry : juce::RangedDirectoryIterator (juce::File (getDeviceSettingsPath()), false,
                                                            "QZR-*-settings.xml", juce::File::findFiles))
        if (newest == juce::File() || entry.getModificationTime() > newest.getLastModificationTime())
            newest = entry.getFile();

    if (newest != juce::File())
    {
        juce::ValueTree loaded (ID::DEVICE);
        if (UsbBaseDeviceManager<UsbDevice>::readSettingsFile (newest, loaded))
            recent = loaded;
    }

    deviceManager->setRecentSettings (recent);
}

//==============================================================================
void VelmoraAudioProcessor::prepareToPlay (double newSampleRate, int maximumExpectedSamplesPerBlock)
{
    if (! (newSampleRate > 0.0) || maximumExpectedSamplesPerBlock <= 0)
        return;

    sampleRate = newSampleRate;
    blockSize = maximumExpectedSamplesPerBlock;
    muteGain.prepare (newSampleRate, maximumExpectedSamplesPerBlock);
    wetGain.prepare (newSampleRate, maximumExpectedSamplesPerBlock);
    prepared = true;
}

void VelmoraAudioProcessor::releaseResources()
{
    prepared = false;
}

void VelmoraAudioProcessor::processBlock (juce::AudioBuffer<float>& buffer, juce::MidiBuffer& midi)
{
    const AudioThreadGuard::Scope inBlock (hostAudioGuard);
    midi.clear();

    // The pedal's audio bridge is not part of this build yet: audio passes
    // through, and the attached client still feeds the meters.
    if (auto* client = audioClient.load())
        client->getNextAudioBlock (juce::AudioSourceChannelInfo (buffer));
}

void VelmoraAudioProcessor::processBlockBypassed (juce::AudioBuffer<float>&, juce::MidiBuffer& midi)
{
    midi.clear();
}

juce::AudioProcessorEditor* VelmoraAudioProcessor::createEditor()
{
    return new VelmoraAudioProcessorEditor (*this);
}

//==============================================================================
int VelmoraAudioProcessor::getNumPrograms()
{
    return numPrograms.load();
}

int VelmoraAudioProcessor::getCurrentProgram()
{
    return requestedProgram.load();
}

void VelmoraAudioProcessor::setCurrentProgram (int index)
{
    // A host may ask for anything: only programs that exist are taken.
    if (index < 0 || index >= numPrograms.load())
        return;

    if (onMessageThread())
        setProgram (index);
    else
        requestedProgram.store (index);
}

const juce::String VelmoraAudioProcessor::getProgramName (int index)
{
    if (index < 1)
        return "Default";

    if (auto* preset = findPreset (index))
        return preset->getName();

    return {};
}

void VelmoraAudioProcessor::changeProgramName (int, const juce::String&)
{
}

const PresetFormat* VelmoraAudioProcessor::findPreset (int index) const
{
    if (index >= 1 && index <= firstPresets.size())
        return firstPresets[index - 1];

    const int userIndex = index - firstPresets.size() - 1;
    if (index >= 1 && userIndex >= 0 && userIndex < userPresets.size())
        return userPresets[userIndex];

    return nullptr;
}

juce::var VelmoraAudioProcessor::getParameters (const juce::String& name)
{
    auto* object = new juce::DynamicObject();
    juce::var result (object);

    if (name.isNotEmpty())
        object->setProperty ("name", name);

    for (auto* parameter : valueTreeState.getParameters())
        if (parameter->modifiesPreset())
            object->setProperty (parameter->getParameterID(), parameter->get());

    return result;
}

void VelmoraAudioProcessor::setProgram (int index)
{
    jassert (onMessageThread());

    if (index < 0 || index >= numPrograms.load())
    {
        requestedProgram.store (currentProgram);
        return;
    }

    const AdvisorySection<int> bulkUpdate (internalUpdateDepth);

    if (currentProgram == 0)
        defaultPreset.setProperties (getParameters ("Default"));

    if (index == 0)
    {
        setProgram (&defaultPreset, 0, defaultPreset.getName(), false, -1);
    }
    else
    {
        auto* preset = findPreset (index);
        if (preset == nullptr)
            return;

        setProgram (preset, index, preset->getName(), false, -1);
    }

    if (valueTreeState.pedalMessageDepth <= 0)
        sendStateToDevice();
}

void VelmoraAudioProcessor::setProgram (const PresetFormat* preset, int program, const juce::String& name,
                                        bool modified, int bypass)
{
    valueTreeState.getParameter ("preset")->set (program != 0 ? 1 : 0, GestureTracker::internalSource);

    if (bypass >= 0)
        bypassParameter->set (bypass != 0 ? 1 : 0, GestureTracker::internalSource);

    if (preset != nullptr)
    {
        // Mirroring would let one side of a linked pair overwrite the other's stored value.
        const AdvisorySection<int> wholePreset (valueTreeState.presetApplyDepth);
        const auto values = preset->getProperties();
        for (auto* parameter : valueTreeState.getParameters())
        {
            const juce::Identifier id (parameter->getParameterID());
            if (values.hasProperty (id))
                parameter->set (preset->getValue (id), GestureTracker::internalSource);
        }
    }

    programName = name;
    currentProgram = program;
    requestedProgram.store (program);
    presetModified = modified;
    sendChangeMessage();
}

bool VelmoraAudioProcessor::updateExtraParameters()
{
    const int requested = requestedProgram.load();

    if (requested == currentProgram)
        return false;

    setProgram (requested);
    return true;
}

//==============================================================================
void VelmoraAudioProcessor::getStateInformation (juce::MemoryBlock& destData)
{
    valueTreeState.updateParameters();

    auto xml = valueTreeState.copyState().createXml();
    if (xml == nullptr)
        return;

    auto* preset = xml->createNewChildElement (ID::PRESET.toString());
    preset->setAttribute ("name", programName);
    preset->setAttribute ("program", currentProgram);
    preset->setAttribute ("modified", presetModified ? "1" : "0");

    if (currentDevice != nullptr && usbClient != nullptr)
    {
        auto* device = xml->createNewChildElement (ID::DEVICE.toString());
        device->setAttribute ("name", currentDevice->getName());
        device->setAttribute ("mode", currentDevice->getDriver().getState());
        device->setAttribute ("channelSetting", channelSetting);
        device->setAttribute ("pedalboardMode", usbClient->pedalboardLeg.load());
    }

    destData.reset();
    copyXmlToBinary (*xml, destData);
}

void VelmoraAudioProcessor::setStateInformation (const void* data, int sizeInBytes)
{
    if (data == nullptr || sizeInBytes <= 0)
        return;

    juce::MemoryBlock block (data, (size_t) sizeInBytes);

    if (onMessageThread())
    {
        setMemBlockStateInformation (block);
        return;
    }

    // A state that arrives on a host thread is applied on the message thread,
    // unless the processor is gone by then.
    juce::WeakReference<VelmoraAudioProcessor> self (this);
    juce::MessageManager::callAsync ([self, block = std::move (block)]
    {
        if (auto* processor = self.get())
            processor->setMemBlockStateInformation (block);
    });
}

void VelmoraAudioProcessor::setMemBlockStateInformation (const juce::MemoryBlock& block)
{
    jassert (onMessageThread());
    const AdvisorySection<int> bulkUpdate (internalUpdateDepth);

    auto xml = decodeStateChunk (block);
    if (xml == nullptr)
        return;

    if (stateArbiter.isOwnSnapshot (block))
        return;

    stateArbiter.hostStateArrived();

    if (! xml->getTagName().equalsIgnoreCase (juce::String (pluginName).removeCharacters (" ")))
        return;

    auto* values = new juce::DynamicObject();
    const juce::var stored (values);
    for (auto* param : xml->getChildWithTagNameIterator (ID::PARAM.toString()))
    {
        const auto id = param->getStringAttribute (ID::id.toString());
        if (id.isNotEmpty())
            values->setProperty (id, param->getStringAttribute (ID::value.toString()));
    }

    PresetFormat preset { juce::var(), juce::String() };
    preset.setProperties (stored);

    if (auto* element = xml->getChildByName (ID::PRESET.toString()))
    {
        int program = element->getIntAttribute ("program");
        const auto name = element->getStringAttribute ("name");
        const bool modified = element->getBoolAttribute ("modified");
        const bool bypass = values->hasProperty ("bypass") && values->getProperty ("bypass").toString().getIntValue() != 0;

        if (program > 0)
        {
            const bool inFirst = program <= firstPresets.size();
            const auto& list = inFirst ? firstPresets : userPresets;
            const int base = inFirst ? 1 : firstPresets.size() + 1;

            // A preset that is gone keeps the stored name and values on the
            // first program there is, never on one past the list.
            program = numPrograms.load() > 1 ? 1 : 0;
            for (int i = 0; i < list.size(); ++i)
            {
                if (list[i]->getName() == name)
                {
                    program = base + i;
                    break;
                }
            }
        }
        else
        {
            program = 0;
        }

        setProgram (&preset, program, name, modified, bypass ? 1 : 0);
    }

    if (auto* device = xml->getChildByName (ID::DEVICE.toString()))
        applyDeviceElement (*device);

    sendStateToDevice();
}

void VelmoraAudioProcessor::applyDeviceElement (const juce::XmlElement& device)
{
    const auto name = device.getStringAttribute ("name");
    const int mode = device.getIntAttribute ("mode", -100);
    const int channel = device.getIntAttribute ("channelSetting", -100);
    const int leg = device.getIntAttribute ("pedalboardMode", -100);

    // Stored by a host, so checked like anything else from outside.
    if (name.isEmpty() || UsbDevice::extractDeviceName (name) != name || mode < modeControl || mode > modePedalboard
        || channel < channelMonoLeft || channel > channelStereo || leg < pedalboardNone || leg > pedalboardOut)
        return;

    pendingDevice = { name, channel, mode, leg };

    // While attached, the channel setting changes only together with the client.
    if (currentDevice == nullptr)
        channelSetting = channel;

    startTimer (reconnectTimerId, reconnectDelayMs);
}

//==============================================================================
void VelmoraAudioProcessor::timerCallback (int timerId)
{
    jassert (onMessageThread());

    if (timerId == reconnectTimerId)
    {
        stopTimer (reconnectTimerId);

        if (pendingDevice.name.isEmpty())
            return;

        if (currentDevice == nullptr || currentDevice->getName() == pendingDevice.name)
            setUsbDevice (pendingDevice.name, pendingDevice.mode, pendingDevice.channelSetting,
                          pendingDevice.pedalboardMode);
    }
    else if (timerId == updateCheckTimerId)
    {
        stopTimer (updateCheckTimerId);
        onlineUpdater.startQuery();
    }
}

//==============================================================================
void VelmoraAudioProcessor::setUsbDevice (juce::StringRef name, int mode, int channel, int leg)
{
    jassert (onMessageThread());

    if (channel < channelMonoLeft || channel > channelStereo)
        return;

    if (channel != channelStereo)
    {
        valueTreeState.getParameter ("adcLink")->set (0, GestureTracker::internalSource);
        valueTreeState.getParameter ("dacLink")->set (0, GestureTracker::internalSource);
    }

    auto* device = deviceManager->findDevice (name);

    if (device != nullptr && device == currentDevice)
    {
        auto& driver = device->getDriver();

        if (driver.getState() != mode)
            driver.requestMode (mode);

        if (channelSetting != channel && usbClient != nullptr)
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
            jassert (mode >= modeControl && mode <= modePedalboard);
            driver.connect (mode);
        }

        usbClient = device->addClient (channel, leg);
        usbClient->addListener (this);
        driver.addListener (this);

        if (auto* editor = dynamic_cast<VelmoraAudioProcessorEditor*> (getActiveEditor()))
            usbClient->addListener (editor);

        if (prepared)
            driver.sampleRate = (int) sampleRate.load();

        audioClient.store (usbClient);
    }

    // A pedal that was not found leaves an existing attachment, and with it the
    // channel setting its client was made with, as it was.
    if (device != nullptr || currentDevice == nullptr)
        channelSetting = channel;

    if (usbClient != nullptr)
        usbClient->pedalboardLeg.store (mode == modePedalboard ? leg : pedalboardNone);
}

void VelmoraAudioProcessor::detachClient()
{
    auto* client = usbClient;
    usbClient = nullptr;
    audioClient.store (nullptr);

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
    if (usbClient == nullptr || currentDevice == nullptr)
        return;

    auto* device = currentDevice;
    detachClient();

    const bool lastClient = device->getNumClients() == 0;
    if (lastClient)
        closePedalLink (*device, true);

    channelSetting = -1;
    currentDevice = nullptr;
    sendChangeMessage();

    if (lastClient)
        ledState.store (0);
}

void VelmoraAudioProcessor::deviceAdded (UsbDevice*)
{
}

void VelmoraAudioProcessor::deviceRemoved (UsbDevice* device)
{
    jassert (onMessageThread());

    if (device == nullptr || device != currentDevice)
        return;

    if (device->getDriver().getState() != modeNone)
        closePedalLink (*device, true);

    device->getDriver().removeListener (this);
    if (usbClient != nullptr)
        usbClient->removeListener (this);
    usbClient = nullptr;
    audioClient.store (nullptr);
    currentDevice = nullptr;
    sendChangeMessage();
    ledState.store (0);
}

void VelmoraAudioProcessor::deviceStatusChanged (UsbDeviceDriver* driver)
{
    jassert (driver != nullptr && currentDevice != nullptr && driver == &currentDevice->getDriver());

    if (driver == nullptr || currentDevice == nullptr || driver != &currentDevice->getDriver())
        return;

    if (driver->getState() != modeNone)
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
}

void VelmoraAudioProcessor::deviceConnected()
{
    jassert (onMessageThread() && usbClient != nullptr);

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

void VelmoraAudioProcessor::latencyChanged (int)
{
}

//==============================================================================
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
    const auto id = parameter->getParameterID();

    // The side of the pedal that a mono use leaves idle is neither sent nor an edit.
    if ((channelSetting == channelMonoRight && (id == "adcL" || id == "dacL"))
        || (channelSetting == channelMonoLeft && (id == "adcR" || id == "dacR")))
        return;

    if (controllerNumber >= 0 && currentDevice != nullptr && valueTreeState.pedalMessageDepth <= 0
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
    jassert (onMessageThread());
    const AdvisorySection<int> fromPedal (valueTreeState.pedalMessageDepth);

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
    const auto* adcLink = valueTreeState.getParameter ("adcLink");
    const auto* dacLink = valueTreeState.getParameter ("dacLink");

    for (int i = 0; i + 1 < message.length; i += 2)
    {
        int number = message.payload[i] & 0x7F;
        const int received = message.payload[i + 1] & 0x7F;

        if ((number == 106 || number == 107) && adcLink->get() == 1)
            number = 105;
        else if ((number == 113 || number == 114) && dacLink->get() == 1)
            number = 112;

        if (currentDevice == nullptr || message.slot != currentDevice->getDriver().getSlot())
            continue;

        for (auto* parameter : valueTreeState.getParameters())
        {
            if (parameter->getControllerNumber() == number)
            {
                parameter->set (decodeFromPedal (*parameter, received), GestureTracker::pedalSource);
                break;
            }

            if (parameter->getLinkControllerNumber() == number)
                parameter->set (decodeFromPedal (*parameter, received), GestureTracker::pedalSource);
        }
    }
}
