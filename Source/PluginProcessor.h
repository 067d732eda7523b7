#pragma once

#include "Utilities/AudioValue.h"
#include "Utilities/AudioValueTreeState.h"

#include <juce_audio_processors/juce_audio_processors.h>
#include <atomic>

// The object a host creates for every plug-in instance. It owns the parameter
// store, the programs and the host state, and answers the host's questions.
class VelmoraAudioProcessor : public juce::AudioProcessor,
                              public AudioValueTreeState::Listener,
                              public juce::MultiTimer,
                              public juce::ChangeBroadcaster
{
public:
    static constexpr const char* pluginName = "Pellion";
    static constexpr const char* pluginVersionString = "0.2.0";
    static constexpr int pluginVersionCode = 0x200;

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

    void getStateInformation (juce::MemoryBlock& destData) override;
    void setStateInformation (const void* data, int sizeInBytes) override;

    //==============================================================================
    void parameterChanged (AudioValueTreeState::Parameter* parameter, int value, int controllerNumber) override;
    bool updateExtraParameters() override;
    void timerCallback (int timerId) override;

    enum TimerIds
    {
        reconnectTimerId = 1,
        updateCheckTimerId = 2
    };

    //==============================================================================
    AudioValueTreeState& getValueTreeState() noexcept { return valueTreeState; }

    // Applies a state chunk; message thread only.
    void setMemBlockStateInformation (const juce::MemoryBlock& block);

private:
    using Parameter = AudioValueTreeState::Parameter;

    Parameter* addToggleParameter (const juce::String& id, const juce::String& name, int controllerNumber,
                                   bool modifiesPreset, bool automatable);
    Parameter* addLevelParameter (const juce::String& id, const juce::String& name, int controllerNumber,
                                  bool modifiesPreset, bool automatable, int defaultValue);
    Parameter* adoptParameter (std::unique_ptr<Parameter> parameter);
    void createParameters();

    //==============================================================================
    AudioValueTreeState valueTreeState;
    juce::OwnedArray<Parameter> ownedParameters;

    Parameter* dacLParameter = nullptr;
    Parameter* dacRParameter = nullptr;
    Parameter* mixWetParameter = nullptr;
    Parameter* bypassParameter = nullptr;

    int channelSetting = -1;
    bool prepared = false;
    double sampleRate = 44100.0;
    int blockSize = 512;
    AudioMute muteGain;
    AudioSmoothedValue wetGain { 0.1f };

    int currentProgram = 0;
    bool presetModified = false;
    juce::String programName { "Default" };
    std::atomic<int> internalUpdateDepth { 0 };

    JUCE_DECLARE_WEAK_REFERENCEABLE (VelmoraAudioProcessor)
    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (VelmoraAudioProcessor)
};
