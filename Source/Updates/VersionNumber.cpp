#include "Updates/VersionNumber.h"

namespace
{
// One part read as atoi reads it, keeping only the low 8 bits of the value.
// The digits are taken modulo 256 as they come, so no length of text overflows.
class PartReader
{
public:
    void take (juce::juce_wchar c) noexcept
    {
        if (phase == Phase::digits || phase == Phase::sign)
        {
            if (c >= '0' && c <= '9')
            {
                value = (value * 10 + (juce::uint32) (c - '0')) & 0xFF;
                phase = Phase::digits;
                return;
            }

            phase = Phase::done;
            return;
        }

        if (phase == Phase::space)
        {
            if (c == ' ' || (c >= '\t' && c <= '\r'))
                return;

            phase = Phase::sign;
            if (c == '-' || c == '+')
                negative = (c == '-');
            else
                take (c);
        }
    }

    juce::uint32 result() const noexcept { return negative ? (256 - value) & 0xFF : value; }

private:
    enum class Phase { space, sign, digits, done };
    Phase phase = Phase::space;
    bool negative = false;
    juce::uint32 value = 0;
};
} // namespace

VersionNumber VersionNumber::versionNumberFromString (const juce::String& text)
{
    if (text.isEmpty())
        return {};

    juce::uint32 number = 0;
    int parts = 1;
    PartReader part;

    for (auto p = text.getCharPointer(); ! p.isEmpty();)
    {
        const auto c = p.getAndAdvance();

        if (c != '.')
        {
            part.take (c);
            continue;
        }

        if (++parts > 3)
            return {};

        number = (number << 8) | part.result();
        part = {};
    }

    if (parts != 3)
        return {};

    return VersionNumber ((number << 8) | part.result());
}

juce::String VersionNumber::versionStringFromNumber (unsigned int number)
{
    return juce::String ((number >> 16) & 0xFF) + "." + juce::String ((number >> 8) & 0xFF) + "."
           + juce::String (number & 0xFF);
}

juce::String versionToString (int version)
{
    return VersionNumber::versionStringFromNumber ((unsigned int) version);
}
