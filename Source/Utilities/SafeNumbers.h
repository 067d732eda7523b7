#pragma once

#include <juce_core/juce_core.h>

// Integer readings of values that came from outside (files, host state, a
// foreign tree writer). The framework's own conversions overflow, which is
// undefined behaviour, on what a corrupt or hostile source may hold: these
// saturate at the int limits instead, and read NaN and non-numbers as 0.
namespace SafeNumbers
{
// Leading whitespace, an optional sign, then decimal digits, as String::getIntValue
// reads them ("1e99" gives 1, "abc" gives 0).
int textToInt (const juce::String& text) noexcept;

int varToInt (const juce::var& value) noexcept;
} // namespace SafeNumbers
