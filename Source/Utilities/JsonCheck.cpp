#include "Utilities/JsonCheck.h"

#include <limits>

namespace
{
bool isPlainDigit (juce::juce_wchar c) noexcept
{
    return c >= '0' && c <= '9';
}
} // namespace

namespace JsonCheck
{
bool isSafeToParse (const juce::String& text, int maximumNesting) noexcept
{
    constexpr int maximumIntegerDigits = 18;  // below int64 overflow in the number reader
    constexpr int maximumExponentDigits = 9;  // below int overflow in the exponent reader

    auto p = text.getCharPointer();
    juce::juce_wchar quote = 0, previous = 0, beforePrevious = 0;
    int depth = 0, digits = 0, digitLimit = 0;

    for (;;)
    {
        const auto c = p.getAndAdvance();

        if (c == 0)
            return quote == 0;

        if (quote != 0)
        {
            if (c == quote)
            {
                quote = 0;
                previous = c;
            }
            else if (c == '\\' && p.getAndAdvance() == 0)
            {
                return false;
            }

            continue;
        }

        if (isPlainDigit (c))
        {
            if (digits == 0)
            {
                const auto afterSign = (previous == '+' || previous == '-') ? beforePrevious : previous;

                if (afterSign == 'e' || afterSign == 'E')
                    digitLimit = maximumExponentDigits;
                else if (previous == '.')
                    digitLimit = std::numeric_limits<int>::max();
                else
                    digitLimit = maximumIntegerDigits;
            }

            if (++digits > digitLimit)
                return false;
        }
        else
        {
            digits = 0;

            const bool refused = (c == '-' && ! isPlainDigit (*p)) // the reader would step past the end
                                 || ((c == '[' || c == '{') && ++depth > maximumNesting)
                                 || ((c == ']' || c == '}') && --depth < 0);
            if (refused)
                return false;

            if (c == '"' || c == '\'')
                quote = c;
        }

        beforePrevious = previous;
        previous = c;
    }
}
} // namespace JsonCheck
