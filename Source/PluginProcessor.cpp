#include "PluginProcessor.h"

#include "PluginEditor.h"
#include "Parameters/ParameterTable.h"
#include "Settings/DeviceSettingsFiles.h"
#include "Settings/PluginFolders.h"

VelmoraAudioProcessor::VelmoraAudioProcessor()
    : juce::AudioProcessor (BusesProperties()
                                .withInput ("Input", juce::AudioChannelSet::stereo(), false)
                                .withOutput ("Output", juce::AudioChannelSet::stereo(), false)),
      defaultPreset (juce::var(), "Default"),
      valueTreeState (pluginName, pluginVersionString)
{
    jassert (isMessageThread());

    // Host threads restoring a state only ever copy the weak reference's shared
    // pointer; making it here, on the message thread, keeps them from racing to create it.
    masterReference.getSharedPointer (this);

    createParameters();
    PedalAttachment::Owner& attachmentOwner = *this;
    attachment = std::make_unique<PedalAttachment> (attachmentOwner, valueTreeState, *deviceManager, route);
    valueTreeState.addListener (&statePublisher);
    valueTreeState.addListener (this);

    bypassParameter = valueTreeState.getParameter ("bypass");
    presetParameter = valueTreeState.getParameter ("preset");

    openSettings();
    loadUserPresets();
    numPrograms.store (1 + firstPresets.size() + userPresets.size());

    deviceManager->setSettingsFolder (getDeviceSettingsPath());
    deviceManager->setRecentSettings (DeviceSettingsFiles::loadNewest (getDeviceSettingsPath()));

    audioPath = std::make_unique<HostAudioPath> (*this, valueTreeState, route, *deviceManager);

    // The first flush reports every parameter's starting value; that is no edit.
    reportingInitialValues = true;
    juce::MemoryBlock startUpState;
    getStateInformation (startUpState);
    reportingInitialValues = false;
    stateArbiter.keepSnapshot (std::move (startUpState));
    publishState();

    if (settings->shouldCheckForUpdates())
        startTimer (updateCheckTimerId, updateCheckDelayMs);

    startTimer (audioWatchTimerId, audioWatchIntervalMs);
}

VelmoraAudioProcessor::~VelmoraAudioProcessor()
{
    stopTimer (audioWatchTimerId);
    // Detaches without telling the host, and stops following the pedals.
    attachment.reset();
    audioPath.reset();

    settings->saveIfNeeded();
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
    return PluginFolders::settingsPath();
}

juce::String VelmoraAudioProcessor::getUserPresetPath() const
{
    jassert (isMessageThread());
    return PluginFolders::userPresetPath();
}

void VelmoraAudioProcessor::openSettings()
{
    const auto folder = getDeviceSettingsPath();
    createDirectory (folder, "Settings directory");
    settings = std::make_unique<PluginSettings> (folder.isEmpty() ? juce::File() : juce::File (folder + "settings.xml"));
}

//==============================================================================
void VelmoraAudioProcessor::prepareToPlay (double newSampleRate, int newBlockSize)
{
    audioPath->prepare (newSampleRate, newBlockSize);
}

void VelmoraAudioProcessor::releaseResources()
{
    audioPath->release();
}

void VelmoraAudioProcessor::processBlock (juce::AudioBuffer<float>& buffer, juce::MidiBuffer& midi)
{
    midi.clear();
    audioPath->process (buffer, false);
}

void VelmoraAudioProcessor::processBlockBypassed (juce::AudioBuffer<float>& buffer, juce::MidiBuffer& midi)
{
    midi.clear();
    audioPath->process (buffer, true);
}

void VelmoraAudioProcessor::followLatency()
{
    audioPath->followLatency();
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

        // A pedal that some instance is flashing is left alone; the timer asks
        // again until the flash is over.
        if (deviceManager->getFlashes().isFlashing (pendingDevice.name))
        {
            startTimer (reconnectTimerId, reconnectDelayMs);
            return;
        }

        if (auto* device = getDevice(); device == nullptr || device->getName() == pendingDevice.name)
            setUsbDevice (pendingDevice.name, pendingDevice.mode, pendingDevice.channelSetting,
                          pendingDevice.pedalboardMode);
    }
    else if (timerId == updateCheckTimerId)
    {
        stopTimer (updateCheckTimerId);
        onlineUpdater.startQuery();
    }
    else if (timerId == audioWatchTimerId)
    {
        audioPath->watchPedalAudio();
    }
}
