#pragma once

#include <juce_core/juce_core.h>

namespace StatusLine
{
// The editor's status line for a use (Mode), channel setting and pedalboard
// leg: "Audio : Stereo ", "Pedalboard : OUT - L", "Not Connected". Without a
// use it is "Not Connected" alone, whatever channel is left over; a use whose
// channel is unknown shows its name alone, and a leg that is no leg is left out.
juce::String textFor (int mode, int channel, int config);
} // namespace StatusLine
