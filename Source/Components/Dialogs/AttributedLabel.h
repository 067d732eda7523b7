#pragma once

#include <juce_gui_basics/juce_gui_basics.h>

// A centred, word-wrapped text of several lines, drawn over the whole component.
// A word wider than a line (a file's path) is broken after its folder
// separators; only a single name wider than a line is broken inside. A text
// still too tall for the component is drawn smaller, down to 60 %; the dialogs
// give their texts room enough that this never happens.
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

    // The text as it is drawn at the present size: with the line breaks added
    // to words wider than a line, and the factor its fonts are scaled by.
    juce::String getDrawnText() const { return fitted().text.getText(); }
    float getDrawnScale() const { return fitted().scale; }

    void paint (juce::Graphics& g) override;

private:
    struct Fitted
    {
        juce::AttributedString text;
        float scale = 1.0f;
    };

    Fitted fitted() const;

    juce::AttributedString attributedString;

    JUCE_DECLARE_NON_COPYABLE (AttributedLabel)
};
