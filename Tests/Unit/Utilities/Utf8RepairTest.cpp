#include "Utilities/Utf8Check.h"

#include <gtest/gtest.h>
#include <string>

namespace
{
std::string repaired (const std::string& text)
{
    return replaceInvalidUtf8 (reinterpret_cast<const uint8_t*> (text.data()), text.size());
}

const std::string fffd = "\xEF\xBF\xBD";
} // namespace

TEST (Utf8Repair, EachByteThatStartsNoWellFormedSequenceBecomesOneReplacement)
{
    const struct { std::string text, expected; } cases[] = {
        { "plain", "plain" },
        { "\xC3\xA0 \xE2\x82\xAC \xF0\x9F\x8E\xB8", "\xC3\xA0 \xE2\x82\xAC \xF0\x9F\x8E\xB8" },
        { "\xE0 Latin-1", fffd + " Latin-1" },
        { "\xC3(", fffd + "(" },
        { "\x80\xBF", fffd + fffd },
        { "\xC0\xAF", fffd + fffd },                // overlong
        { "\xED\xA0\x80", fffd + fffd + fffd },     // surrogate
        { "\xF4\x90\x80\x80", fffd + fffd + fffd + fffd }, // above U+10FFFF
        { "\xF0\x9F\x8E", fffd + fffd + fffd },     // cut short
        { std::string ("a\0b", 3), "a" + fffd + "b" },
        { "", "" },
    };

    for (const auto& c : cases)
    {
        const auto result = repaired (c.text);
        EXPECT_EQ (result, c.expected) << testing::PrintToString (c.text);
        EXPECT_TRUE (isStrictUtf8 (reinterpret_cast<const uint8_t*> (result.data()), result.size()));
    }
}
