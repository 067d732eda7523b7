#include "Components/Face/Fader.h"

#include <cmath>

juce::String Fader::levelText (double value)
{
    if (value == 0.0)
        return juce::String::fromUTF8 ("-\xe2\x88\x9e");
    return juce::String (20.0 * std::log10 (value / 127.0), 1);
}

void Fader::init (ImageSelector cap)
{
    lookAndFeel->capImage = cap.getImage();
    component->setLookAndFeel (lookAndFeel.get());
    component->setSliderStyle (juce::Slider::LinearVertical);
    component->setTextBoxStyle (juce::Slider::TextBoxBelow, true, 20, 20);
    component->valueColour = juce::Colour (valueColour);
}

void Fader::setLabel (const juce::String& name)
{
    component->textFromValueFunction = levelText;
    component->setTextValueSuffix (" dB");
    component->labelText = name;
    component->updateLabel();
    component->valueOnHover = true;
    component->updateLabel();
}

void Fader::postInit()
{
    component->updateLabel();
}
