#include "Utilities/SafeNumbers.h"

#include <gtest/gtest.h>

#include <limits>

namespace
{
constexpr auto biggest = std::numeric_limits<int>::max();
constexpr auto smallest = std::numeric_limits<int>::min();
} // namespace

// The framework's own conversions overflow (undefined behaviour) on what a
// corrupt or hostile file, state or tree may hold.
TEST (SafeNumbers, TextReadsItsLeadingIntegerAndSaturates)
{
    const struct { const char* text; int expected; } cases[] = {
        { " -17x", -17 },          { "+64", 64 },         { "12.9", 12 },        { "1e99", 1 },
        { "abc", 0 },              { "", 0 },             { "nan", 0 },          { "inf", 0 },
        { "2147483647", biggest }, { "2147483648", biggest }, { "99999999999999999999", biggest },
        { "-2147483648", smallest }, { "-2147483649", smallest }, { "-99999999999999999999", smallest },
        { "-1e300", -1 },
    };

    for (const auto& c : cases)
    {
        EXPECT_EQ (SafeNumbers::textToInt (c.text), c.expected) << c.text;
        EXPECT_EQ (SafeNumbers::varToInt (juce::var (c.text)), c.expected) << c.text;
    }
}

TEST (SafeNumbers, ValuesOfEveryTypeReadAsIntsThatSaturate)
{
    const struct { juce::var value; int expected; } cases[] = {
        { std::numeric_limits<double>::quiet_NaN(), 0 },
        { std::numeric_limits<double>::infinity(), biggest },
        { -std::numeric_limits<double>::infinity(), smallest },
        { 1e300, biggest },
        { -1e300, smallest },
        { -0.9, 0 },
        { (juce::int64) 1 << 40, biggest },
        { -((juce::int64) 1 << 40), smallest },
        { true, 1 },
        { juce::var(), 0 },
        { juce::var (juce::Array<juce::var> { 5 }), 0 },
        { juce::var (new juce::DynamicObject()), 0 },
    };

    for (const auto& c : cases)
        EXPECT_EQ (SafeNumbers::varToInt (c.value), c.expected) << c.value.toString();
}
