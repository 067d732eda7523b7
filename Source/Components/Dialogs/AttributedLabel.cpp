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

namespace
{
// The same runs with every font scaled.
juce::AttributedString scaled (const juce::AttributedString& text, float factor)
{
    juce::AttributedString result;
    result.setJustification (text.getJustification());
    result.setWordWrap (text.getWordWrap());
    result.setReadingDirection (text.getReadingDirection());
    result.setLineSpacing (text.getLineSpacing());

    for (int i = 0; i < text.getNumAttributes(); ++i)
    {
        const auto& attribute = text.getAttribute (i);
        result.append (text.getText().substring (attribute.range.getStart(), attribute.range.getEnd()),
                       attribute.font.withHeight (attribute.font.getHeight() * factor), attribute.colour);
    }

    return result;
}

// The framework wraps lines only between words: a word wider than a line (a
// file's path) gets line breaks of its own.
juce::String breakLongWords (const juce::String& text, const juce::Font& font, float width)
{
    juce::String result, word;

    const auto flush = [&]
    {
        juce::String piece;
        for (auto c : word)
        {
            if (piece.isNotEmpty() && font.getStringWidthFloat (piece + juce::String::charToString (c)) > width)
            {
                result << piece << "\n";
                piece.clear();
            }
            piece += juce::String::charToString (c);
        }
        result << piece;
        word.clear();
    };

    for (auto c : text)
    {
        if (juce::CharacterFunctions::isWhitespace (c))
        {
            flush();
            result += juce::String::charToString (c);
        }
        else
        {
            word += juce::String::charToString (c);
        }
    }

    flush();
    return result;
}
} // namespace

void AttributedLabel::paint (juce::Graphics& g)
{
    // Too wide a word is broken, and too tall a text is drawn smaller, down to 60 %.
    constexpr float minimumScale = 0.6f;
    const auto bounds = getLocalBounds().toFloat();
    auto text = attributedString;
    juce::TextLayout layout;
    layout.createLayout (text, bounds.getWidth());

    if (layout.getWidth() > bounds.getWidth() + 0.5f && text.getNumAttributes() == 1)
    {
        const auto& attribute = text.getAttribute (0);
        juce::AttributedString broken;
        broken.setJustification (text.getJustification());
        broken.setWordWrap (text.getWordWrap());
        broken.append (breakLongWords (text.getText(), attribute.font, bounds.getWidth()), attribute.font, attribute.colour);
        text = broken;
        layout.createLayout (text, bounds.getWidth());
    }

    auto factor = 1.0f;
    for (int step = 0; step < 3 && layout.getHeight() > bounds.getHeight() && factor > minimumScale; ++step)
    {
        factor = juce::jmax (minimumScale, factor * bounds.getHeight() / layout.getHeight());
        layout.createLayout (scaled (text, factor), bounds.getWidth());
    }

    layout.draw (g, bounds);
}
