#pragma once

#include <juce_gui_basics/juce_gui_basics.h>

// The plug-in's default style: a very dark, slightly warm scheme with
// translucent white text and outlines and the carried Fira Sans faces. One
// instance per process, shared by all open editors and installed as default.
class LookAndFeel_Custom : public juce::LookAndFeel_V4
{
public:
    static const juce::LookAndFeel_V4::ColourScheme colourScheme;

    LookAndFeel_Custom();

    void drawButtonBackground (juce::Graphics&, juce::Button&, const juce::Colour& backgroundColour,
                               bool shouldDrawButtonAsHighlighted, bool shouldDrawButtonAsDown) override;
    juce::Font getTextButtonFont (juce::TextButton&, int buttonHeight) override;
    int getAlertWindowButtonHeight() override;
    juce::Font getAlertWindowTitleFont() override;
    juce::Font getAlertWindowMessageFont() override;
    juce::Font getAlertWindowFont() override;
    void drawPopupMenuBackground (juce::Graphics&, int width, int height) override;
    juce::Font getPopupMenuFont() override;
    juce::Font getComboBoxFont (juce::ComboBox&) override;
    void drawTooltip (juce::Graphics&, const juce::String& text, int width, int height) override;
};
