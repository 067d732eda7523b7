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

bool isFolderSeparator (juce::juce_wchar c)
{
    return c == '/' || c == '\\';
}

// A word wider than the line, in lines: broken after folder separators, so
// that each line ends with a whole folder name; a name wider than a line by
// itself is broken between characters.
juce::String breakWord (const juce::String& word, const juce::Font& font, float width)
{
    const auto fits = [&font, width] (const juce::String& s) { return font.getStringWidthFloat (s) <= width; };

    juce::StringArray parts;
    juce::String part;
    for (auto c : word)
    {
        part += c;
        if (isFolderSeparator (c))
        {
            parts.add (part);
            part.clear();
        }
    }
    if (part.isNotEmpty())
        parts.add (part);

    juce::StringArray lines;
    juce::String line;
    const auto endLine = [&lines, &line]
    {
        if (line.isNotEmpty())
            lines.add (line);
        line.clear();
    };

    for (const auto& p : parts)
    {
        if (fits (line + p))
        {
            line += p;
            continue;
        }

        endLine();
        if (fits (p))
        {
            line = p;
            continue;
        }

        for (auto c : p)
        {
            if (line.isNotEmpty() && ! fits (line + juce::String::charToString (c)))
                endLine();
            line += c;
        }
    }

    endLine();
    return lines.joinIntoString ("\n");
}

// The framework wraps lines only between words: a word wider than a line gets
// line breaks of its own.
juce::String breakLongWords (const juce::String& text, const juce::Font& font, float width)
{
    juce::String result, word;

    const auto flush = [&]
    {
        result << (font.getStringWidthFloat (word) > width ? breakWord (word, font, width) : word);
        word.clear();
    };

    for (auto c : text)
    {
        if (juce::CharacterFunctions::isWhitespace (c))
        {
            flush();
            result += c;
        }
        else
        {
            word += c;
        }
    }

    flush();
    return result;
}
} // namespace

AttributedLabel::Fitted AttributedLabel::fitted() const
{
    constexpr float minimumScale = 0.6f;
    const auto width = (float) getWidth();
    const auto height = (float) getHeight();

    Fitted result { attributedString, 1.0f };
    juce::TextLayout layout;
    layout.createLayout (result.text, width);

    if (layout.getWidth() > width + 0.5f && result.text.getNumAttributes() == 1)
    {
        const auto& attribute = result.text.getAttribute (0);
        juce::AttributedString broken;
        broken.setJustification (result.text.getJustification());
        broken.setWordWrap (result.text.getWordWrap());
        broken.append (breakLongWords (result.text.getText(), attribute.font, width), attribute.font, attribute.colour);
        result.text = broken;
        layout.createLayout (result.text, width);
    }

    for (int step = 0; step < 3 && layout.getHeight() > height && result.scale > minimumScale; ++step)
    {
        result.scale = juce::jmax (minimumScale, result.scale * height / layout.getHeight());
        layout.createLayout (scaled (result.text, result.scale), width);
    }

    return result;
}

void AttributedLabel::paint (juce::Graphics& g)
{
    const auto text = fitted();
    juce::TextLayout layout;
    layout.createLayout (text.scale < 1.0f ? scaled (text.text, text.scale) : text.text, (float) getWidth());
    layout.draw (g, getLocalBounds().toFloat());
}
