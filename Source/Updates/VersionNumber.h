#pragma once

#include <juce_core/juce_core.h>

// A version a.b.c as the number (a << 16) | (b << 8) | c, each part 0 to 255.
// 0 means no version. Compared as unsigned numbers.
class VersionNumber
{
public:
    constexpr VersionNumber() noexcept = default;
    constexpr explicit VersionNumber (juce::uint32 number) noexcept : value (number) {}

    constexpr operator juce::uint32() const noexcept { return value; }

    // Exactly three parts separated by "." give a version; anything else gives 0.
    // Each part reads as atoi would (leading white space, a sign, then digits up
    // to the first other character; none gives 0) and keeps its low 8 bits. The
    // digits are read by modular arithmetic, so no text can overflow.
    static VersionNumber versionNumberFromString (const juce::String& text);

    // "a.b.c" from the low 24 bits.
    static juce::String versionStringFromNumber (unsigned int number);

private:
    juce::uint32 value = 0;
};

// The same text as VersionNumber::versionStringFromNumber.
juce::String versionToString (int version);
