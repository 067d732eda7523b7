#pragma once

#include "Devices/Audio/PedalAudioFade.h"
#include "Devices/DeviceModes.h"
#include "Devices/UsbDevice.h"
#include "Devices/UsbDeviceClient.h"
#include "Devices/UsbDeviceDriver.h"
#include "Devices/UsbDeviceManager.h"
#include "Settings/PluginSettings.h"
#include "State/PendingDevice.h"
#include "State/PublishedState.h"
#include "State/StateArbiter.h"
#include "State/StateChunk.h"
#include "Updates/OnlineUpdater.h"
#include "Utilities/AudioThreadGuard.h"
#include "Utilities/AudioValue.h"
#include "Parameters/AudioValueTreeState.h"
#include "Parameters/PedalControllers.h"
#include "Presets/PresetFormat.h"
#include "Utilities/CircularAudioBuffer.h"

#include <juce_audio_processors/juce_audio_processors.h>
#include <atomic>
#include <mutex>
#include <optional>

// The object a host creates for every plug-in instance. It owns the parameter
// store, the programs and the host state, and the link to one pedal.
class VelmoraAudioProcessor : public juce::AudioProcessor,
                              public AudioValueTreeState::Listener,
                              public juce::MultiTimer,
                              public UsbDevice::Holder,
                              public UsbDeviceDriver::Listener,
                              public UsbBaseDeviceManager<UsbDevice>::Listener,
                              public UsbDeviceClient::ClientListener,
                              public juce::ChangeBroadcaster,
                              private juce::AsyncUpdater
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
    // Dry audio played while the pedal should carry it, before the failure is logged.
    static constexpr double fallbackReportSeconds = 0.5;

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

    //==============================================================================
    UsbDevice* getDevice() override { return currentDevice; }
    void parameterChanged (AudioValueTreeState::Parameter* parameter, int value, int controllerNumber) override;
    bool updateExtraParameters() override;
    void incomingMidiMessage (SysexMessage& message) override;
    void deviceStatusChanged (UsbDeviceDriver* driver) override;
    void deviceAdded (UsbDevice* device) override;
    void deviceRemoved (UsbDevice* device) override;
    void deviceConnected() override;
    using UsbDeviceDriver::Listener::deviceConnected;
    using UsbDeviceDriver::Listener::incomingMidiMessage;
    void timerCallback (int timerId) override;
    void latencyChanged (int latencySamples) override;

    //==============================================================================
    // Attaches to the pedal of that name, or changes how the current pedal is used.
    void setUsbDevice (juce::StringRef name, Mode mode, ChannelSetting channel, PedalModeConfig leg);

    // Detaches this instance from its pedal; the pedal's last client releases it.
    void disconnectUsbClient();

    // Sends the whole state to the pedal as one preset record.
    void sendStateToDevice();

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
    UsbDeviceClient* getUsbClient() const noexcept { return usbClient; }
    // The attachment's channel setting; none before the first attach and after a detach.
    std::optional<ChannelSetting> getChannelSetting() const noexcept { return channelSetting.load(); }
    int getLedState() const noexcept { return ledState.load(); }
    bool isPresetModified() const noexcept { return presetModified; }
    bool isAwaitingHostState() const noexcept { return stateArbiter.isAwaitingHostState(); }
    StateArbiter& getStateArbiter() noexcept { return stateArbiter; }
    const PresetFormat& getDefaultPreset() const noexcept { return defaultPreset; }
    juce::OwnedArray<PresetFormat>& getFirstPresets() noexcept { return firstPresets; }
    juce::OwnedArray<PresetFormat>& getUserPresets() noexcept { return userPresets; }
    // The block size the host last prepared with.
    int getHostBlockSize() const noexcept { return blockSize.load(); }
    // The latency last reported to the host, in samples; any thread.
    int getReportedLatency() const noexcept { return reportedLatency.load(); }
    PluginSettings* getSettings() const noexcept { return settings.get(); }
    OnlineUpdater& getOnlineUpdater() noexcept { return onlineUpdater; }
    PendingDevice& getPendingDevice() noexcept { return pendingDevice; }
    UsbBaseDeviceManager<UsbDevice>& getDeviceManager() noexcept { return *deviceManager; }

private:
    using Parameter = AudioValueTreeState::Parameter;

    // Takes no lock: a host's audio thread may ask.
    bool isMessageThread() const noexcept { return valueTreeState.isMessageThread(); }

    void createParameters();
    void openSettings();
    void loadUserPresets();

    // The host's audio: the buffers the block processing works in, built
    // outside the callback lock and published under it.
    struct AudioBuffers
    {
        AudioBuffers (int blockSize, int largestLatency);

        CircularAudioBuffer dryBuffer;       // the dry delay line
        juce::AudioBuffer<float> dryBlock;   // the delayed dry signal of one piece
        juce::AudioBuffer<float> monoBuffer; // what mono use sends through the pedal
        juce::AudioBuffer<float> gains;      // per sample while the pedal's audio fades: its share, the dry share
        const int blockSize;                 // host blocks are taken in pieces of at most this

        bool fits (int latency) const noexcept { return latency + blockSize < dryBuffer.getCapacity(); }
    };

    void processBlockEx (juce::AudioBuffer<float>& buffer, juce::MidiBuffer& midi, bool bypassed);
    void processPiece (juce::AudioBuffer<float>& block, AudioBuffers& buffers, bool bypassed) noexcept;
    AudioIODeviceSource* routeThroughPedal (juce::AudioBuffer<float>& block, AudioBuffers& buffers) noexcept;
    bool readDelayedDry (float* const* dest, int numChannels, AudioBuffers& buffers, int numSamples) noexcept;
    void mixDry (juce::AudioBuffer<float>& block, AudioBuffers& buffers, float wet0, float wet1, float dry0, float dry1) noexcept;
    void mixDryPerSample (juce::AudioBuffer<float>& block, AudioBuffers& buffers, float a0, float a1, float d0, float d1) noexcept;

    void prepareClient (double rate, int block);
    void handleAsyncUpdate() override;
    void rememberRecentSettings();
    int estimateLatency (int hostBlock) const noexcept;
    int computeLatency();
    void reportLatency();
    void reportLatency (int latency);
    void ensureDryCapacity (int latency);
    void tellHostLatency();
    void watchPedalAudio();
    juce::String describeAudioFailure();

    // Detaches as disconnectUsbClient does, without telling the host; false when nothing was attached.
    bool detachFromPedal();
    void detachClient();
    void closePedalLink (UsbDevice& device, bool sendRelease);
    void applyControllerPairs (const SysexMessage& message);
    const PresetFormat* findPreset (int index) const;

    StateChunk::Contents currentContents() const;
    std::optional<StateChunk::Device> deviceForOtherThreads() const;
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
    PedalControllers pedalControllers;

    Parameter* dacLParameter = nullptr;
    Parameter* dacRParameter = nullptr;
    Parameter* mixWetParameter = nullptr;
    Parameter* bypassParameter = nullptr;
    Parameter* presetParameter = nullptr;

    UsbDevice* currentDevice = nullptr;
    UsbDeviceClient* usbClient = nullptr;
    juce::SharedResourcePointer<UsbBaseDeviceManager<UsbDevice>> deviceManager;

    // What the host audio thread may use; cleared before anything it points to
    // goes. A host's preparing thread reaches the client inside a guard of its own.
    std::atomic<UsbDeviceClient*> audioClient { nullptr };
    std::atomic<UsbDevice*> audioDevice { nullptr };
    AudioThreadGuard hostAudioGuard, prepareGuard;

    // Read by hosts asking for the state on their own threads.
    std::atomic<std::optional<ChannelSetting>> channelSetting { std::nullopt };
    static_assert (std::atomic<std::optional<ChannelSetting>>::is_always_lock_free);
    std::atomic<int> ledState { 0 };
    // Written by the host's thread when it prepares, read on the message thread.
    std::atomic<bool> prepared { false };
    std::atomic<double> sampleRate { 44100.0 };
    std::atomic<int> blockSize { 512 };
    AudioMute muteGain;
    AudioSmoothedValue wetGain { 0.1f };
    PedalAudioFade pedalFade; // the audio thread's

    // Built by preparing threads and the message thread, one at a time.
    std::mutex audioBuffersBuilding;
    std::unique_ptr<AudioBuffers> audioBuffers;
    // The latency the dry path is delayed by: the audio thread's, and a
    // prepare's under the callback lock.
    int dryLatency = 0;
    std::atomic<int> reportedLatency { 0 };
    std::mutex latencyTelling;
    // The recent settings' "blockSize", "inAdjust", "outAdjust" and
    // "extraLatency", for a latency estimate off the message thread.
    std::atomic<uint64_t> recentSettings { 0 };
    // Samples in a row that played dry while the pedal should carry the audio.
    std::atomic<int> samplesWithoutPedalAudio { 0 };
    bool audioFallbackLogged = false;

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
