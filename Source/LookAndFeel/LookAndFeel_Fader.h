#pragma once

#include <juce_gui_basics/juce_gui_basics.h>

// A level fader drawn as its cap picture alone, sliding over the face. The
// slider's travel is inset by half a cap at each end so the cap never leaves
// the component.
class LookAndFeel_Fader : public juce::LookAndFeel_V4
{
public:
    void drawLinearSlider (juce::Graphics&, int x, int y, int width, int height, float sliderPos, float minSliderPos,
                           float maxSliderPos, juce::Slider::SliderStyle, juce::Slider&) override;
    juce::Label* createSliderTextBox (juce::Slider&) override;
    juce::Slider::SliderLayout getSliderLayout (juce::Slider&) override;

    juce::Image capImage;
    float alpha = 1.0f;

private:
    int halfCap() const noexcept { return capImage.isValid() ? capImage.getHeight() / 2 : 0; }
};
