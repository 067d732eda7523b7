#include "Parameters/ParameterText.h"

juce::String valueToText (float value, int maximumLength)
{
    if (maximumLength <= 0)
        return {};

    const juce::String text (value >= 1.0f ? "On" : "Off");
    return text.substring (0, maximumLength);
}

int textToValue (const juce::String& text)
{
    return text == "On" ? 1 : 0;
}
