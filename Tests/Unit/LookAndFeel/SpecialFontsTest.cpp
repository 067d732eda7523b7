#include "LookAndFeel/SpecialFonts.h"

#include <gtest/gtest.h>

namespace
{
struct FiraCase
{
    const juce::Font& (*getter)();
    const char* style;
};

struct HelveticaCase
{
    juce::Font (*getter) (float);
    const char* style;
};
} // namespace

TEST (CarriedFonts, EachFiraSansGetterSharesItsOneFace)
{
    const FiraCase cases[] = { { getFiraSansBoldFont, "Bold" },       { getFiraSansLightFont, "Light" },
                               { getFiraSansLightItalicFont, "Light Italic" }, { getFiraSansMediumFont, "Medium" },
                               { getFiraSansRegularFont, "Regular" }, { getFiraSansSemiBoldFont, "SemiBold" } };

    for (const auto& c : cases)
    {
        SCOPED_TRACE (c.style);
        const auto& font = c.getter();
        EXPECT_EQ (&font, &c.getter());
        EXPECT_EQ (font.getTypefaceName(), "Fira Sans");
        EXPECT_EQ (font.getTypefaceStyle(), c.style);
        EXPECT_FLOAT_EQ (font.getHeight(), juce::Font().getHeight());
    }
}

TEST (CarriedFonts, HelveticaNeueFacesComeAtTheAskedPointHeightAndNeverChange)
{
    // Inter is carried in place of Helvetica Neue.
    const HelveticaCase cases[] = { { getHelveticaNeueRomanFont, "Regular" },
                                    { getHelveticaNeueMediumFont, "Medium" },
                                    { getHelveticaNeueBoldFont, "Bold" } };

    for (const auto& c : cases)
    {
        SCOPED_TRACE (c.style);
        const auto eleven = c.getter (11.0f);
        const auto twelve = c.getter (12.0f);
        EXPECT_EQ (eleven.getTypefaceName(), "Inter");
        EXPECT_EQ (eleven.getTypefaceStyle(), c.style);
        EXPECT_EQ (twelve.getTypefaceStyle(), c.style);
        EXPECT_NEAR (eleven.getHeightInPoints(), 11.0f, 0.001f);
        EXPECT_NEAR (twelve.getHeightInPoints(), 12.0f, 0.001f);
        EXPECT_NEAR (c.getter (12.0f).getHeightInPoints(), 12.0f, 0.001f);
        EXPECT_EQ (c.getter (12.0f), twelve);
    }
}

TEST (CarriedFonts, FacesDrawTheirOwnGlyphsNotAFallback)
{
    // A face the framework could not load falls back silently; the carried ones
    // differ from one another in width.
    const juce::String text ("Pellion MIX 0.0 dB");
    const auto width = [&text] (juce::Font font) { return font.withHeight (20.0f).getStringWidthFloat (text); };

    EXPECT_GT (width (getFiraSansBoldFont()), width (getFiraSansLightFont()));
    EXPECT_GT (width (getHelveticaNeueBoldFont (12.0f)), width (getHelveticaNeueRomanFont (12.0f)));
    EXPECT_NE (width (getFiraSansRegularFont()), width (getHelveticaNeueRomanFont (12.0f)));
}
