// The editor in a window of its own, where a real menu opens: needs an X display
// (scripts/test.sh runs Xvfb with openbox) and is skipped without one.
#include "Components/Images.h"
#include "Components/Menus/PopupMenuTextItemComponent.h"
#include "Support/Drawing.h"
#include "Support/EditorRig.h"
#include "Support/MessageLoop.h"
#include "Support/OtherXClient.h"
#include "Support/WindowInFront.h"

#include <gtest/gtest.h>

namespace
{
// Windows and menus come when the X server and the window manager get to them:
// a busy machine may take seconds, so the deadline is generous.
::testing::AssertionResult runUntil (const std::function<bool()>& condition)
{
    return runLoopUntil ("the display", condition);
}

// The open menu windows, children of the editor, in the order they opened.
juce::Array<juce::Component*> menus (juce::Component& editor)
{
    juce::Array<juce::Component*> found;
    for (auto* child : editor.getChildren())
        if (child->getName() == "menu")
            found.add (child);
    return found;
}

class EditorDisplayTest : public EditorTest
{
protected:
    void SetUp() override
    {
        if (juce::Desktop::getInstance().getDisplays().getPrimaryDisplay() == nullptr)
            GTEST_SKIP() << "no X display: set DISPLAY (scripts/test.sh runs these tests under Xvfb with openbox)";
        ASSERT_TRUE (showInFront (*editor)) << "the editor's window shows in front";
    }

    // Clicks the settings button, then walks the menus with the keyboard: down
    // `downs` entries of the main menu, then into as many submenus as asked.
    void openMenu (int downs = 0, int submenus = 0)
    {
        settingsButtonOf (*editor).triggerClick();
        ASSERT_TRUE (runUntil ([this] { return menus (*editor).size() == 1; })) << "the settings menu opens";
        for (int i = 0; i < downs; ++i)
            menus (*editor)[0]->keyPressed (juce::KeyPress (juce::KeyPress::downKey));
        for (int level = 0; level < submenus; ++level)
        {
            menus (*editor)[level]->keyPressed (juce::KeyPress (juce::KeyPress::rightKey));
            ASSERT_TRUE (runUntil ([this, level] { return menus (*editor).size() == level + 2; }))
                << "submenu " << level + 1 << " opens";
        }
    }

    // No menu window, and the settings button shows itself closed again.
    bool menuClosed() { return menus (*editor).isEmpty() && settingsButtonOf (*editor).getNormalImage() == Images::Hamburger_button.getImage(); }

    // Releases the mouse on the row of the innermost open menu that shows this text.
    bool releaseRow (const juce::String& text)
    {
        std::function<PopupMenuTextItemComponent* (juce::Component&)> find = [&find, &text] (juce::Component& parent)
        {
            for (auto* child : parent.getChildren())
                if (auto* row = dynamic_cast<PopupMenuTextItemComponent*> (child); row != nullptr && row->text == text)
                    return row;
                else if (auto* found = find (*child))
                    return found;
            return (PopupMenuTextItemComponent*) nullptr;
        };

        auto* row = find (*menus (*editor).getLast());
        if (row == nullptr)
            return false;

        const auto centre = row->getLocalBounds().getCentre().toFloat();
        row->mouseUp ({ juce::Desktop::getInstance().getMainMouseSource(), centre, {}, 0.0f, 0.0f, 0.0f, 0.0f, 0.0f, row, row,
                        juce::Time(), centre, juce::Time(), 1, false });
        return true;
    }
};

// Counts the paints that cover the whole window, as a change message asks for.
struct CountingEditor : VelmoraAudioProcessorEditor
{
    using VelmoraAudioProcessorEditor::VelmoraAudioProcessorEditor;

    void paint (juce::Graphics& g) override
    {
        wholePaints += g.getClipBounds() == getLocalBounds() ? 1 : 0;
        VelmoraAudioProcessorEditor::paint (g);
    }

    int wholePaints = 0;
};
} // namespace

// The window manager's focus may come while the framework waits for a reply of
// its own, which leaves the focus event in Xlib's queue: on a display where
// nothing else happens the framework would never hear it, and a window with
// the focus would never count as in front. It does.
TEST_F (EditorDisplayTest, AFocusThatCameDuringARoundTripStillCountsAsInFront)
{
    OtherXClient other;
    ASSERT_TRUE (other.isOpen()) << "a second connection to the display";
    const auto window = (unsigned long) (juce::pointer_sized_uint) editor->getPeer()->getNativeHandle();

    // The focus goes to the other program and comes back, then goes again,
    // each change heard while it holds.
    other.focusOwnWindow();
    for (const bool toTheWindow : { true, false })
    {
        toTheWindow ? other.focus (window) : other.focusOwnWindow();
        roundTripOnFrameworkConnection();
        ASSERT_EQ (isInFront (*editor), toTheWindow) << "the framework heard the focus " << (toTheWindow ? "come" : "go");
    }

    // It comes back during a round trip of the framework's.
    other.focus (window);
    roundTripOnFrameworkConnection();
    EXPECT_TRUE (runUntil ([this] { return isInFront (*editor); })) << "the window with the focus counts as in front";
}

// The settings button opens its menu below it and a second click closes it;
// Alt held at the click brings "Update Firmware..." into "About Hardware".
TEST_F (EditorDisplayTest, TheSettingsButtonOpensItsMenuAndASecondClickClosesIt)
{
    auto& button = settingsButtonOf (*editor);
    const auto hover = Images::Hamburger_hover.getImage();
    for (const auto& [alt, hardwareEntries] : { std::pair { false, 4 }, { true, 5 } })
    {
        SCOPED_TRACE (alt ? "Alt held" : "no Alt");
        juce::ModifierKeys::currentModifiers = alt ? juce::ModifierKeys (juce::ModifierKeys::altModifier) : juce::ModifierKeys();
        ASSERT_NO_FATAL_FAILURE (openMenu (2, 1));
        juce::ModifierKeys::currentModifiers = juce::ModifierKeys();
        EXPECT_EQ (menus (*editor)[1]->getNumChildComponents(), hardwareEntries);
        // The open button: the hover picture with an outline open at the bottom.
        const auto open = button.getNormalImage();
        EXPECT_EQ (button.getOverImage(), open);
        EXPECT_EQ (button.getDownImage(), open);
        EXPECT_NE (argb (open, 15, 0), argb (hover, 15, 0));
        EXPECT_EQ (argb (open, 15, 24), argb (hover, 15, 24));
        EXPECT_EQ (menus (*editor)[0]->getBounds(), juce::Rectangle<int> (button.getRight() - 160, button.getBottom(), 160, 81));

        button.triggerClick();
        EXPECT_TRUE (runUntil ([this] { return menuClosed(); }));
        EXPECT_EQ (button.getNormalImage(), Images::Hamburger_button.getImage());
    }
    ASSERT_NO_FATAL_FAILURE (openMenu());
}

// Through the real menu: a release on a row chooses it, and the editor attaches.
TEST_F (EditorDisplayTest, ARowReleasedInTheMenuAttachesThePedal)
{
    ASSERT_NO_FATAL_FAILURE (openMenu (1, 2)); // Select Device, the pedal's Audio choices
    ASSERT_TRUE (releaseRow ("Stereo"));
    ASSERT_TRUE (runUntil ([this] { return processor->getDevice() != nullptr && menuClosed(); }));
    rig.drain();
    EXPECT_EQ (status(), "Audio : Stereo ");
}

// A choice whose callback is still on its way when the editor closes reaches
// the editor during its destruction, and there chooses nothing: nothing is
// attached (or opened) on behalf of a window that is going.
TEST_F (EditorDisplayTest, AChoiceStillOnItsWayWhenTheEditorClosesChoosesNothing)
{
    ASSERT_NO_FATAL_FAILURE (openMenu (1, 2));
    ASSERT_TRUE (releaseRow ("Stereo"));
    editor.close();
    rig.drain();
    EXPECT_EQ (processor->getDevice(), nullptr);
    EXPECT_EQ (processor->getUsbClient(), nullptr);
}

// Closing with menus open ends them at once: their windows are gone with the editor.
TEST_F (EditorDisplayTest, ClosingWithTheMenuOpenEndsTheMenuAtOnce)
{
    ASSERT_NO_FATAL_FAILURE (openMenu (1, 1));
    const juce::Component::SafePointer<juce::Component> main (menus (*editor)[0]), sub (menus (*editor)[1]);
    editor.close();
    EXPECT_EQ (main.getComponent(), nullptr);
    EXPECT_EQ (sub.getComponent(), nullptr);
    EXPECT_EQ (juce::ModalComponentManager::getInstance()->getNumModalComponents(), 0);
}

TEST_F (EditorDisplayTest, AChangeMessageOfTheProcessorRepaintsTheWholeWindow)
{
    editor.close();
    CountingEditor window (*processor);
    ASSERT_TRUE (showInFront (window)) << "the counting editor's window shows in front";

    // Once settled from its first exposures, the window's meters repaint only themselves.
    bool settled = false;
    for (int i = 0; i < 200 && ! settled; ++i)
    {
        window.wholePaints = 0;
        juce::MessageManager::getInstance()->runDispatchLoopUntil (150);
        settled = window.wholePaints == 0;
    }
    ASSERT_TRUE (settled) << "the window stops repainting itself whole after its first exposures";

    processor->sendChangeMessage();
    EXPECT_TRUE (runUntil ([&window] { return window.wholePaints > 0; })) << "the change message repaints the whole window";
}
