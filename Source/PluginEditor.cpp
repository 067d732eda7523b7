#include "PluginEditor.h"

#include "PluginProcessor.h"

VelmoraAudioProcessorEditor::VelmoraAudioProcessorEditor (VelmoraAudioProcessor& p)
    : juce::AudioProcessorEditor (p)
{
    setSize (editorWidth, editorHeight);
}

VelmoraAudioProcessorEditor::~VelmoraAudioProcessorEditor() = default;

void VelmoraAudioProcessorEditor::paint (juce::Graphics& g)
{
    g.fillAll (juce::Colour (0xff202124));
}
