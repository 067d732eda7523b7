#include "Components/Images.h"
#include "Components/Menus/PopupMenuHeaderItemComponent.h"
#include "Components/Menus/PopupMenuLineComponent.h"
#include "Components/Menus/PopupMenuTextItemComponent.h"
#include "LookAndFeel/LookAndFeel_PopupMenu.h"
#include "LookAndFeel/SpecialFonts.h"
#include "Support/AssertionCounter.h"
#include "Support/Drawing.h"

#include <gtest/gtest.h>
#include <array>

namespace
{
// The highest alpha the row paints within an area (all of it by default).
int inkAlpha (juce::Component& row, juce::Rectangle<int> area = { 0, 0, 1000, 1000 })
{
    const auto image = snapshot (row);
    int highest = 0;
    for (int x = area.getX(); x < juce::jmin (area.getRight(), image.getWidth()); ++x)
        for (int y = area.getY(); y < juce::jmin (area.getBottom(), image.getHeight()); ++y)
            highest = juce::jmax (highest, (int) image.getPixelAt (x, y).getAlpha());
    return highest;
}

std::pair<int, int> idealSize (juce::PopupMenu::CustomComponent& row)
{
    int w = -1, h = -1;
    row.getIdealSize (w, h);
    return { w, h };
}

// Rows as the menu's style paints them.
struct PopupRows : testing::Test
{
    PopupRows()
    {
        for (auto* row : rows())
            row->setLookAndFeel (&style);
        info.setSize (240, 27);
        choosable.setSize (80, 27);
        disabled.setSize (80, 27);
        line.setSize (240, 1);
    }

    ~PopupRows() override
    {
        for (auto* row : rows())
            row->setLookAndFeel (nullptr);
    }

    std::array<juce::Component*, 5> rows() { return { &info, &choosable, &disabled, &line, &header }; }

    LookAndFeel_PopupMenu style;
    juce::Image tick = Images::Menu_check.getImage();
    PopupMenuTextItemComponent info { "Serial Number: 1A2B", 240 };
    PopupMenuTextItemComponent choosable { "Mono-L", 80, true, true, tick };
    PopupMenuTextItemComponent disabled { "A rather long entry text", 80, false, false, tick };
    PopupMenuLineComponent line { 240 };
    PopupMenuHeaderItemComponent header { "QZR-1A2B", getFiraSansSemiBoldFont().withHeight (18.0f) };
};
} // namespace

TEST_F (PopupRows, SizesFollowTheirWidthsNotTheirTexts)
{
    EXPECT_EQ (idealSize (info), std::pair (240, 27));
    EXPECT_EQ (idealSize (disabled), std::pair (80, 27));
    EXPECT_EQ (idealSize (line), std::pair (240, 1));

    // A header is measured with the menu's font, then a quarter wider and half again as high.
    int w = 0, h = 0;
    style.getIdealPopupMenuItemSize ("QZR-1A2B", false, -1, w, h);
    EXPECT_EQ (idealSize (header), std::pair (w + w / 4, h + h / 2));
}

TEST_F (PopupRows, OnlyAReleaseInsideAClickableRowChoosesIt)
{
    EXPECT_FALSE (choosable.isTriggeredAutomatically() || info.isTriggeredAutomatically() || header.isTriggeredAutomatically());
    EXPECT_TRUE (line.isTriggeredAutomatically());
    bool self = false, children = false;
    disabled.getInterceptsMouseClicks (self, children);
    EXPECT_FALSE (self || children);

    // Outside a menu a row that chooses itself reports an assertion: only the
    // release inside the clickable row gets that far.
    const auto release = [] (juce::Component& row, float x, float y)
    {
        row.mouseUp ({ juce::Desktop::getInstance().getMainMouseSource(), { x, y }, {}, 0.0f, 0.0f, 0.0f, 0.0f, 0.0f,
                       &row, &row, juce::Time(), { x, y }, juce::Time(), 1, false });
    };
    AssertionCounter assertions;
    release (choosable, 85.0f, 10.0f);
    release (choosable, 10.0f, -1.0f);
    release (disabled, 10.0f, 10.0f);
    EXPECT_EQ (assertions.count, 0);
    release (choosable, 79.0f, 26.0f);
    EXPECT_GT (assertions.count, 0);
}

TEST_F (PopupRows, InformationRowsLookActiveAndChoicesThatCannotBeMadeLookDimmed)
{
    EXPECT_GT (inkAlpha (info), 0xF0);
    EXPECT_EQ (inkAlpha (disabled), 0x4C);

    // The tick of a ticked row only, in the room both leave for it.
    const juce::Rectangle<int> tickArea (9, 1, tick.getWidth(), 25);
    EXPECT_GT (inkAlpha (choosable, tickArea), 0x80);
    EXPECT_EQ (inkAlpha (disabled, tickArea), 0);

    // A highlight on a clickable row only.
    choosable.setHighlighted (true);
    info.setHighlighted (true);
    EXPECT_TRUE (coloursNear (argb (snapshot (choosable), 70, 2), 0x4CFFFFFF, 2));
    EXPECT_EQ (argb (snapshot (info), 235, 2), 0u);

    EXPECT_TRUE (coloursNear (argb (snapshot (line), 100, 0), 0x4CFFFFFF, 1));
    header.setSize (120, 27);
    EXPECT_GT (inkAlpha (header), 0xF0);
    header.setSize (2, 27);
    EXPECT_EQ (inkAlpha (header), 0);
}
