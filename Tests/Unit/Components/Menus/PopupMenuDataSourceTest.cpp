#include "Components/Menus/PopupMenuDataSource.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <limits>
#include <vector>

namespace
{
using Source = PopupMenuDataSource<juce::String>;

struct Row : juce::PopupMenu::CustomComponent, Source::Listener
{
    explicit Row (std::vector<Row*>& log) : notified (log) {}
    void getIdealSize (int& width, int& height) override { width = 80, height = 20; }
    void offsetChanged() override
    {
        notified.push_back (this);
        if (onChange)
            onChange();
    }

    std::vector<Row*>& notified;
    std::function<void()> onChange;
};

struct PresetWindow : testing::Test
{
    void fill (int elements, int rowCount)
    {
        for (int i = 0; i < elements; ++i)
            list.add (new juce::String ("Preset " + juce::String (i)));
        for (int i = 0; i < rowCount; ++i)
        {
            rows.push_back (std::make_unique<Row> (notified));
            source.addListener (rows.back().get());
        }
    }

    juce::OwnedArray<juce::String> list;
    Source source { list };
    std::vector<std::unique_ptr<Row>> rows;
    std::vector<Row*> notified;
};
} // namespace

TEST_F (PresetWindow, MovesWithinTheListAndTellsTheRowsBottomFirst)
{
    fill (5, 3);
    EXPECT_TRUE (source.getScrollUpImage().isValid());
    EXPECT_TRUE (source.getScrollDownImage().isValid());

    struct Step
    {
        int delta, offset;
        bool told;
    };

    for (const auto& step : { Step { 1, 1, true }, Step { 5, 2, true }, Step { 1, 2, false }, Step { 0, 2, false },
                              Step { -1, 1, true }, Step { -7, 0, true }, Step { -1, 0, false }, Step { 1, 1, true },
                              // The largest steps stop at the ends too.
                              Step { std::numeric_limits<int>::max(), 2, true }, Step { std::numeric_limits<int>::min(), 0, true } })
    {
        notified.clear();
        source.adjustOffset (step.delta);
        EXPECT_EQ (source.getOffset(), step.offset) << step.delta;
        if (step.told)
        {
            EXPECT_EQ (notified, (std::vector<Row*> { rows[2].get(), rows[1].get(), rows[0].get() }));
        }
        else
        {
            EXPECT_TRUE (notified.empty());
        }
    }

    source.adjustOffset (2);
    EXPECT_EQ (*source.getElement (0), "Preset 2");
    EXPECT_EQ (*source.getElement (2), "Preset 4");
    EXPECT_EQ (source.getElement (3), nullptr);
}

TEST_F (PresetWindow, AShortOrEmptyListNeverScrolls)
{
    fill (2, 3);
    source.adjustOffset (1);
    EXPECT_EQ (source.getOffset(), 0);
    EXPECT_TRUE (notified.empty());

    list.clear();
    source.adjustOffset (1);
    EXPECT_EQ (source.getOffset(), 0);
}

TEST_F (PresetWindow, HighlightedEndRowsScrollOnlyWithThreeRowsOrMore)
{
    fill (6, 3);
    source.timerCallback (Source::scrollTimerId);
    EXPECT_EQ (source.getOffset(), 0);

    rows[2]->setHighlighted (true);
    source.timerCallback (Source::scrollTimerId);
    source.timerCallback (Source::scrollTimerId);
    EXPECT_EQ (source.getOffset(), 2);

    rows[2]->setHighlighted (false);
    rows[0]->setHighlighted (true);
    source.timerCallback (Source::scrollTimerId);
    EXPECT_EQ (source.getOffset(), 1);
    source.timerCallback (Source::holdTimerId);
    source.timerCallback (7);
    EXPECT_EQ (source.getOffset(), 1);

    source.removeListener (rows[2].get());
    rows[1]->setHighlighted (true);
    source.timerCallback (Source::scrollTimerId);
    EXPECT_EQ (source.getOffset(), 1);
}

// Rows are told bottom first; the bottom row removes others when it is told.
TEST_F (PresetWindow, ARowLeavingDuringTheNotificationIsNotToldAndNoneIsToldTwice)
{
    const struct { std::vector<int> leaving; std::vector<int> told; } cases[] = {
        { { 3, 2 }, { 3, 1, 0 } }, // itself and the next
        { { 1 }, { 3, 2, 0 } },    // one further up
        { { 0 }, { 3, 2, 1 } },    // the top row
        { { 2, 0 }, { 3, 1 } },
    };

    fill (8, 4);
    for (const auto& c : cases)
    {
        SCOPED_TRACE (::testing::PrintToString (c.leaving));
        for (auto& row : rows)
            source.removeListener (row.get());
        for (auto& row : rows)
            source.addListener (row.get());

        rows[3]->onChange = [this, leaving = c.leaving]
        {
            for (int index : leaving)
                source.removeListener (rows[(size_t) index].get());
        };

        notified.clear();
        source.adjustOffset (source.getOffset() == 0 ? 1 : -1);

        std::vector<int> told;
        for (auto* row : notified)
            told.push_back ((int) (std::find_if (rows.begin(), rows.end(), [row] (auto& r) { return r.get() == row; }) - rows.begin()));
        EXPECT_EQ (told, c.told);
    }
}
