#include "Utilities/SafeNumbers.h"

#include <cmath>
#include <limits>

namespace
{
int saturate (long long v) noexcept
{
    return (int) juce::jlimit<long long> (std::numeric_limits<int>::min(), std::numeric_limits<int>::max(), v);
}

int saturate (double v) noexcept
{
    if (std::isnan (v))
        return 0;

    if (v >= (double) std::numeric_limits<int>::max())
        return std::numeric_limits<int>::max();

    if (v <= (double) std::numeric_limits<int>::min())
        return std::numeric_limits<int>::min();

    return (int) v;
}
} // namespace

int SafeNumbers::textToInt (const juce::String& text) noexcept
{
    auto p = text.getCharPointer().findEndOfWhitespace();
    bool negative = false;

    if (*p == '-' || *p == '+')
    {
        negative = *p == '-';
        ++p;
    }

    // One past the int range is enough to saturate either sign.
    constexpr long long limit = (long long) std::numeric_limits<int>::max() + 1;
    long long magnitude = 0;

    for (;;)
    {
        const auto c = p.getAndAdvance();
        if (c < '0' || c > '9')
            break;

        if (magnitude < limit)
            magnitude = magnitude * 10 + (long long) (c - '0');
    }

    return saturate (negative ? -magnitude : magnitude);
}

int SafeNumbers::varToInt (const juce::var& value) noexcept
{
    if (value.isInt())    return (int) value;
    if (value.isBool())   return (bool) value ? 1 : 0;
    if (value.isInt64())  return saturate ((long long) (juce::int64) value);
    if (value.isDouble()) return saturate ((double) value);
    if (value.isString()) return textToInt (value.toString());
    return 0;
}
