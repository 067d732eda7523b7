#pragma once

#include <juce_core/juce_core.h>

// The framework's JSON reader recurses once per bracket and overflows on long
// runs of digits, so outside text must pass this check before it is parsed.
namespace JsonCheck
{
// True when juce::JSON::parse can be trusted with the text: brackets nested
// at most maximumNesting deep and balanced, strings closed, integer and
// exponent digit runs short enough not to overflow, no sign at the end.
bool isSafeToParse (const juce::String& text, int maximumNesting) noexcept;
} // namespace JsonCheck
