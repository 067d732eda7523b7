#include "ControlPainter.h"

#include <cmath>

namespace ControlPainter
{
namespace
{
// The knob picture is stretched from 100 x 100 to the 100 x 104 slider; the
// marker turns unscaled about the slider's centre (50, 52).
constexpr float knobStretch = 104.0f / 100.0f;
const juce::Point<float> markerPivot (50.0f, 52.0f);

// JUCE's default rotary range: from 7 to 5 o'clock, clockwise.
constexpr float startAngle = juce::MathConstants<float>::pi * 1.2f;
constexpr float endAngle = juce::MathConstants<float>::pi * 2.8f;

juce::Point<float> polar (juce::Point<float> centre, float radius, float angle)
{
    return centre + juce::Point<float> (radius * std::sin (angle), -radius * std::cos (angle));
}
} // namespace

void paintFaderCap (Canvas& c, bool enabled)
{
    auto& g = c.g;
    const auto body = juce::Rectangle<float> (42.0f, 52.0f).withCentre ({ 37.5f, 50.0f });

    juce::Path outline;
    outline.addRoundedRectangle (body, 5.0f);
    Drawing::shadow (c, outline, 0.7f, 6, { 0, 3 });

    const auto top = enabled ? juce::Colour (0xFF4A4341) : juce::Colour (0xFF2E2A29);
    const auto bottom = enabled ? juce::Colour (0xFF1C1818) : juce::Colour (0xFF1A1717);
    g.setGradientFill (juce::ColourGradient (top, 0, body.getY(), bottom, 0, body.getBottom(), false));
    g.fillPath (outline);

    // The grip: two ridged halves, dished toward the centre line.
    juce::Graphics::ScopedSaveState saved (g);
    g.reduceClipRegion (outline);
    for (float y = body.getY() + 5.0f; y < body.getBottom() - 4.0f; y += 4.0f)
    {
        if (std::abs (y - 50.0f) < 5.0f)
            continue;
        g.setColour (juce::Colours::black.withAlpha (0.45f));
        g.fillRect (body.getX() + 3.0f, y, body.getWidth() - 6.0f, 1.0f);
        g.setColour (juce::Colours::white.withAlpha (enabled ? 0.1f : 0.05f));
        g.fillRect (body.getX() + 3.0f, y + 1.0f, body.getWidth() - 6.0f, 1.0f);
    }

    const auto line = enabled ? juce::Colour (0xFFF4EFEA) : juce::Colour (0xFF6E6662);
    g.setColour (juce::Colours::black.withAlpha (0.6f));
    g.fillRect (body.getX(), 48.0f, body.getWidth(), 4.0f);
    g.setColour (line);
    g.fillRect (body.getX(), 49.0f, body.getWidth(), 2.0f);

    g.setColour (juce::Colours::white.withAlpha (enabled ? 0.22f : 0.08f));
    g.drawRoundedRectangle (body.reduced (0.5f), 5.0f, 1.0f);
}

void paintKnob (Canvas& c)
{
    auto& g = c.g;
    const juce::Point<float> centre (50.0f, 50.0f);

    // Drawn squeezed, so that the slider's stretch makes it round again.
    juce::Graphics::ScopedSaveState saved (g);
    g.addTransform (juce::AffineTransform::scale (1.0f, 1.0f / knobStretch, centre.x, centre.y));

    const auto ink = juce::Colour (0xFFD9D0C7);
    for (int i = 0; i <= 10; ++i)
    {
        const auto angle = startAngle + (endAngle - startAngle) * (float) i / 10.0f;
        const auto major = i == 0 || i == 5 || i == 10;
        g.setColour (ink.withAlpha (major ? 0.9f : 0.55f));
        juce::Path tick;
        tick.startNewSubPath (polar (centre, 25.0f, angle));
        tick.lineTo (polar (centre, major ? 29.0f : 27.5f, angle));
        g.strokePath (tick, juce::PathStrokeType (major ? 1.6f : 1.1f, juce::PathStrokeType::curved, juce::PathStrokeType::rounded));
    }

    const auto skirt = juce::Rectangle<float> (44.0f, 44.0f).withCentre (centre);
    juce::Path skirtPath;
    skirtPath.addEllipse (skirt);
    Drawing::shadow (c, skirtPath, 0.75f, 5, { 0, 3 });

    g.setGradientFill (juce::ColourGradient (juce::Colour (0xFF3D3534), centre.x, skirt.getY(),
                                             juce::Colour (0xFF120F0F), centre.x, skirt.getBottom(), false));
    g.fillEllipse (skirt);

    // Knurling round the edge.
    for (int i = 0; i < 48; ++i)
    {
        const auto angle = juce::MathConstants<float>::twoPi * (float) i / 48.0f;
        juce::Path groove;
        groove.startNewSubPath (polar (centre, 19.0f, angle));
        groove.lineTo (polar (centre, 21.6f, angle));
        g.setColour (juce::Colours::black.withAlpha (0.5f));
        g.strokePath (groove, juce::PathStrokeType (0.8f));
    }

    const auto cap = juce::Rectangle<float> (34.0f, 34.0f).withCentre (centre);
    juce::ColourGradient metal (juce::Colour (0xFF8C8583), cap.getX(), cap.getY(), juce::Colour (0xFF2F2A29),
                                cap.getRight(), cap.getBottom(), false);
    metal.addColour (0.45, juce::Colour (0xFF5A5352));
    g.setGradientFill (metal);
    g.fillEllipse (cap);

    // Concentric machining on the cap.
    for (float r = 2.0f; r < 16.5f; r += 1.5f)
    {
        g.setColour (juce::Colours::white.withAlpha (((int) (r * 2.0f) % 3 == 0) ? 0.06f : 0.03f));
        g.drawEllipse (juce::Rectangle<float> (r * 2.0f, r * 2.0f).withCentre (centre), 0.6f);
    }

    g.setColour (juce::Colours::white.withAlpha (0.25f));
    g.drawEllipse (cap.reduced (0.5f), 0.8f);
    g.setColour (juce::Colours::black.withAlpha (0.6f));
    g.drawEllipse (skirt.reduced (0.3f), 0.8f);
}

void paintKnobMarker (Canvas& c)
{
    auto& g = c.g;
    juce::Path pointer;
    pointer.startNewSubPath (markerPivot.translated (0.0f, -5.0f));
    pointer.lineTo (markerPivot.translated (0.0f, -16.0f));

    g.setColour (juce::Colours::black.withAlpha (0.6f));
    g.strokePath (pointer, juce::PathStrokeType (4.2f, juce::PathStrokeType::curved, juce::PathStrokeType::rounded));
    g.setColour (juce::Colour (0xFFF6F1EC));
    g.strokePath (pointer, juce::PathStrokeType (2.4f, juce::PathStrokeType::curved, juce::PathStrokeType::rounded));

    // A dot on the skirt, readable when the cap hides the line under the hand.
    g.setColour (juce::Colour (0xFFFFB020));
    g.fillEllipse (juce::Rectangle<float> (3.2f, 3.2f).withCentre (markerPivot.translated (0.0f, -20.3f)));
}

void paintFootswitch (Canvas& c, bool down)
{
    auto& g = c.g;
    const juce::Point<float> centre (54.0f, 42.0f);

    // The hexagonal nut that holds the switch.
    juce::Path nut;
    for (int i = 0; i < 6; ++i)
    {
        const auto p = polar (centre, 30.0f, juce::MathConstants<float>::pi / 6.0f + (float) i * juce::MathConstants<float>::pi / 3.0f);
        if (i == 0)
            nut.startNewSubPath (p);
        else
            nut.lineTo (p);
    }
    nut.closeSubPath();
    nut = nut.createPathWithRoundedCorners (3.0f);
    Drawing::shadow (c, nut, 0.7f, 6, { 0, 3 });

    juce::ColourGradient steel (juce::Colour (0xFFCFC9C4), centre.x - 20.0f, centre.y - 26.0f,
                                juce::Colour (0xFF4B4645), centre.x + 20.0f, centre.y + 26.0f, false);
    steel.addColour (0.5, juce::Colour (0xFF8D8784));
    g.setGradientFill (steel);
    g.fillPath (nut);
    g.setColour (juce::Colours::black.withAlpha (0.5f));
    g.strokePath (nut, juce::PathStrokeType (0.8f));

    // The threaded collar, then the plunger cap.
    const auto collar = juce::Rectangle<float> (42.0f, 42.0f).withCentre (centre);
    g.setGradientFill (juce::ColourGradient (juce::Colour (0xFF3E3938), centre.x, collar.getY(),
                                             juce::Colour (0xFF9A9491), centre.x, collar.getBottom(), false));
    g.fillEllipse (collar);
    for (float r = 16.0f; r < 21.0f; r += 1.2f)
    {
        g.setColour (juce::Colours::black.withAlpha (0.25f));
        g.drawEllipse (juce::Rectangle<float> (r * 2.0f, r * 2.0f).withCentre (centre), 0.5f);
    }

    const auto capCentre = centre.translated (0.0f, down ? 1.0f : -1.0f);
    const auto capRadius = down ? 14.0f : 15.5f;
    const auto cap = juce::Rectangle<float> (capRadius * 2.0f, capRadius * 2.0f).withCentre (capCentre);

    juce::Path capPath;
    capPath.addEllipse (cap);
    if (! down)
        Drawing::shadow (c, capPath, 0.6f, 4, { 0, 3 });

    juce::ColourGradient dome (down ? juce::Colour (0xFFB5AFAB) : juce::Colour (0xFFF8F4F1),
                               capCentre.x - capRadius * 0.35f, capCentre.y - capRadius * 0.45f,
                               down ? juce::Colour (0xFF3E3938) : juce::Colour (0xFF5E5856),
                               capCentre.x + capRadius, capCentre.y + capRadius, true);
    g.setGradientFill (dome);
    g.fillEllipse (cap);
    g.setColour (juce::Colours::black.withAlpha (0.55f));
    g.drawEllipse (cap, 0.8f);
}

void paintLink (Canvas& c, bool on)
{
    auto& g = c.g;
    const juce::Point<float> centre (25.0f, 25.0f);
    const auto button = juce::Rectangle<float> (30.0f, 30.0f).withCentre (centre);

    juce::Path body;
    body.addEllipse (button);
    Drawing::shadow (c, body, 0.65f, 4, { 0, 2 });

    g.setGradientFill (juce::ColourGradient (juce::Colour (on ? 0xFF3F3533 : 0xFF3A3332), centre.x, button.getY(),
                                             juce::Colour (0xFF151111), centre.x, button.getBottom(), false));
    g.fillPath (body);
    g.setColour (on ? juce::Colour (0xFFFFB020).withAlpha (0.85f) : juce::Colours::white.withAlpha (0.16f));
    g.drawEllipse (button.reduced (0.6f), on ? 1.4f : 1.0f);

    // Two chain links across the button.
    const auto ink = on ? juce::Colour (0xFFFFB020) : juce::Colour (0xFF8F8680);
    juce::Graphics::ScopedSaveState saved (g);
    g.addTransform (juce::AffineTransform::rotation (-juce::MathConstants<float>::pi / 4.0f, centre.x, centre.y));
    g.setColour (ink);
    g.drawRoundedRectangle (juce::Rectangle<float> (7.0f, 12.0f).withCentre (centre.translated (0.0f, -4.0f)), 3.5f, 1.8f);
    g.drawRoundedRectangle (juce::Rectangle<float> (7.0f, 12.0f).withCentre (centre.translated (0.0f, 4.0f)), 3.5f, 1.8f);
}
} // namespace ControlPainter
