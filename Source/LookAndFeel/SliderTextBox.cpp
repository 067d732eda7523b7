#include "LookAndFeel/SliderTextBox.h"

#include "LookAndFeel/SpecialFonts.h"

namespace SliderTextBox
{
juce::Label* styleBoldValueBox (juce::Label* label)
{
    auto font = getFiraSansBoldFont();
    if (font.getHeight() != 17.0f)
        font.setHeight (17.0f);
    label->setFont (font);
    return label;
}

juce::Rectangle<int> bottomStrip (const juce::Slider& slider)
{
    if (slider.getTextBoxPosition() == juce::Slider::NoTextBox)
        return {};

    const auto height = juce::jmin (slider.getTextBoxHeight(), slider.getHeight());
    return { 0, slider.getHeight() - height, slider.getWidth(), height };
}
} // namespace SliderTextBox
