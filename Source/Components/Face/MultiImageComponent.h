#pragma once

#include <juce_gui_basics/juce_gui_basics.h>

// A light: one picture per state, showing the one at index (clamped to the last).
class MultiImageComponent : public juce::ImageComponent
{
public:
    MultiImageComponent() : juce::ImageComponent (juce::String()) {}

    void updateImage();

    juce::Array<juce::Image> images;
    int index = 0;
};
