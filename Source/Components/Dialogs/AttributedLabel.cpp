#include "Components/Dialogs/AttributedLabel.h"

AttributedLabel::AttributedLabel()
{
    attributedString.setJustification (juce::Justification::centred);
    attributedString.setWordWrap (juce::AttributedString::byWord);
}

void AttributedLabel::setText (const juce::String& text)
{
    juce::AttributedString updated;
    updated.setJustification (juce::Justification::centred);
    updated.setWordWrap (juce::AttributedString::byWord);
    updated.append (text, getLookAndFeel().getAlertWindowMessageFont(), findColour (juce::Label::textColourId));
    setAttributedString (updated);
}

void AttributedLabel::setAttributedString (const juce::AttributedString& text)
{
    attributedString = text;
    repaint();
}

void AttributedLabel::paint (juce::Graphics& g)
{
    attributedString.draw (g, getLocalBounds().toFloat());
}
