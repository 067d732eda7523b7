#include "Components/Dialogs/AlertBoxComponent.h"
#include "Support/DialogRig.h"

#include <gtest/gtest.h>

namespace
{
using Rect = juce::Rectangle<int>;

// A box of that size; the steps add its content.
struct Layout
{
    const char* what;
    int width, height;
    juce::String title;
    std::function<void (AlertBoxComponent&)> content;
    Rect titleBounds, message;
    std::vector<Rect> buttons, rows;
};

void okCancel (AlertBoxComponent& box)
{
    box.addButton ("OK", 1);
    box.addButton ("Cancel", 0);
}

const Layout layouts[] = {
    { "two buttons", 443, 183, {}, okCancel, {}, { 44, 10, 355, 118 }, { { 84, 135, 132, 28 }, { 226, 135, 132, 28 } }, {} },
    { "a title", 443, 183, "T", okCancel, { 44, 18, 355, 23 }, { 44, 41, 355, 71 },
      { { 84, 119, 132, 28 }, { 226, 119, 132, 28 } }, {} },
    { "two labels sharing a row, no buttons", 400, 300, {}, [] (AlertBoxComponent& box) { box.addLabel ("left", 0.5f), box.addLabel ("right", 0.0f); },
      {}, { 40, 10, 320, 135 }, {}, { { 80, 197, 120, 30 }, { 200, 197, 120, 30 } } },
    { "a double row at full width, then a toggle", 400, 300, {},
      [] (AlertBoxComponent& box)
      {
          box.addComboBox ("tall", { "a", "b" }, 0);
          box.getRow (0)->getProperties().set ("nrows", 2);
          box.getRow (0)->getProperties().set ("width", 1.0);
          box.addToggleButton ("toggle", true);
          box.addButton ("Close", 0);
      },
      {}, { 40, 10, 320, 58 }, { { 109, 252, 182, 28 } }, { { 40, 68, 320, 116 }, { 80, 198, 240, 30 } } },
    { "a three-unit message and a split at the end with nothing to share", 400, 300, "Title",
      [] (AlertBoxComponent& box) { box.setMessage ("one\ntwo\nthree", 3), box.addLabel ("alone", 0.4f); },
      { 40, 25, 320, 40 }, { 40, 65, 320, 138 }, {}, { { 80, 211, 96, 30 } } },
    { "too small for anything", 30, 20, {}, okCancel, {}, { 3, 2, 24, 0 }, { { 10, 2, 0, 14 }, { 20, 2, 0, 14 } }, {} },
};
} // namespace

TEST (AlertBoxComponent, LaysOutByRowUnitsAtEverySize)
{
    DialogParent style;

    for (const auto& layout : layouts)
    {
        SCOPED_TRACE (layout.what);
        AlertBoxComponent box (layout.title, "message", nullptr);
        layout.content (box);
        box.setSize (layout.width, layout.height);
        box.updateLayout();

        EXPECT_EQ (box.getTitleLabel().isVisible(), layout.title.isNotEmpty());
        EXPECT_EQ (box.getTitleLabel().getBounds(), layout.titleBounds);
        EXPECT_EQ (box.getMessageLabel().getBounds(), layout.message);

        ASSERT_EQ (box.getNumButtons(), (int) layout.buttons.size());
        for (int i = 0; i < box.getNumButtons(); ++i)
            EXPECT_EQ (box.getButton (i)->getBounds(), layout.buttons[(size_t) i]) << "button " << i;

        ASSERT_EQ (box.getNumRows(), (int) layout.rows.size());
        for (int i = 0; i < box.getNumRows(); ++i)
            EXPECT_EQ (box.getRow (i)->getBounds(), layout.rows[(size_t) i]) << "row " << i;
    }
}

TEST (AlertBoxComponent, PushButtonsReportTheirCodeEveryTimeAndTogglesNever)
{
    DialogParent style;
    std::vector<int> results;
    AlertBoxComponent box ("", "message", [&] (int r) { results.push_back (r); });
    auto* ok = box.addButton ("OK", 1);
    auto* toggle = box.addToggleButton ("toggle", false);
    box.addComboBox ("choice", { "a", "b" }, 5);

    // Drawn in the on-state colours, never taking the focus.
    EXPECT_TRUE (ok->getToggleState());
    EXPECT_FALSE (ok->getWantsKeyboardFocus());
    EXPECT_EQ (toggle->getCommandID(), AlertBoxComponent::toggleCommandId);
    EXPECT_EQ (static_cast<juce::ComboBox*> (box.getRow (1))->getSelectedId(), 0);

    box.buttonClicked (ok);
    box.buttonClicked (toggle);
    box.buttonClicked (ok);
    EXPECT_EQ (results, (std::vector<int> { 1, 1 }));

    box.deleteAllButtons();
    EXPECT_EQ (box.getNumButtons(), 0);
    EXPECT_EQ (box.getNumRows(), 2);
}

TEST (AlertBoxComponent, PaintsItsFrameInTheStylesColours)
{
    DialogParent style;
    AlertBoxComponent box ("Title", "", nullptr);
    box.setSize (200, 100);
    const auto picture = snapshot (box);

    EXPECT_EQ (argb (picture, 50, 50), 0xFF201717u);          // background
    EXPECT_TRUE (coloursNear (argb (picture, 100, 0), 0xFF534C4C, 1)); // the frame: the background brightened by 0.3
    EXPECT_TRUE (coloursNear (argb (picture, 100, 6), 0xFFD2D0D0, 8));  // the inner outline, 0xCCFFFFFF
}
