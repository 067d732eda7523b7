#pragma once

#include <juce_core/juce_core.h>

// Texts of the on/off switches: "On" for 1, "Off" for 0, cut to the host's length.
juce::String valueToText (float value, int maximumLength);

// 1 only for exactly "On"; anything else is off.
int textToValue (const juce::String& text);
