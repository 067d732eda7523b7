#include "PluginEditor.h"

#include "PluginProcessor.h"

VelmoraAudioProcessorEditor::VelmoraAudioProcessorEditor (VelmoraAudioProcessor& p)
    : juce::AudioProcessorEditor (p), processor (p)
{
    setSize (editorWidth, editorHeight);
    processor.addChangeListener (this);
}

VelmoraAudioProcessorEditor::~VelmoraAudioProcessorEditor()
{
    processor.removeChangeListener (this);

    if (auto* client = processor.getUsbClient())
        client->removeListener (this);
}

void VelmoraAudioProcessorEditor::paint (juce::Graphics& g)
{
    g.fillAll (juce::Colour (0xff202124));
}

void VelmoraAudioProcessorEditor::deviceConnected()
{
    repaint();
}
