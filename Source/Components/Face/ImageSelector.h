#pragma once

#include <juce_graphics/juce_graphics.h>

#include <initializer_list>

// One embedded picture at normal and double resolution. Only the normal one is
// ever decoded; the double-resolution data is carried for displays that may
// want it later.
struct ImageSelector
{
    const void* data1x;
    int size1x;
    const void* data2x;
    int size2x;

    // The normal-resolution picture; a null image when the data is missing or cannot be decoded.
    juce::Image getImage() const;

    static juce::Array<juce::Image> GetImages (std::initializer_list<ImageSelector> list);
};
