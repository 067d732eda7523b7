#include "ChassisPainter.h"

#include "Components/Face/FaceLayout.h"

#include <cmath>

namespace ChassisPainter
{
namespace
{
using FaceLayout::Box;

const juce::Colour ink (0xFFD9D0C7);
const juce::Colour faintInk (0xFFA59A90);
const juce::Colour accent (0xFFFFB020);

float centreX (const Box& box) { return (float) box.centreX2() * 0.5f; }
float centreY (const Box& box) { return (float) box.centreY2() * 0.5f; }

// The fader's cap centre for a level, as the fader style places it.
float capCentreY (const Box& fader, double level)
{
    const int halfCap = FaceLayout::capHeight / 2; // whole pixels, as the style's cap image
    const auto top = (float) (fader.y + halfCap);
    const auto bottom = (float) (fader.bottom() - halfCap);
    return bottom - (float) (level / 127.0) * (bottom - top);
}

void paintBody (Canvas& c)
{
    auto& g = c.g;
    const auto all = juce::Rectangle<float> (0, 0, (float) FaceLayout::width, (float) FaceLayout::height);

    g.setColour (juce::Colour (0xFF100D0D));
    g.fillRect (all);

    const auto plate = all.reduced (3.0f);
    g.setGradientFill (juce::ColourGradient (juce::Colour (0xFF3A3130), 0, plate.getY(),
                                             juce::Colour (0xFF211B1B), 0, plate.getBottom(), false));
    g.fillRoundedRectangle (plate, 10.0f);
    Drawing::brush (c, plate.reduced (2.0f), 7, 1.0f);

    // The plate's edge catches the light above and falls into shadow below.
    g.setColour (juce::Colours::white.withAlpha (0.14f));
    g.drawRoundedRectangle (plate.reduced (0.5f), 10.0f, 1.0f);
    g.setGradientFill (juce::ColourGradient (juce::Colours::transparentBlack, 0, plate.getBottom() - 40.0f,
                                             juce::Colours::black.withAlpha (0.35f), 0, plate.getBottom(), false));
    g.fillRoundedRectangle (plate.withTop (plate.getBottom() - 40.0f), 10.0f);
}

void paintBrand (Canvas& c, bool mono, Leg leg)
{
    auto& g = c.g;
    const auto wordmark = Drawing::font (c.fonts.bold, 30.0f, 0.32f);
    Drawing::engrave (c, "PELLION", { 120.0f, 60.0f, 240.0f, 36.0f }, wordmark, ink);

    g.setColour (faintInk.withAlpha (0.5f));
    g.fillRect (182.0f, 100.0f, 116.0f, 1.0f);

    // The plate names how this instance uses the pedal.
    const auto small = Drawing::font (c.fonts.bold, 10.0f, 0.25f);
    const juce::String channels = mono ? "MONO" : "STEREO";
    const auto legText = leg == Leg::in ? juce::String ("IN") : leg == Leg::out ? juce::String ("OUT") : juce::String();

    const auto channelsWidth = mono ? 52.0f : 64.0f;
    const auto legWidth = legText.isEmpty() ? 0.0f : (leg == Leg::in ? 30.0f : 38.0f);
    const auto gap = legText.isEmpty() ? 0.0f : 6.0f;
    auto x = 240.0f - (channelsWidth + gap + legWidth) * 0.5f;

    const juce::Rectangle<float> channelsBox (x, 108.0f, channelsWidth, 17.0f);
    g.setColour (ink.withAlpha (0.8f));
    g.drawRoundedRectangle (channelsBox.reduced (0.5f), 3.0f, 1.0f);
    Drawing::engrave (c, channels, channelsBox.translated (1.0f, 0.0f), small, ink);

    if (legText.isNotEmpty())
    {
        const juce::Rectangle<float> legBox (x + channelsWidth + gap, 108.0f, legWidth, 17.0f);
        g.setColour (accent);
        g.fillRoundedRectangle (legBox, 3.0f);
        g.setFont (small);
        g.setColour (juce::Colour (0xFF221A10));
        g.drawText (legText, legBox.translated (1.0f, 0.0f), juce::Justification::centred, false);
    }
}

void paintPanel (Canvas& c, juce::Rectangle<float> area)
{
    auto& g = c.g;
    g.setColour (juce::Colours::black.withAlpha (0.24f));
    g.fillRoundedRectangle (area, 8.0f);
    g.setColour (juce::Colours::white.withAlpha (0.08f));
    g.drawRoundedRectangle (area.translated (0.0f, 1.0f).reduced (0.5f), 8.0f, 1.0f);
    g.setColour (juce::Colours::black.withAlpha (0.45f));
    g.drawRoundedRectangle (area.reduced (0.5f), 8.0f, 1.0f);
}

struct Mark
{
    double decibels;
    const char* text;
};

const Mark marks[] = { { 0.0, "0" }, { -3.0, "-3" }, { -6.0, "-6" }, { -10.0, "-10" }, { -20.0, "-20" }, { -1000.0, "-\xe2\x88\x9e" } };

double levelFor (double decibels) { return decibels < -200.0 ? 0.0 : 127.0 * std::pow (10.0, decibels / 20.0); }

// A fader's slot with its ticks; the cap slides over it.
void paintSlot (Canvas& c, const Box& fader)
{
    auto& g = c.g;
    const auto cx = centreX (fader);
    const auto top = capCentreY (fader, 127.0) - 8.0f;
    const auto bottom = capCentreY (fader, 0.0) + 8.0f;

    g.setColour (ink.withAlpha (0.55f));
    for (const auto& mark : marks)
    {
        const auto y = std::round (capCentreY (fader, levelFor (mark.decibels))) + 0.5f;
        g.fillRect (cx - 15.0f, y - 0.5f, 8.0f, 1.0f);
        g.fillRect (cx + 7.0f, y - 0.5f, 8.0f, 1.0f);
    }

    g.setColour (ink.withAlpha (0.25f));
    for (int i = 1; i < 20; ++i)
    {
        const auto y = std::round (capCentreY (fader, 127.0 * i / 20.0)) + 0.5f;
        g.fillRect (cx - 11.0f, y - 0.5f, 4.0f, 1.0f);
        g.fillRect (cx + 7.0f, y - 0.5f, 4.0f, 1.0f);
    }

    Drawing::recess (c, { cx - 4.0f, top, 8.0f, bottom - top }, 4.0f, juce::Colour (0xFF060505));
}

// The dB figures of the travel, centred on x.
void paintScale (Canvas& c, const Box& fader, float x)
{
    const auto numbers = Drawing::font (c.fonts.medium, 9.5f);
    for (const auto& mark : marks)
    {
        const auto y = capCentreY (fader, levelFor (mark.decibels));
        Drawing::engrave (c, juce::String::fromUTF8 (mark.text), { x - 15.0f, y - 6.0f, 30.0f, 12.0f }, numbers, faintInk);
    }
}

void paintSection (Canvas& c, const char* caption, juce::Rectangle<float> panel, const Box& first, const Box* second)
{
    paintPanel (c, panel);
    paintSlot (c, first);

    float captionCentre = centreX (first);
    if (second != nullptr)
    {
        paintSlot (c, *second);
        captionCentre = (centreX (first) + centreX (*second)) * 0.5f;
        paintScale (c, first, captionCentre);
    }
    else
    {
        // A single fader carries its figures on the outer side.
        const auto outward = centreX (first) < (float) FaceLayout::width * 0.5f ? -36.0f : 36.0f;
        paintScale (c, first, centreX (first) + outward);
    }

    const auto font = Drawing::font (c.fonts.bold, 11.0f, 0.3f);
    Drawing::engrave (c, caption, { captionCentre - 60.0f, 408.0f, 120.0f, 14.0f }, font, ink);
}

void paintMeterBed (Canvas& c, bool mono)
{
    auto& g = c.g;
    using namespace FaceLayout;
    const juce::Rectangle<float> bezel (203.0f, 169.0f, 74.0f, 165.0f);

    g.setColour (juce::Colours::white.withAlpha (0.1f));
    g.drawRoundedRectangle (bezel.expanded (1.5f), 8.0f, 1.0f);
    Drawing::recess (c, bezel, 7.0f, juce::Colour (0xFF0A0808));

    auto bed = [&c] (float x, float y, float w, float h)
    { Drawing::recess (c, { x, y, w, h }, 2.0f, juce::Colour (0xFF050404)); };

    bed ((float) meterWindow.x - 1.0f, (float) meterWindow.y - 1.0f, (float) meterWindow.w + 2.0f, (float) meterWindow.h + 2.0f);

    if (mono)
        bed ((float) monoMeterX + 1.0f, (float) meterL.y, 48.0f + 2.0f, 122.0f);
    else
    {
        bed ((float) meterL.x, (float) meterL.y, 28.0f, 122.0f);
        bed ((float) meterR.x, (float) meterR.y, 28.0f, 122.0f);
    }

    const auto font = Drawing::font (c.fonts.bold, 9.0f, 0.2f);
    if (mono)
        Drawing::engrave (c, "LEVEL", { 203.0f, 337.0f, 74.0f, 11.0f }, font, faintInk);
    else
    {
        Drawing::engrave (c, "L", { (float) meterL.x, 337.0f, 28.0f, 11.0f }, font, faintInk);
        Drawing::engrave (c, "R", { (float) meterR.x, 337.0f, 28.0f, 11.0f }, font, faintInk);
    }
}

void paintLightHole (Canvas& c, const Box& light)
{
    const juce::Point<float> centre (centreX (light), centreY (light));
    const auto radius = (float) light.w * 0.5f;
    c.g.setColour (juce::Colour (0xFF050404));
    c.g.fillEllipse (juce::Rectangle<float> (radius * 2.0f, radius * 2.0f).withCentre (centre));
    Drawing::ring (c, centre, radius - 0.5f, radius + 2.5f);
}

void paintFootswitchBed (Canvas& c)
{
    auto& g = c.g;
    const auto& box = FaceLayout::footswitch;
    const juce::Point<float> centre (centreX (box), centreY (box));

    const auto plate = juce::Rectangle<float> (88.0f, 76.0f).withCentre (centre);
    g.setColour (juce::Colours::black.withAlpha (0.3f));
    g.fillEllipse (plate.translated (0.0f, 2.0f));
    g.setGradientFill (juce::ColourGradient (juce::Colour (0xFF2C2524), centre.x, plate.getY(),
                                             juce::Colour (0xFF161212), centre.x, plate.getBottom(), false));
    g.fillEllipse (plate);
    g.setColour (juce::Colours::white.withAlpha (0.1f));
    g.drawEllipse (plate.reduced (0.5f), 1.0f);
}

// The status light tells whether the effect is on.
void paintStatusLight (Canvas& c)
{
    const auto& light = FaceLayout::ledStatus;
    paintLightHole (c, light);
    const auto font = Drawing::font (c.fonts.bold, 9.0f, 0.25f);
    Drawing::engrave (c, "EFFECT", { centreX (light) - 40.0f, (float) light.bottom() + 6.0f, 80.0f, 11.0f }, font, faintInk);
}
} // namespace

void paintChassis (Canvas& c, bool mono, Leg leg)
{
    using namespace FaceLayout;
    paintBody (c);
    paintBrand (c, mono, leg);

    const juce::Rectangle<float> outputPanel (8.0f, 133.0f, 184.0f, 298.0f);
    const juce::Rectangle<float> inputPanel (288.0f, 133.0f, 184.0f, 298.0f);

    if (mono)
    {
        paintSection (c, "OUTPUT", outputPanel, monoFaderDac, nullptr);
        paintSection (c, "INPUT", inputPanel, monoFaderAdc, nullptr);
    }
    else
    {
        paintSection (c, "OUTPUT", outputPanel, faderDacL, &faderDacR);
        paintSection (c, "INPUT", inputPanel, faderAdcL, &faderAdcR);
    }

    paintMeterBed (c, mono);
    paintStatusLight (c);
    paintLightHole (c, ledPower);
    paintLightHole (c, ledUsb);
    paintFootswitchBed (c);
}

void paintMenubar (Canvas& c)
{
    auto& g = c.g;
    const juce::Rectangle<float> all (0.0f, 0.0f, 480.0f, 48.0f);
    g.setGradientFill (juce::ColourGradient (juce::Colour (0xFF2E2626), 0, 0, juce::Colour (0xFF171313), 0, 48.0f, false));
    g.fillRect (all);
    Drawing::brush (c, all, 3, 0.6f);

    g.setColour (juce::Colours::white.withAlpha (0.07f));
    g.fillRect (0.0f, 0.0f, 480.0f, 1.0f);
    g.setColour (juce::Colours::black.withAlpha (0.7f));
    g.fillRect (0.0f, 46.0f, 480.0f, 1.0f);
    g.setColour (juce::Colours::white.withAlpha (0.09f));
    g.fillRect (0.0f, 47.0f, 480.0f, 1.0f);

    // The status line's window; the editor stretches the strip to 53 pixels.
    const juce::Rectangle<float> status (163.0f, 8.0f, 164.0f, 26.0f);
    g.setColour (juce::Colours::black.withAlpha (0.35f));
    g.fillRoundedRectangle (status, 5.0f);
    g.setColour (juce::Colours::white.withAlpha (0.07f));
    g.drawRoundedRectangle (status.translated (0.0f, 0.5f), 5.0f, 1.0f);
}
} // namespace ChassisPainter
