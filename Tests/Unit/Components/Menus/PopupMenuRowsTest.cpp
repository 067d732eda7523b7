#include "Components/Images.h"
#include "Components/Menus/PopupMenuHeaderItemComponent.h"
#include "Components/Menus/PopupMenuLineComponent.h"
#include "Components/Menus/PopupMenuTextItemComponent.h"
#include "LookAndFeel/LookAndFeel_PopupMenu.h"
#include "LookAndFeel/SpecialFonts.h"
#include "Support/AssertionCounter.h"
#include "Support/Drawing.h"

#include <gtest/gtest.h>

namespace
{
juce::MouseEvent releaseAt (juce::Component& component, juce::Point<float> position)
{
    return { juce::Desktop::getInstance().getMainMouseSource(), position, {}, 0.0f, 0.0f, 0.0f, 0.0f, 0.0f,
             &component, &component, juce::Time(), position, juce::Time(), 1, false };
}

std::pair<int, int> idealSize (juce::PopupMenu::CustomComponent& row)
{
    int w = -1, h = -1;
    row.getIdealSize (w, h);
    return { w, h };
}

// The highest alpha the row paints within an area (all of it by default).
int inkAlpha (juce::Component& row, juce::Rectangle<int> area = { 0, 0, 10000, 10000 })
{
    const auto image = snapshot (row);
    area = area.getIntersection (image.getBounds());
    int highest = 0;
    for (int x = area.getX(); x < area.getRight(); ++x)
        for (int y = area.getY(); y < area.getBottom(); ++y)
            highest = juce::jmax (highest, (int) image.getPixelAt (x, y).getAlpha());
    return highest;
}

// Rows painted as the menu's style paints them.
struct PopupRows : testing::Test
{
    template <typename Row>
    Row& styled (Row& row, int width, int height)
    {
        row.setLookAndFeel (&style);
        row.setSize (width, height);
        return row;
    }

    ~PopupRows() override
    {
        for (auto* row : std::initializer_list<juce::Component*> { &info, &choosable, &disabled, &line, &header })
            row->setLookAndFeel (nullptr);
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

TEST_F (PopupRows, SizesFollowTheirWidthsNotTheirTexts)
{
    EXPECT_EQ (idealSize (info), std::make_pair (240, 27));
    EXPECT_EQ (idealSize (disabled), std::make_pair (80, 27));
    EXPECT_EQ (idealSize (line), std::make_pair (240, 1));

    // The header is measured with the menu's font, then grows by a quarter and a half.
    header.setLookAndFeel (&style);
    int w = 0, h = 0;
    style.getIdealPopupMenuItemSize ("QZR-1A2B", false, -1, w, h);
    EXPECT_EQ (idealSize (header), std::make_pair (w + w / 4, h + h / 2));
}

TEST_F (PopupRows, OnlyAReleaseOnAClickableRowChoosesIt)
{
    const auto intercepts = [] (juce::Component& row)
    {
        bool self = false, children = false;
        row.getInterceptsMouseClicks (self, children);
        return self && children;
    };
    EXPECT_TRUE (intercepts (choosable));
    EXPECT_FALSE (intercepts (disabled));
    EXPECT_FALSE (intercepts (info));
    EXPECT_FALSE (choosable.isTriggeredAutomatically() || info.isTriggeredAutomatically() || header.isTriggeredAutomatically());
    EXPECT_TRUE (line.isTriggeredAutomatically());

    styled (choosable, 80, 27);
    styled (disabled, 80, 27);

    // Outside a menu a row that tries to choose itself reports an assertion:
    // only the release inside the clickable row gets that far.
    AssertionCounter assertions;
    choosable.mouseUp (releaseAt (choosable, { 85.0f, 10.0f }));
    choosable.mouseUp (releaseAt (choosable, { 10.0f, -1.0f }));
    disabled.mouseUp (releaseAt (disabled, { 10.0f, 10.0f }));
    EXPECT_EQ (assertions.count, 0);

    choosable.mouseUp (releaseAt (choosable, { 79.0f, 26.0f }));
    EXPECT_GT (assertions.count, 0);
}

TEST_F (PopupRows, InformationRowsLookActiveAndChoicesThatCannotBeMadeLookDimmed)
{
    EXPECT_GT (inkAlpha (styled (info, 240, 27)), 0xF0);
    EXPECT_EQ (inkAlpha (styled (disabled, 80, 27)), 0x4C);

    // Highlighting shows on a clickable row only.
    styled (choosable, 80, 27);
    choosable.setHighlighted (true);
    EXPECT_TRUE (coloursNear (argb (snapshot (choosable), 70, 2), 0x4CFFFFFF, 2));
    info.setHighlighted (true);
    EXPECT_EQ (argb (snapshot (info), 235, 2), 0u);

    // The tick of a ticked row, never of an unticked one; both leave it its room.
    const juce::Rectangle<int> tickArea (9, 1, tick.getWidth(), 25);
    choosable.setHighlighted (false);
    EXPECT_GT (inkAlpha (choosable, tickArea), 0x80);
    EXPECT_EQ (inkAlpha (disabled, tickArea), 0);

    EXPECT_TRUE (coloursNear (argb (snapshot (styled (line, 240, 1)), 100, 0), 0x4CFFFFFF, 1));

    // A header paints its name in the style's header colour, and nothing when too narrow.
    EXPECT_GT (inkAlpha (styled (header, 120, 27)), 0xF0);
    EXPECT_EQ (inkAlpha (styled (header, 2, 27)), 0);
}
