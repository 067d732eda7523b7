#pragma once

#include <juce_gui_basics/juce_gui_basics.h>

// The footswitch: a picture of the switch up or down, stretched over the button.
// forceDown shows it pressed whatever the mouse does (the pedal's own switch state).
class FootswitchButtonEx : public juce::Button
{
public:
    FootswitchButtonEx() : juce::Button (juce::String()) {}

    void paintButton (juce::Graphics&, bool shouldDrawButtonAsHighlighted, bool shouldDrawButtonAsDown) override;

    juce::Image upImage;
    juce::Image downImage;
    bool forceDown = false;
};
