#include "LookAndFeel/LookAndFeel_Slider.h"

#include "LookAndFeel/SliderTextBox.h"

LookAndFeel_Slider::LookAndFeel_Slider()
{
    setColour (juce::Slider::trackColourId, juce::Colour (0x00000000));
    setColour (juce::Slider::thumbColourId, juce::Colour (0x00000000));
}

void LookAndFeel_Slider::drawRotarySlider (juce::Graphics& g, int, int, int width, int height, float sliderPosProportional,
                                           float rotaryStartAngle, float rotaryEndAngle, juce::Slider& slider)
{
    if (knobImage.isValid())
    {
        juce::AffineTransform stretch;
        if (knobImage.getWidth() > 0 && knobImage.getHeight() > 0)
            stretch = juce::AffineTransform::scale ((float) slider.getWidth() / (float) knobImage.getWidth(),
                                                    (float) slider.getHeight() / (float) knobImage.getHeight());
        g.drawImageTransformed (knobImage, stretch);
    }

    const auto angle = rotaryStartAngle + sliderPosProportional * (rotaryEndAngle - rotaryStartAngle);
    g.drawImageTransformed (markerImage,
                            juce::AffineTransform::rotation (angle, (float) width * 0.5f, (float) height * 0.5f));
}

juce::Label* LookAndFeel_Slider::createSliderTextBox (juce::Slider& slider)
{
    return SliderTextBox::styleBoldValueBox (juce::LookAndFeel_V4::createSliderTextBox (slider));
}

juce::Slider::SliderLayout LookAndFeel_Slider::getSliderLayout (juce::Slider& slider)
{
    juce::Slider::SliderLayout layout;
    layout.sliderBounds = { 0, 0, slider.getWidth(), slider.getHeight() };
    layout.textBoxBounds = SliderTextBox::bottomStrip (slider);
    return layout;
}
