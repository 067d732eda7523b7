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
#include <tuple>

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

// Rows as the menu's style paints them, at the sizes the menu gives them.
struct PopupRows : testing::Test
{
    PopupRows()
    {
        for (auto [row, width, height] : rows())
        {
            row->setLookAndFeel (&style);
            row->setSize (width, height);
        }
    }

    ~PopupRows() override
    {
        for (auto [row, width, height] : rows())
            row->setLookAndFeel (nullptr);
    }

    std::array<std::tuple<juce::Component*, int, int>, 5> rows()
    {
        return { { { &info, 240, 27 }, { &choosable, 80, 27 }, { &disabled, 80, 27 }, { &line, 240, 1 }, { &header, 120, 27 } } };
    }

    LookAndFeel_PopupMenu style;
    juce::Image tick = Images::Menu_check.getImage();
    PopupMenuTextItemComponent info { "Serial Number: 1A2B", 240 };
    PopupMenuTextItemComponent choosable { "Mono-L", 80, true, true, tick };
    PopupMenuTextItemComponent disabled { "A rather long entry text", 80, false, false, tick };
    PopupMenuLineComponent line { 240 };
    PopupMenuHeaderItemComponent header { "QZR-1A2B", getFiraSansSemiBoldFont().withHeight (18.0f) };
};
} // namespace

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
    EXPECT_GT (inkAlpha (header), 0xF0);
    header.setSize (2, 27);
    EXPECT_EQ (inkAlpha (header), 0);
}
