#pragma once

#include <juce_gui_basics/juce_gui_basics.h>

// A slider whose text box shows a name at rest and, while the pointer is over
// it, the value in the value colour.
class SliderComponent : public juce::Slider
{
public:
    SliderComponent() : juce::Slider (juce::String()) {}

    void mouseEnter (const juce::MouseEvent&) override;
    void mouseExit (const juce::MouseEvent&) override;
    juce::String getTextFromValue (double value) override;

    void updateLabel();
    juce::Label* getLabel() const;

    bool showValue = false;
    bool valueOnHover = false;
    juce::String labelText;
    juce::Colour valueColour { 0xFFFFFFFF };
};
