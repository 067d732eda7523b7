#include "PluginProcessor.h"

#include "PluginEditor.h"
#include "Parameters/ParameterTable.h"
#include "Utilities/InputLimits.h"
#include "Utilities/SafeFileReader.h"
#include "Utilities/StrictXmlReader.h"

namespace
{
const char* const checkForUpdatesKey = "checkForUpdates";
} // namespace

void createDirectory (const juce::String& path, const juce::String&)
{
    if (juce::File::isAbsolutePath (path))
        juce::File (path).createDirectory();
}

VelmoraAudioProcessor::VelmoraAudioProcessor()
    : juce::AudioProcessor (BusesProperties()
                                .withInput ("Input", juce::AudioChannelSet::stereo(), false)
                                .withOutput ("Output", juce::AudioChannelSet::stereo(), false)),
      defaultPreset (juce::var(), "Default"),
      valueTreeState (pluginName, pluginVersionString)
{
    jassert (isMessageThread());

    // Host threads restoring a state only ever copy this reference; making it
    // here, on the message thread, keeps them from racing to create it.
    juce::WeakReference<VelmoraAudioProcessor> { this };

    createParameters();
    pedalControllers = PedalControllers (valueTreeState.getParameters());
    valueTreeState.addListener (&statePublisher);
    valueTreeState.addListener (this);

    dacLParameter = valueTreeState.getParameter ("dacL");
    dacRParameter = valueTreeState.getParameter ("dacR");
    mixWetParameter = valueTreeState.getParameter ("mixWet");
    bypassParameter = valueTreeState.getParameter ("bypass");
    presetParameter = valueTreeState.getParameter ("preset");

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
    publishState();

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
    valueTreeState.removeListener (&statePublisher);

    // The store must never see a deleted internal parameter; host parameters are
    // deleted by the framework after the store is gone.
    ownedParameters.clear();
}

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

juce::String VelmoraAudioProcessor::getDeviceSettingsPath() const
{
    jassert (isMessageThread());
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
        const bool readable = SafeFileReader::read (file, bytes, InputLimits::settingsFileBytes)
                           && StrictXmlReader::parse (static_cast<const char*> (bytes.getData()), bytes.getSize()) != nullptr;

        if (! readable)
            file.moveFileTo (file.getSiblingFile ("settings.xml.unreadable"));
    }

    settings = std::make_unique<juce::PropertiesFile> (file, juce::PropertiesFile::Options());
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

juce::AudioProcessorEditor* VelmoraAudioProcessor::createEditor()
{
    return new VelmoraAudioProcessorEditor (*this);
}

void VelmoraAudioProcessor::timerCallback (int timerId)
{
    jassert (isMessageThread());

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
