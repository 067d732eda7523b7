#include "LookAndFeel/LookAndFeel_PopupMenuWithHeader.h"

namespace
{
void strokeOpenOutline (juce::Graphics& g, const juce::Path& outline, float cornerRadius, juce::Colour colour)
{
    g.setColour (colour);
    g.strokePath (outline.createPathWithRoundedCorners (cornerRadius),
                  juce::PathStrokeType (2.0f, juce::PathStrokeType::mitered, juce::PathStrokeType::butt));
}
} // namespace

void LookAndFeel_PopupMenuWithHeader::drawPopupMenuBackground (juce::Graphics& g, int width, int height)
{
    const auto w = (float) width;
    const auto h = (float) height;

    g.setColour (findColour (juce::PopupMenu::backgroundColourId));
    g.fillRoundedRectangle (0.0f, 0.0f, w, h, 6.0f);

    juce::Path outline;
    outline.startNewSubPath (w, 0.0f);
    outline.lineTo (w, h);
    outline.lineTo (0.0f, h);
    outline.lineTo (0.0f, 0.0f);
    outline.lineTo (w - 30.0f, 0.0f);
    strokeOpenOutline (g, outline, 6.0f, getOutlineColour());
}

void LookAndFeel_PopupMenuWithHeader::drawPopupMenuButtonBorder (juce::Graphics& g, int width, int height)
{
    const auto w = (float) width;
    const auto h = (float) height;

    juce::Path outline;
    outline.startNewSubPath (0.0f, h);
    outline.lineTo (0.0f, 0.0f);
    outline.lineTo (w, 0.0f);
    outline.lineTo (w, h);
    strokeOpenOutline (g, outline, 4.0f, getOutlineColour());
}
