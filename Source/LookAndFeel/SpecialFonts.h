#pragma once

#include <juce_graphics/juce_graphics.h>

// The typefaces the plug-in carries, one getter per face; nothing comes from the
// fonts installed on the machine. Each face is loaded on first use and shared
// by every instance until the framework shuts down. Inter stands in for
// Helvetica Neue. Callable from any thread.

// Fira Sans at the framework's default height; callers copy the font to change it.
const juce::Font& getFiraSansBoldFont();
const juce::Font& getFiraSansLightFont();
const juce::Font& getFiraSansLightItalicFont();
const juce::Font& getFiraSansMediumFont();
const juce::Font& getFiraSansRegularFont();
const juce::Font& getFiraSansSemiBoldFont();

// The Helvetica Neue faces at the given point height.
juce::Font getHelveticaNeueRomanFont (float pointHeight);
juce::Font getHelveticaNeueMediumFont (float pointHeight);
juce::Font getHelveticaNeueBoldFont (float pointHeight);
