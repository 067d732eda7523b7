#pragma once

#include "HostListenerList.h"
#include "KestrunAU.h"

#include <juce_audio_processors/juce_audio_processors.h>

#include <atomic>
#include <memory>

class VelmoraAudioProcessor;

// One instance of the plug-in as the host interface sees it: a processor, its
// editor and the host's listeners. Answers every call but creating, closing
// and idling, which the entry points handle.
class AudioUnitInstance final : private juce::AudioProcessorListener
{
public:
    AudioUnitInstance();
    ~AudioUnitInstance() override;

    int32_t dispatch (int32_t selector, void* args);

private:
    int32_t getProperty (KAUPropertyArgs* args);
    int32_t setProperty (KAUPropertyArgs* args);

    juce::RangedAudioParameter* hostParameter (int32_t index) const;
    int32_t getParameterInfo (KAUParameterInfoArgs* args);
    int32_t getParameter (KAUParameterArgs* args);
    int32_t setParameter (KAUParameterArgs* args);
    int32_t valueToText (KAUParameterTextArgs* args);
    int32_t textToValue (KAUParameterTextArgs* args);

    int32_t addListener (KAUListenerArgs* args);
    int32_t removeListener (KAUListenerArgs* args);
    void audioProcessorParameterChanged (juce::AudioProcessor*, int index, float newValue) override;
    void audioProcessorParameterChangeGestureBegin (juce::AudioProcessor*, int index) override;
    void audioProcessorParameterChangeGestureEnd (juce::AudioProcessor*, int index) override;
    void audioProcessorChanged (juce::AudioProcessor*, const ChangeDetails& details) override;

    int32_t prepare (KAUPrepareArgs* args);
    // Waits for a render in progress; true when the instance was prepared.
    bool stopRendering();
    int32_t unprepare();
    int32_t reset();
    int32_t render (KAURenderArgs* args);
    void process (juce::AudioBuffer<float>& buffer);

    int32_t getState (KAUDataArgs* args);
    int32_t setState (KAUDataArgs* args);
    int32_t getProgramName (KAUProgramArgs* args);

    int32_t createEditor (KAUEditorArgs* args);
    int32_t destroyEditor();
    int32_t getEditorImage (KAUImageArgs* args);
    void deleteEditor();

    std::unique_ptr<VelmoraAudioProcessor> processor;
    std::unique_ptr<juce::AudioProcessorEditor> editor;
    HostListenerList listeners;

    bool prepared = false;
    int maximumFrames = 0;
    std::atomic<bool> bypassed { false };
    juce::AudioBuffer<float> scratch;
    juce::MidiBuffer midi;
};
