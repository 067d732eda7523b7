#pragma once

#include <juce_gui_basics/juce_gui_basics.h>

// What the fader and knob styles share: the value box in bold Fira Sans, and a
// text-box strip along the bottom of the slider.
namespace SliderTextBox
{
juce::Label* styleBoldValueBox (juce::Label* label);
juce::Rectangle<int> bottomStrip (const juce::Slider& slider);
} // namespace SliderTextBox
