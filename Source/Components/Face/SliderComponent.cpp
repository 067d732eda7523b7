#include "Components/Face/SliderComponent.h"

#include "LookAndFeel/SpecialFonts.h"

void SliderComponent::mouseEnter (const juce::MouseEvent& event)
{
    if (valueOnHover)
    {
        showValue = true;
        updateLabel();
    }
    juce::Slider::mouseEnter (event);
}

void SliderComponent::mouseExit (const juce::MouseEvent& event)
{
    if (valueOnHover)
    {
        showValue = false;
        updateLabel();
    }
    juce::Slider::mouseExit (event);
}

juce::String SliderComponent::getTextFromValue (double value)
{
    return showValue ? juce::Slider::getTextFromValue (value) : labelText;
}

juce::Label* SliderComponent::getLabel() const
{
    for (auto* child : getChildren())
        if (auto* label = dynamic_cast<juce::Label*> (child))
            return label;
    return nullptr;
}

void SliderComponent::updateLabel()
{
    auto* label = getLabel();
    if (label == nullptr)
        return;

    label->setFont (showValue ? getHelveticaNeueBoldFont (12.0f) : getHelveticaNeueRomanFont (12.0f));
    label->setColour (juce::Label::textColourId, showValue ? valueColour : juce::Colour (0xFFFFFFFF));
    label->setColour (juce::Label::outlineColourId, juce::Colour (0x00000000));
    label->setText (getTextFromValue (getValue()), juce::dontSendNotification);
}
