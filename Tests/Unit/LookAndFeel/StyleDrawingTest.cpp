#include "Components/Images.h"
#include "LookAndFeel/LookAndFeel_Custom.h"
#include "LookAndFeel/LookAndFeel_HighlightButton.h"
#include "LookAndFeel/LookAndFeel_PopupMenuWithHeader.h"
#include "Support/Drawing.h"

#include <gtest/gtest.h>

namespace
{
// The leftmost column with any ink, or -1.
int firstInkedColumn (const juce::Image& image)
{
    for (int x = 0; x < image.getWidth(); ++x)
        for (int y = 0; y < image.getHeight(); ++y)
            if (image.getPixelAt (x, y).getAlpha() > 0)
                return x;
    return -1;
}

int highestAlpha (const juce::Image& image)
{
    int highest = 0;
    for (int x = 0; x < image.getWidth(); ++x)
        for (int y = 0; y < image.getHeight(); ++y)
            highest = juce::jmax (highest, (int) image.getPixelAt (x, y).getAlpha());
    return highest;
}

std::uint32_t over (std::uint32_t below, std::uint32_t above)
{
    return juce::Colour (below).overlaidWith (juce::Colour (above)).getARGB();
}
} // namespace

TEST (DefaultStyleDrawing, ButtonOutlineAndFillFollowEnablementAndPress)
{
    LookAndFeel_Custom style;
    juce::TextButton button;
    button.setLookAndFeel (&style);
    button.setSize (60, 28);
    button.setColour (juce::TextButton::buttonColourId, juce::Colours::transparentBlack);

    EXPECT_TRUE (coloursNear (argb (snapshot (button), 30, 0), 0xF3FFFFFF, 2));
    button.setEnabled (false);
    EXPECT_TRUE (coloursNear (argb (snapshot (button), 30, 0), 0x4CFFFFFF, 2));

    // A disabled button's fill keeps half its alpha; pressing contrasts it by half, hovering by a quarter.
    const juce::Colour grey (0xFF808080);
    const auto centreOf = [&style, &button] (bool highlighted, bool down, juce::Colour colour = juce::Colour (0xFF808080))
    {
        return argb (paintImage (60, 28, [&] (juce::Graphics& g)
                                 { style.drawButtonBackground (g, button, colour, highlighted, down); }),
                     30, 14);
    };

    EXPECT_TRUE (coloursNear (centreOf (false, false), 0x80808080, 1));
    button.setEnabled (true);
    EXPECT_TRUE (coloursNear (centreOf (false, false), 0xFF808080, 1));
    EXPECT_TRUE (coloursNear (centreOf (true, false), grey.contrasting (0.25f).getARGB(), 1));
    EXPECT_TRUE (coloursNear (centreOf (false, true), grey.contrasting (0.5f).getARGB(), 1));
    EXPECT_NE (centreOf (true, false), centreOf (false, true));

    // Without the keyboard focus the fill is a little less saturated.
    const juce::Colour violet (0xFF966BD9);
    EXPECT_TRUE (coloursNear (centreOf (false, false, violet), violet.withMultipliedSaturation (0.9f).getARGB(), 1));
    EXPECT_FALSE (coloursNear (centreOf (false, false, violet), violet.getARGB(), 3));
    button.setLookAndFeel (nullptr);
}

TEST (DefaultStyleDrawing, PopupMenuIsSquareWithAThinOutline)
{
    LookAndFeel_Custom style;
    const auto image = paintImage (100, 50, [&style] (juce::Graphics& g) { style.drawPopupMenuBackground (g, 100, 50); });

    EXPECT_TRUE (coloursNear (argb (image, 0, 0), over (0xFF201717, 0x99FFFFFF), 2)); // square corner
    EXPECT_TRUE (coloursNear (argb (image, 50, 0), over (0xFF201717, 0x99FFFFFF), 2));
    EXPECT_EQ (argb (image, 50, 25), 0xFF201717u);
}

TEST (DefaultStyleDrawing, TooltipFillsItsBoxAndFitsTextOnOneLine)
{
    LookAndFeel_Custom style;
    const auto tip = [&style] (const char* text)
    { return paintImage (60, 20, [&style, text] (juce::Graphics& g) { style.drawTooltip (g, text, 60, 20); }); };

    const auto shortTip = tip ("Hi");
    EXPECT_EQ (argb (shortTip, 3, 10), 0xFF342C2Cu);
    EXPECT_TRUE (coloursNear (argb (shortTip, 0, 10), over (0xFF342C2C, 0x807B7676), 40)); // the half-covered outline

    // A long text is squeezed onto the one line: ink reaches near both ends, never the outline.
    const auto longTip = tip ("A long tooltip that has to shrink to fit");
    bool inkNearLeft = false, inkNearRight = false;
    for (int y = 2; y < 18; ++y)
    {
        inkNearLeft = inkNearLeft || argb (longTip, 4, y) != 0xFF342C2Cu;
        inkNearRight = inkNearRight || argb (longTip, 55, y) != 0xFF342C2Cu;
    }
    EXPECT_TRUE (inkNearLeft && inkNearRight);
}

TEST (PopupMenuStyleDrawing, OutlinesAreRoundedAndTheHeaderVariantLeavesTheTopRightOpen)
{
    LookAndFeel_PopupMenu plain;
    LookAndFeel_PopupMenuWithHeader header;
    const auto outline = over (0xFF201717, 0xCCFFFFFF);

    const auto plainImage = paintImage (120, 60, [&plain] (juce::Graphics& g) { plain.drawPopupMenuBackground (g, 120, 60); });
    EXPECT_TRUE (coloursNear (argb (plainImage, 105, 0), outline, 3));
    EXPECT_TRUE (coloursNear (argb (plainImage, 60, 0), outline, 3));
    EXPECT_EQ (argb (plainImage, 0, 0) >> 24, 0u); // rounded corner
    EXPECT_EQ (argb (plainImage, 60, 30), 0xFF201717u);

    const auto headerImage = paintImage (120, 60, [&header] (juce::Graphics& g) { header.drawPopupMenuBackground (g, 120, 60); });
    EXPECT_TRUE (coloursNear (argb (headerImage, 60, 0), outline, 3));
    EXPECT_EQ (argb (headerImage, 105, 0), 0xFF201717u); // open over the last 30 pixels
    EXPECT_TRUE (coloursNear (argb (headerImage, 119, 30), outline, 3));
    EXPECT_TRUE (coloursNear (argb (headerImage, 60, 59), outline, 3));

    // The settings button's border is open at the bottom.
    const auto border = paintImage (31, 25, [&header] (juce::Graphics& g) { header.drawPopupMenuButtonBorder (g, 31, 25); });
    EXPECT_TRUE (coloursNear (argb (border, 15, 0), 0xCCFFFFFF, 3));
    EXPECT_TRUE (coloursNear (argb (border, 0, 15), 0xCCFFFFFF, 3));
    EXPECT_EQ (argb (border, 15, 24), 0u);
}

TEST (PopupMenuStyleDrawing, SeparatorIsTwoRowsInsetByFive)
{
    LookAndFeel_PopupMenu style;
    const auto image = paintImage (100, 20, [&style] (juce::Graphics& g)
                                   { style.drawPopupMenuItem (g, { 0, 0, 100, 20 }, true, true, false, false, false, "ignored", "", nullptr, nullptr); });

    EXPECT_TRUE (coloursNear (argb (image, 5, 9), 0x33000000, 1));
    EXPECT_TRUE (coloursNear (argb (image, 94, 9), 0x33000000, 1));
    EXPECT_TRUE (coloursNear (argb (image, 50, 10), 0x66FFFFFF, 1));
    EXPECT_EQ (argb (image, 4, 9), 0u);
    EXPECT_EQ (argb (image, 95, 10), 0u);
    EXPECT_EQ (argb (image, 50, 8), 0u);
    EXPECT_EQ (argb (image, 50, 11), 0u);
}

TEST (PopupMenuStyleDrawing, ItemTextPlacementIconDimmingAndHighlight)
{
    LookAndFeel_PopupMenu style;
    juce::DrawableImage icon (Images::Menu_check.getImage());
    ASSERT_EQ (icon.getWidth(), 10);

    const auto item = [&style, &icon] (bool active, bool highlighted, bool ticked, bool withIcon, bool subMenu, const char* shortcut)
    {
        return paintImage (120, 24, [&] (juce::Graphics& g)
                           { style.drawPopupMenuItem (g, { 0, 0, 120, 24 }, false, active, highlighted, ticked, subMenu,
                                                      "Stereo", shortcut, withIcon ? &icon : nullptr, nullptr); });
    };

    const auto plainStart = firstInkedColumn (item (true, false, false, false, false, ""));
    EXPECT_GE (plainStart, 9);
    EXPECT_LE (plainStart, 11);

    // An unticked icon keeps its room, so ticked and unticked rows line up.
    EXPECT_EQ (firstInkedColumn (item (true, false, false, true, false, "")), plainStart + 16);
    EXPECT_EQ (firstInkedColumn (item (true, false, true, true, false, "")), 9);

    EXPECT_EQ (highestAlpha (item (true, false, false, false, false, "")), 255);
    EXPECT_EQ (highestAlpha (item (false, false, false, false, true, "")), 0x4C);

    // A shortcut key text is never drawn.
    EXPECT_EQ (item (true, false, false, false, false, "Ctrl+Q").getPixelAt (110, 12).getAlpha(), 0);
    EXPECT_GT (highestAlpha (item (true, false, false, false, true, "").getClippedImage ({ 100, 0, 20, 24 })), 0);

    const auto highlighted = item (true, true, false, false, false, "");
    EXPECT_TRUE (coloursNear (argb (highlighted, 4, 12), 0x4CFFFFFF, 1));
    EXPECT_EQ (argb (highlighted, 0, 12), 0u);
}

TEST (PopupMenuStyleDrawing, IdealItemSizes)
{
    LookAndFeel_PopupMenu style;
    const juce::String text ("Pedalboard");
    const auto widthAt14 = (int) std::ceil (juce::Font (style.getPopupMenuFont()).withHeight (14.0f).getStringWidthFloat (text));

    struct Case
    {
        bool separator;
        int standardHeight;
        int width, height;
    };

    const Case cases[] = { { true, 0, 50, 10 }, { true, 27, 50, 13 }, { false, 0, widthAt14 + 36, 18 }, { false, 27, widthAt14 + 54, 27 } };
    for (const auto& c : cases)
    {
        int width = -1, height = -1;
        style.getIdealPopupMenuItemSize (text, c.separator, c.standardHeight, width, height);
        EXPECT_EQ (width, c.width) << "separator " << c.separator << ", standard height " << c.standardHeight;
        EXPECT_EQ (height, c.height) << "separator " << c.separator << ", standard height " << c.standardHeight;
    }
}

TEST (HighlightButtonDrawing, TintGrowsWithHoverAndPressOverAFixedUnderlay)
{
    LookAndFeel_HighlightButton style;
    juce::TextButton button;
    button.setSize (146, 46);
    button.setColour (juce::TextButton::textColourOnId, juce::Colour (0xFFFFFF0A));
    button.setColour (juce::TextButton::textColourOffId, juce::Colour (0xFFFFFF0A));
    const juce::Colour colour (0x61FFFF0A);

    struct Case
    {
        bool enabled, highlighted, down;
        std::uint32_t tint;
    };

    const Case cases[] = { { true, false, false, 0x0FFFFF0A }, { true, true, false, 0x30FFFF0A },
                           { true, false, true, 0x4EFFFF0A },  { true, true, true, 0x4EFFFF0A },
                           { false, true, true, 0x01FFFF0A } };

    for (const auto& c : cases)
    {
        button.setEnabled (c.enabled);
        const auto image = paintImage (146, 46, [&] (juce::Graphics& g)
                                       { style.drawButtonBackground (g, button, colour, c.highlighted, c.down); });
        const auto expected = paintImage (146, 46, [&c] (juce::Graphics& g)
                                          {
                                              g.setColour (juce::Colour (0xCC201717));
                                              g.fillRect (0, 0, 146, 46);
                                              g.setColour (juce::Colour (c.tint));
                                              g.fillRect (0, 0, 146, 46);
                                          });
        EXPECT_EQ (argb (image, 73, 23), argb (expected, 73, 23))
            << "enabled " << c.enabled << ", highlighted " << c.highlighted << ", down " << c.down;
        EXPECT_TRUE (coloursNear (argb (image, 73, 0), 0xFFFFFF0A, 2));
    }
}
