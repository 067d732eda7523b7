#pragma once

#include <juce_gui_basics/juce_gui_basics.h>

// A centred, word-wrapped text of several lines, drawn over the whole component.
class AttributedLabel : public juce::Component
{
public:
    AttributedLabel();

    // Centred, in the style's alert-window message font and this component's
    // label text colour.
    void setText (const juce::String& text);
    const juce::AttributedString& getAttributedString() const noexcept { return attributedString; }
    juce::String getText() const { return attributedString.getText(); }

    // For texts that need another font or colour than setText gives.
    void setAttributedString (const juce::AttributedString& text);

    void paint (juce::Graphics& g) override;

private:
    juce::AttributedString attributedString;

    JUCE_DECLARE_NON_COPYABLE (AttributedLabel)
};
