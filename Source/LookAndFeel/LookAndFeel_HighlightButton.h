#pragma once

#include <juce_gui_basics/juce_gui_basics.h>

// The update notice's style: a translucent dark rounded box, faintly tinted
// with the button colour, the tint growing under the mouse and when pressed.
class LookAndFeel_HighlightButton : public juce::LookAndFeel_V4
{
public:
    void drawButtonBackground (juce::Graphics&, juce::Button&, const juce::Colour& backgroundColour,
                               bool shouldDrawButtonAsHighlighted, bool shouldDrawButtonAsDown) override;
    juce::Font getTextButtonFont (juce::TextButton&, int buttonHeight) override;
};
