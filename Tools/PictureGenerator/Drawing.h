#pragma once

#include <juce_graphics/juce_graphics.h>

#include <cstdint>

// The typefaces the pictures print with, loaded from the fonts the build carries.
struct PictureFonts
{
    juce::Typeface::Ptr regular;
    juce::Typeface::Ptr medium;
    juce::Typeface::Ptr bold;

    // False when a font file could not be read.
    bool load (const juce::File& folder);
};

// One picture being painted: its graphics context in picture units, the fonts,
// and how many device pixels a picture unit has (1 or 2).
struct Canvas
{
    juce::Graphics& g;
    const PictureFonts& fonts;
    float scale;
};

namespace Drawing
{
inline juce::Colour colour (std::uint32_t argb) { return juce::Colour (argb); }

juce::Font font (const juce::Typeface::Ptr& face, float height, float extraKerning = 0.0f);

// Horizontal brushing: fine random streaks over what is already painted.
void brush (Canvas& canvas, juce::Rectangle<float> area, int seed, float strength);

// A hollow in the surface: dark fill, shadow along the top, light along the bottom.
void recess (Canvas& canvas, juce::Rectangle<float> area, float corner, juce::Colour fill);

// A raised rim: light above, dark below, as a ring around a circle.
void ring (Canvas& canvas, juce::Point<float> centre, float innerRadius, float outerRadius);

// Text pressed into the surface: a dark line below, the ink above.
void engrave (Canvas& canvas, const juce::String& text, juce::Rectangle<float> area, const juce::Font& font,
              juce::Colour ink, juce::Justification justification = juce::Justification::centred);

// A soft shadow under a path.
void shadow (Canvas& canvas, const juce::Path& path, float alpha, int radius, juce::Point<int> offset);

// A light lens with a flat core of exactly `core` around its centre.
void lens (Canvas& canvas, juce::Point<float> centre, float radius, juce::Colour core, bool lit);
} // namespace Drawing
