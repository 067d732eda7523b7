#pragma once

#include <juce_gui_basics/juce_gui_basics.h>

// The mix knob: a fixed knob picture stretched over the slider and a marker
// picture that turns with the value about the slider's centre.
class LookAndFeel_Slider : public juce::LookAndFeel_V4
{
public:
    LookAndFeel_Slider();

    void drawRotarySlider (juce::Graphics&, int x, int y, int width, int height, float sliderPosProportional,
                           float rotaryStartAngle, float rotaryEndAngle, juce::Slider&) override;
    juce::Label* createSliderTextBox (juce::Slider&) override;
    juce::Slider::SliderLayout getSliderLayout (juce::Slider&) override;

    juce::Image markerImage;
    juce::Image knobImage;
};
