#pragma once

#include "Devices/DeviceModes.h"
#include "Devices/UsbDevice.h"
#include "Devices/UsbDeviceManager.h"
#include "Parameters/AudioValueTreeState.h"
#include "Presets/PresetFormat.h"
#include "Processor/HostAudioPath.h"
#include "Processor/PedalAttachment.h"
#include "Processor/PedalRoute.h"
#include "Settings/PluginSettings.h"
#include "State/PendingDevice.h"
#include "State/PublishedState.h"
#include "State/StateArbiter.h"
#include "State/StateChunk.h"
#include "Updates/OnlineUpdater.h"

#include <juce_audio_processors/juce_audio_processors.h>
#include <atomic>
#include <memory>
#include <optional>

// The object a host creates for every plug-in instance. It owns the parameter
// store, the programs and the host state; its host audio path and its
// attachment to one pedal are objects of their own.
class VelmoraAudioProcessor : public juce::AudioProcessor,
                              public AudioValueTreeState::Listener,
                              public juce::MultiTimer,
                              public UsbDevice::Holder,
                              public juce::ChangeBroadcaster,
                              private PedalAttachment::Owner
{
public:
    static constexpr const char* pluginName = "Pellion";
    static constexpr const char* pluginVersionString = VersionQuery::pluginVersionString;
    static constexpr int pluginVersionCode = 0x200;

    enum TimerIds
    {
        reconnectTimerId = 1,
        updateCheckTimerId = 2,
        audioWatchTimerId = 3
    };

    static constexpr int reconnectDelayMs = 200;
    static constexpr int updateCheckDelayMs = 3000;
    static constexpr int audioWatchIntervalMs = 500;

    VelmoraAudioProcessor();
    ~VelmoraAudioProcessor() override;

    //==============================================================================
    const juce::String getName() const override { return pluginName; }

    void prepareToPlay (double sampleRate, int maximumExpectedSamplesPerBlock) override;
    void releaseResources() override;
    void processBlock (juce::AudioBuffer<float>&, juce::MidiBuffer&) override;
    void processBlockBypassed (juce::AudioBuffer<float>&, juce::MidiBuffer&) override;
    using juce::AudioProcessor::processBlock;
    using juce::AudioProcessor::processBlockBypassed;

    double getTailLengthSeconds() const override { return 0.0; }
    bool acceptsMidi() const override { return false; }
    bool producesMidi() const override { return false; }

    juce::AudioProcessorEditor* createEditor() override;
    bool hasEditor() const override { return true; }

    int getNumPrograms() override;
    int getCurrentProgram() override;
    void setCurrentProgram (int index) override;
    const juce::String getProgramName (int index) override;
    void changeProgramName (int index, const juce::String& newName) override;

    // Any thread: off the message thread the chunk is built, without flushing,
    // from what the message thread published and the states set since.
    void getStateInformation (juce::MemoryBlock& destData) override;
    void setStateInformation (const void* data, int sizeInBytes) override;
    // Whether setStateInformation restores from these bytes: a readable chunk of this plug-in's.
    static bool takesState (const void* data, int sizeInBytes);

    //==============================================================================
    UsbDevice* getDevice() override { return attachment->getDevice(); }
    void parameterChanged (AudioValueTreeState::Parameter* parameter, int value, int controllerNumber) override;
    bool updateExtraParameters() override;
    void timerCallback (int timerId) override;

    //==============================================================================
    // Attaches to the pedal of that name, or changes how the current pedal is used.
    void setUsbDevice (juce::StringRef name, Mode mode, ChannelSetting channel, PedalModeConfig leg);

    // Detaches this instance from its pedal; the pedal's last client releases it.
    void disconnectUsbClient();

    // Sends the whole state to the pedal as one preset record.
    void sendStateToDevice() override;

    // Tells the host the latency the pedal's settings give now, when that has
    // changed since it was last told. Message thread.
    void followLatency();

    // Applies a state chunk; message thread only.
    void setMemBlockStateInformation (const juce::MemoryBlock& block);

    void setProgram (int index);
    void setProgram (const PresetFormat* preset, int program, const juce::String& name, bool modified, int bypass);
    juce::var getParameters (const juce::String& name);
    using juce::AudioProcessor::getParameters;

    juce::String getDeviceSettingsPath() const;
    juce::String getUserPresetPath() const;

    //==============================================================================
    AudioValueTreeState& getValueTreeState() noexcept { return valueTreeState; }
    UsbDeviceClient* getUsbClient() const noexcept { return attachment->getClient(); }
    // The attachment's channel setting; none until one is chosen or restored, and after a detach.
    std::optional<ChannelSetting> getChannelSetting() const noexcept { return attachment->getChannelSetting(); }
    int getLedState() const noexcept { return attachment->getLedState(); }
    bool isPresetModified() const noexcept { return presetModified; }
    bool isAwaitingHostState() const noexcept override { return stateArbiter.isAwaitingHostState(); }
    StateArbiter& getStateArbiter() noexcept { return stateArbiter; }
    const PresetFormat& getDefaultPreset() const noexcept { return defaultPreset; }
    juce::OwnedArray<PresetFormat>& getFirstPresets() noexcept { return firstPresets; }
    juce::OwnedArray<PresetFormat>& getUserPresets() noexcept { return userPresets; }
    // The block size the host last prepared with.
    int getHostBlockSize() const noexcept { return audioPath->getHostBlockSize(); }
    // The latency last reported to the host, in samples; any thread.
    int getReportedLatency() const noexcept { return audioPath->getReportedLatency(); }
    PluginSettings* getSettings() const noexcept { return settings.get(); }
    OnlineUpdater& getOnlineUpdater() noexcept { return onlineUpdater; }
    PendingDevice& getPendingDevice() noexcept { return pendingDevice; }
    UsbBaseDeviceManager<UsbDevice>& getDeviceManager() noexcept { return *deviceManager; }
    // The pedal link, for what only a test asks of it directly.
    PedalAttachment& getPedalAttachment() noexcept { return *attachment; }

private:
    using Parameter = AudioValueTreeState::Parameter;

    // Takes no lock: a host's audio thread may ask.
    bool isMessageThread() const noexcept { return valueTreeState.isMessageThread(); }

    void createParameters();
    void openSettings();
    void loadUserPresets();

    // What the pedal attachment tells.
    void attachmentChanged() override;
    void pedalAttached() override;
    void pedalLatencyChanged() override;
    void pedalPresetArrived (const PRESET& record) override;
    void pedalDefaultsArrived (const PRESET& record) override;
    void pedalChoseProgram (int program) override;
    UsbDeviceClient::ClientListener* getEditorListener() override;

    const PresetFormat* findPreset (int index) const;

    StateChunk::Contents currentContents() const;
    PublishedState::Pending expectedRestore (StateChunk::Decoded decoded) const;
    void applyDecodedState (const StateChunk::Decoded& decoded);
    void applyPendingStates();
    void applyDeviceElement (const StateChunk::Device& device);
    void publishState();

    // Publishes the state after every change the store reports outside a bulk
    // update; registered before the processor, so it hears each change after it.
    struct StatePublisher final : AudioValueTreeState::Listener
    {
        explicit StatePublisher (VelmoraAudioProcessor& p) : processor (p) {}
        void parameterChanged (Parameter*, int, int) override;
        VelmoraAudioProcessor& processor;
    };

    //==============================================================================
    juce::OwnedArray<PresetFormat> firstPresets;
    juce::OwnedArray<PresetFormat> userPresets;
    PresetFormat defaultPreset;
    AudioValueTreeState valueTreeState;
    juce::OwnedArray<Parameter> ownedParameters;

    Parameter* bypassParameter = nullptr;
    Parameter* presetParameter = nullptr;

    juce::SharedResourcePointer<UsbBaseDeviceManager<UsbDevice>> deviceManager;
    // The attached client and its pedal, as the attachment publishes them for
    // the audio path and the host's other threads.
    PedalRoute route;
    // Made once the parameters are. The attachment tells the audio path of
    // changes through the processor, so it goes first.
    std::unique_ptr<HostAudioPath> audioPath;
    std::unique_ptr<PedalAttachment> attachment;

    int currentProgram = 0;
    std::atomic<int> requestedProgram { 0 };
    std::atomic<int> numPrograms { 1 };
    juce::String programName { "Default" };
    bool presetModified = false;
    int internalUpdateDepth = 0;
    bool reportingInitialValues = false;

    StateArbiter stateArbiter;
    PublishedState publishedState;
    StatePublisher statePublisher { *this };
    bool applyingPendingStates = false;
    PendingDevice pendingDevice;
    OnlineUpdater onlineUpdater;
    std::unique_ptr<PluginSettings> settings;

    JUCE_DECLARE_WEAK_REFERENCEABLE (VelmoraAudioProcessor)
    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (VelmoraAudioProcessor)
};
