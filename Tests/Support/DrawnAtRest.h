#pragma once

#include "Components/Dialogs/AttributedLabel.h"

#include <juce_gui_basics/juce_gui_basics.h>

// What a picture of the component would show wrongly: a button drawn held down
// when nobody holds it, or a text drawn smaller than its font. Empty when a
// picture may be taken.
inline juce::StringArray notAtRest (juce::Component& component)
{
    juce::StringArray found;

    if (auto* button = dynamic_cast<juce::Button*> (&component); button != nullptr && button->getState() == juce::Button::buttonDown)
        found.add ("\"" + button->getButtonText() + "\" drawn held down");

    if (auto* label = dynamic_cast<AttributedLabel*> (&component); label != nullptr && label->isVisible() && label->getDrawnScale() < 1.0f)
        found.add ("drawn at " + juce::String (juce::roundToInt (label->getDrawnScale() * 100.0f)) + " % of its font: " + label->getText());

    for (auto* child : component.getChildren())
        found.addArray (notAtRest (*child));

    return found;
}
