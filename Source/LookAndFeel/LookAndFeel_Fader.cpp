#include "LookAndFeel/LookAndFeel_Fader.h"

#include "LookAndFeel/SliderTextBox.h"

void LookAndFeel_Fader::drawLinearSlider (juce::Graphics& g, int, int, int, int, float sliderPos, float, float,
                                          juce::Slider::SliderStyle, juce::Slider&)
{
    g.setOpacity (alpha);
    const auto top = (int) (sliderPos - (float) halfCap());
    g.drawImageAt (capImage, 0, top);
}

juce::Label* LookAndFeel_Fader::createSliderTextBox (juce::Slider& slider)
{
    return SliderTextBox::styleBoldValueBox (juce::LookAndFeel_V4::createSliderTextBox (slider));
}

juce::Slider::SliderLayout LookAndFeel_Fader::getSliderLayout (juce::Slider& slider)
{
    const auto half = halfCap();
    juce::Slider::SliderLayout layout;
    layout.sliderBounds = { 0, half, juce::jmax (slider.getWidth(), 0), juce::jmax (slider.getHeight() - 2 * half, 0) };
    layout.textBoxBounds = SliderTextBox::bottomStrip (slider);
    return layout;
}
