#include "LightPainter.h"

namespace LightPainter
{
void paintLight (Canvas& c, float size, std::uint32_t core, bool lit)
{
    const auto centre = juce::Point<float> (size, size) * 0.5f;
    Drawing::lens (c, centre, size * 0.5f - 1.5f, Drawing::colour (core), lit);
}

void paintSegment (Canvas& c, float width, std::uint32_t core, bool lit)
{
    // Rows 0 and 12 stay clear: stacked with one row of overlap, the segments
    // are separated by a one-pixel gap.
    auto& g = c.g;
    const juce::Rectangle<float> body (1.0f, 1.0f, width - 2.0f, 11.0f);
    const auto colour = Drawing::colour (core);

    g.setColour (colour);
    g.fillRoundedRectangle (body, 1.5f);

    juce::Graphics::ScopedSaveState saved (g);
    g.reduceClipRegion (body.toNearestInt());
    g.setGradientFill (juce::ColourGradient (juce::Colours::white.withAlpha (lit ? 0.35f : 0.08f), 0.0f, 1.0f,
                                             juce::Colours::white.withAlpha (0.0f), 0.0f, 4.0f, false));
    g.fillRect (body.withHeight (3.0f));
    g.setGradientFill (juce::ColourGradient (juce::Colours::black.withAlpha (0.0f), 0.0f, 9.0f,
                                             juce::Colours::black.withAlpha (0.35f), 0.0f, 12.0f, false));
    g.fillRect (body.withTop (9.0f));
    g.setColour (colour.darker (0.7f).withAlpha (0.8f));
    g.drawRoundedRectangle (body.reduced (0.5f), 1.5f, 1.0f);
}

void paintPeakWindow (Canvas& c, std::uint32_t glass, std::uint32_t frame)
{
    // The text is the window's own; the picture is glass and frame. The gloss
    // stays in the top rows so the glass below keeps its exact colour.
    auto& g = c.g;
    const juce::Rectangle<float> all (0.0f, 0.0f, 60.0f, 24.0f);
    g.setColour (Drawing::colour (glass));
    g.fillRoundedRectangle (all.reduced (0.5f), 3.5f);

    g.setGradientFill (juce::ColourGradient (juce::Colours::white.withAlpha (0.07f), 0.0f, 1.0f,
                                             juce::Colours::white.withAlpha (0.0f), 0.0f, 2.0f, false));
    g.fillRect (all.reduced (2.0f, 1.0f).withHeight (1.0f));

    g.setColour (Drawing::colour (frame));
    g.drawRoundedRectangle (all.reduced (0.5f), 3.5f, 1.0f);
}

void paintMenuButton (Canvas& c, bool hover)
{
    auto& g = c.g;
    if (hover)
    {
        g.setColour (juce::Colours::white.withAlpha (0.1f));
        g.fillRoundedRectangle (juce::Rectangle<float> (1.0f, 1.0f, 29.0f, 23.0f), 4.0f);
    }

    g.setColour (juce::Colours::white.withAlpha (hover ? 1.0f : 0.78f));
    for (const auto y : { 7.0f, 12.0f, 17.0f })
        g.fillRoundedRectangle (juce::Rectangle<float> (7.0f, y, 17.0f, 2.0f), 1.0f);
}

void paintCheck (Canvas& c)
{
    juce::Path tick;
    tick.startNewSubPath (1.2f, 7.2f);
    tick.lineTo (4.0f, 10.4f);
    tick.lineTo (8.8f, 2.4f);
    c.g.setColour (juce::Colours::white);
    c.g.strokePath (tick, juce::PathStrokeType (1.8f, juce::PathStrokeType::curved, juce::PathStrokeType::rounded));
}

void paintScrollArrow (Canvas& c, bool up)
{
    juce::Path arrow;
    if (up)
        arrow.addTriangle (0.0f, 4.0f, 10.0f, 4.0f, 5.0f, 0.0f);
    else
        arrow.addTriangle (0.0f, 0.0f, 10.0f, 0.0f, 5.0f, 4.0f);
    c.g.setColour (juce::Colours::white.withAlpha (0.85f));
    c.g.fillPath (arrow);
}
} // namespace LightPainter
