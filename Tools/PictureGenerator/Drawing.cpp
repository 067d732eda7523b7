#include "Drawing.h"

bool PictureFonts::load (const juce::File& folder)
{
    auto read = [&folder] (const char* name) -> juce::Typeface::Ptr
    {
        juce::MemoryBlock data;
        if (! folder.getChildFile (name).loadFileAsData (data) || data.getSize() == 0)
            return nullptr;
        return juce::Typeface::createSystemTypefaceFor (data.getData(), data.getSize());
    };

    regular = read ("Inter-Regular.otf");
    medium = read ("Inter-Medium.otf");
    bold = read ("Inter-Bold.otf");
    return regular != nullptr && medium != nullptr && bold != nullptr;
}

namespace Drawing
{
juce::Font font (const juce::Typeface::Ptr& face, float height, float extraKerning)
{
    return juce::Font (face).withHeight (height).withExtraKerningFactor (extraKerning);
}

void brush (Canvas& canvas, juce::Rectangle<float> area, int seed, float strength)
{
    auto& g = canvas.g;
    juce::Graphics::ScopedSaveState saved (g);
    g.reduceClipRegion (area.toNearestInt());

    juce::Random random (seed);
    const auto pixel = 1.0f / canvas.scale;

    for (float y = area.getY(); y < area.getBottom(); y += pixel)
    {
        const auto light = random.nextBool();
        g.setColour ((light ? juce::Colours::white : juce::Colours::black).withAlpha (random.nextFloat() * 0.035f * strength));
        g.fillRect (area.getX(), y, area.getWidth(), pixel);

        for (int streak = 0; streak < 3; ++streak)
        {
            const auto length = area.getWidth() * (0.05f + 0.3f * random.nextFloat());
            const auto x = area.getX() + random.nextFloat() * area.getWidth() - length * 0.5f;
            g.setColour ((random.nextBool() ? juce::Colours::white : juce::Colours::black)
                             .withAlpha (random.nextFloat() * 0.05f * strength));
            g.fillRect (x, y, length, pixel);
        }
    }
}

void recess (Canvas& canvas, juce::Rectangle<float> area, float corner, juce::Colour fill)
{
    auto& g = canvas.g;
    // The rim light below, then the hollow itself, then its shadow from above.
    g.setColour (juce::Colours::white.withAlpha (0.09f));
    g.fillRoundedRectangle (area.translated (0.0f, 1.0f), corner);
    g.setColour (fill);
    g.fillRoundedRectangle (area, corner);

    juce::Graphics::ScopedSaveState saved (g);
    juce::Path hollow;
    hollow.addRoundedRectangle (area, corner);
    g.reduceClipRegion (hollow);
    g.setGradientFill (juce::ColourGradient (juce::Colours::black.withAlpha (0.55f), 0.0f, area.getY(),
                                             juce::Colours::transparentBlack, 0.0f, area.getY() + juce::jmin (8.0f, area.getHeight() * 0.5f),
                                             false));
    g.fillRect (area);
}

void ring (Canvas& canvas, juce::Point<float> centre, float innerRadius, float outerRadius)
{
    auto& g = canvas.g;
    juce::Path path;
    path.addEllipse (juce::Rectangle<float> (outerRadius * 2, outerRadius * 2).withCentre (centre));
    path.addEllipse (juce::Rectangle<float> (innerRadius * 2, innerRadius * 2).withCentre (centre));
    path.setUsingNonZeroWinding (false);

    g.setGradientFill (juce::ColourGradient (juce::Colour (0xFFD8D2CC), centre.x, centre.y - outerRadius,
                                             juce::Colour (0xFF3A3433), centre.x, centre.y + outerRadius, false));
    g.fillPath (path);
    g.setColour (juce::Colours::black.withAlpha (0.6f));
    g.drawEllipse (juce::Rectangle<float> (outerRadius * 2, outerRadius * 2).withCentre (centre), 0.6f);
}

void engrave (Canvas& canvas, const juce::String& text, juce::Rectangle<float> area, const juce::Font& font,
              juce::Colour ink, juce::Justification justification)
{
    auto& g = canvas.g;
    g.setFont (font);
    g.setColour (juce::Colours::black.withAlpha (0.7f));
    g.drawText (text, area.translated (0.0f, 1.0f), justification, false);
    g.setColour (ink);
    g.drawText (text, area, justification, false);
}

void shadow (Canvas& canvas, const juce::Path& path, float alpha, int radius, juce::Point<int> offset)
{
    juce::Graphics::ScopedSaveState saved (canvas.g);
    canvas.g.addTransform (juce::AffineTransform::scale (1.0f / canvas.scale));
    juce::Path scaled (path);
    scaled.applyTransform (juce::AffineTransform::scale (canvas.scale));
    juce::DropShadow (juce::Colours::black.withAlpha (alpha), juce::roundToInt ((float) radius * canvas.scale),
                      offset * (int) canvas.scale)
        .drawForPath (canvas.g, scaled);
}

void lens (Canvas& canvas, juce::Point<float> centre, float radius, juce::Colour core, bool lit)
{
    auto& g = canvas.g;
    const auto bounds = juce::Rectangle<float> (radius * 2, radius * 2).withCentre (centre);

    if (lit)
    {
        // The glow reaches past the lens.
        juce::ColourGradient glow (core.withAlpha (0.45f), centre.x, centre.y,
                                   core.withAlpha (0.0f), centre.x + radius * 1.35f, centre.y, true);
        g.setGradientFill (glow);
        g.fillEllipse (bounds.expanded (radius * 0.35f));
    }

    juce::ColourGradient body (core, centre.x, centre.y, core.darker (lit ? 0.9f : 0.8f), centre.x + radius, centre.y, true);
    body.addColour (0.45, core);
    g.setGradientFill (body);
    g.fillEllipse (bounds);

    // The reflection sits up and left, clear of the centre.
    const auto spot = juce::Rectangle<float> (radius * 0.7f, radius * 0.45f)
                          .withCentre (centre.translated (-radius * 0.42f, -radius * 0.55f));
    g.setGradientFill (juce::ColourGradient (juce::Colours::white.withAlpha (lit ? 0.75f : 0.35f), spot.getCentreX(), spot.getY(),
                                             juce::Colours::white.withAlpha (0.0f), spot.getCentreX(), spot.getBottom(), false));
    g.fillEllipse (spot);

    g.setColour (juce::Colours::black.withAlpha (0.55f));
    g.drawEllipse (bounds, 0.7f);
}
} // namespace Drawing
