#include "Components/Face/Knob.h"

#include <cmath>

juce::String Knob::percentText (double value)
{
    return juce::String ((int) std::lround (value / 127.0 * 100.0));
}

void Knob::init (ImageSelector knob, ImageSelector marker)
{
    lookAndFeel->knobImage = knob.getImage();
    lookAndFeel->markerImage = marker.getImage();
    component->setLookAndFeel (lookAndFeel.get());
    component->setSliderStyle (juce::Slider::Rotary);
    component->setTextBoxStyle (juce::Slider::NoTextBox, true, 0, 0);
}

void Knob::setLabel (const juce::String& name)
{
    component->setTextBoxStyle (juce::Slider::TextBoxBelow, true, 0, 20);
    component->textFromValueFunction = percentText;
    component->labelText = name;
    component->updateLabel();
    component->valueOnHover = true;
    component->updateLabel();
}

void Knob::postInit()
{
    component->updateLabel();
}
