#include "Utilities/JsonCheck.h"

#include <gtest/gtest.h>

// What the framework's JSON reader would recurse or overflow on, or read past the end of.
TEST (JsonCheck, RefusesWhatTheParserCannotTake)
{
    constexpr int nesting = 64;

    for (const auto& safe : { juce::String (R"({"adcL": -12, "adcR": 1.5e-3, "x": [[{}]]})"),
                              "[0." + juce::String::repeatedString ("9", 400) + "]",
                              "[\"" + juce::String::repeatedString ("[{", 200) + "\\\"\"]",
                              juce::String::repeatedString ("[", nesting) })
        EXPECT_TRUE (JsonCheck::isSafeToParse (safe, nesting)) << safe;

    for (const auto& unsafe : { juce::String::repeatedString ("[", nesting + 1), juce::String ("[-"), juce::String ("[- 1]"),
                                juce::String ("[1234567890123456789]"), juce::String ("[1e1234567890]"),
                                juce::String ("[\"open"), juce::String ("[\"\\"), juce::String ("][") })
        EXPECT_FALSE (JsonCheck::isSafeToParse (unsafe, nesting)) << unsafe;
}

TEST (JsonCheck, NestsAsDeepAsTheCallerAllows)
{
    const juce::String threeDeep (R"({"a": [{"b": 1}], "c": [2]})");

    EXPECT_TRUE (JsonCheck::isSafeToParse (threeDeep, 3));
    EXPECT_FALSE (JsonCheck::isSafeToParse (threeDeep, 2));
    EXPECT_TRUE (JsonCheck::isSafeToParse ("7", 0));
    EXPECT_FALSE (JsonCheck::isSafeToParse ("[]", 0));
}
