#pragma once

#include <juce_gui_basics/juce_gui_basics.h>

// Darkens the editor behind a dialog. Clicks pass through it to the editor,
// and it never takes the keyboard focus.
class GlassOverlayComponent : public juce::Component
{
public:
    static constexpr juce::uint32 colour = 0x4C000000;

    GlassOverlayComponent();
    void paint (juce::Graphics& g) override;
};
