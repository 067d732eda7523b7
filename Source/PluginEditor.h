#pragma once

#include <juce_audio_processors/juce_audio_processors.h>

class VelmoraAudioProcessor;

// The plug-in window: a fixed 480 x 540 picture of the pedal.
class VelmoraAudioProcessorEditor : public juce::AudioProcessorEditor
{
public:
    static constexpr int editorWidth = 480;
    static constexpr int editorHeight = 540;

    explicit VelmoraAudioProcessorEditor (VelmoraAudioProcessor& processor);
    ~VelmoraAudioProcessorEditor() override;

    void paint (juce::Graphics& g) override;

private:
    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (VelmoraAudioProcessorEditor)
};
