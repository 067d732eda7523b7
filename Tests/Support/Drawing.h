#pragma once

#include <gtest/gtest.h>
#include <juce_gui_basics/juce_gui_basics.h>

#include <cstdint>
#include <functional>
#include <vector>

// Painting into images and reading pixels back, without a display.

inline juce::Image paintImage (int width, int height, const std::function<void (juce::Graphics&)>& paint)
{
    juce::Image image (juce::Image::ARGB, width, height, true);
    juce::Graphics g (image);
    paint (g);
    return image;
}

inline juce::Image snapshot (juce::Component& component)
{
    return component.createComponentSnapshot (component.getLocalBounds(), true, 1.0f);
}

// A picture of plain colour, for checking where a style puts a picture.
inline juce::Image solidImage (int width, int height, juce::Colour colour)
{
    return paintImage (width, height, [colour] (juce::Graphics& g) { g.fillAll (colour); });
}

inline std::uint32_t argb (const juce::Image& image, int x, int y)
{
    return image.getPixelAt (x, y).getARGB();
}

inline ::testing::AssertionResult coloursNear (std::uint32_t actual, std::uint32_t expected, int tolerance)
{
    const juce::Colour a (actual), e (expected);
    const auto near = [tolerance] (int x, int y) { return std::abs (x - y) <= tolerance; };
    if (near (a.getAlpha(), e.getAlpha()) && near (a.getRed(), e.getRed()) && near (a.getGreen(), e.getGreen())
        && near (a.getBlue(), e.getBlue()))
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "0x" << juce::String::toHexString ((juce::int64) actual).toUpperCase()
                                         << " is not within " << tolerance << " of 0x"
                                         << juce::String::toHexString ((juce::int64) expected).toUpperCase();
}

// The runs of rows of the area that hold ink, top first: rows with a pixel
// whose every colour channel reaches minimumLevel (light text on a dark
// dialog). The gap between two runs is next.getStart() - previous.getEnd().
inline std::vector<juce::Range<int>> inkRows (const juce::Image& image, juce::Rectangle<int> area, int minimumLevel = 150)
{
    std::vector<juce::Range<int>> runs;
    int start = -1;
    for (int y = area.getY(); y <= area.getBottom(); ++y)
    {
        bool ink = false;
        for (int x = area.getX(); y < area.getBottom() && x < area.getRight() && ! ink; ++x)
        {
            const auto c = image.getPixelAt (x, y);
            ink = c.getRed() >= minimumLevel && c.getGreen() >= minimumLevel && c.getBlue() >= minimumLevel;
        }

        if (ink && start < 0)
            start = y;
        else if (! ink && start >= 0)
        {
            runs.emplace_back (start, y);
            start = -1;
        }
    }
    return runs;
}
