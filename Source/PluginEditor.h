#pragma once

#include "Devices/UsbDeviceClient.h"

#include <juce_audio_processors/juce_audio_processors.h>

class VelmoraAudioProcessor;

// The update notice's style: a translucent dark rounded box, faintly tinted
// with the button colour, the tint growing under the mouse and when pressed.
class LookAndFeel_HighlightButton : public juce::LookAndFeel_V4
{
public:
    void drawButtonBackground (juce::Graphics&, juce::Button&, const juce::Colour& backgroundColour,
                               bool shouldDrawButtonAsHighlighted, bool shouldDrawButtonAsDown) override;
    juce::Font getTextButtonFont (juce::TextButton&, int buttonHeight) override;
};

// The plug-in window: a fixed 480 x 540 picture of the pedal.
class VelmoraAudioProcessorEditor : public juce::AudioProcessorEditor,
                                    public UsbDeviceClient::ClientListener,
                                    private juce::ChangeListener
{
public:
    static constexpr int editorWidth = 480;
    static constexpr int editorHeight = 540;

    explicit VelmoraAudioProcessorEditor (VelmoraAudioProcessor& processor);
    ~VelmoraAudioProcessorEditor() override;

    void paint (juce::Graphics& g) override;
    void deviceConnected() override;

private:
    void changeListenerCallback (juce::ChangeBroadcaster*) override { repaint(); }

    VelmoraAudioProcessor& processor;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (VelmoraAudioProcessorEditor)
};
