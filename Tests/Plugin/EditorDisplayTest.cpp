// The editor in a window of its own, where a real menu can open: needs an X
// display (scripts/test.sh runs Xvfb with openbox); skipped without one.
#include "Components/Images.h"
#include "Support/EditorRig.h"

#include <gtest/gtest.h>

namespace
{
bool haveDisplay()
{
    return juce::Desktop::getInstance().getDisplays().getPrimaryDisplay() != nullptr;
}

// Runs the message loop until the condition holds, for at most two seconds.
bool runUntil (const std::function<bool()>& condition)
{
    for (int i = 0; i < 200 && ! condition(); ++i)
        juce::MessageManager::getInstance()->runDispatchLoopUntil (10);
    return condition();
}

// The open menu windows, children of the editor, in the order they opened.
juce::Array<juce::Component*> menuWindows (juce::Component& editor)
{
    juce::Array<juce::Component*> found;
    for (auto* child : editor.getChildren())
        if (child->getName() == "menu")
            found.add (child);
    return found;
}

template <typename Type>
Type* findDescendant (juce::Component& parent, const std::function<bool (Type&)>& matches)
{
    for (auto* child : parent.getChildren())
    {
        if (auto* typed = dynamic_cast<Type*> (child); typed != nullptr && matches (*typed))
            return typed;
        if (auto* found = findDescendant<Type> (*child, matches))
            return found;
    }
    return nullptr;
}

void press (juce::Component& menuWindow, int keyCode)
{
    menuWindow.keyPressed (juce::KeyPress (keyCode));
}

class EditorDisplayTest : public EditorTest
{
protected:
    void SetUp() override
    {
        if (! haveDisplay())
            GTEST_SKIP() << "no X display: set DISPLAY (scripts/test.sh runs these tests under Xvfb with openbox)";

        showInWindow (*editor);
    }

    static void showInWindow (juce::Component& window)
    {
        window.addToDesktop (juce::ComponentPeer::windowHasTitleBar);
        window.setVisible (true);
        window.toFront (true);
        runUntil ([&window] { return window.isShowing() && juce::Process::isForegroundProcess(); });
    }

    void clickAndSettle (juce::Button& button, const std::function<bool()>& until)
    {
        button.triggerClick();
        EXPECT_TRUE (runUntil (until));
    }
};

// Counts the paints that cover the whole window, as a change message asks for.
struct CountingEditor : VelmoraAudioProcessorEditor
{
    using VelmoraAudioProcessorEditor::VelmoraAudioProcessorEditor;

    void paint (juce::Graphics& g) override
    {
        if (g.getClipBounds() == getLocalBounds())
            ++wholePaints;
        VelmoraAudioProcessorEditor::paint (g);
    }

    int wholePaints = 0;
};
} // namespace

TEST_F (EditorDisplayTest, TheSettingsButtonOpensItsMenuBelowItAndASecondClickClosesIt)
{
    auto& button = editor->settingsButton;

    clickAndSettle (button, [this] { return menuWindows (*editor).size() == 1; });
    EXPECT_EQ (editor->openMenu, VelmoraAudioProcessorEditor::settingsMenuOpen);
    EXPECT_EQ (button.getNormalImage(), editor->settingsButtonOpenImage);

    const auto menu = menuWindows (*editor).getFirst()->getBounds();
    EXPECT_EQ (menu.getRight(), button.getRight());
    EXPECT_EQ (menu.getWidth(), 160);
    EXPECT_EQ (menu.getY(), button.getBottom());

    clickAndSettle (button, [this] { return menuWindows (*editor).isEmpty() && editor->openMenu == 0; });
    EXPECT_EQ (button.getNormalImage(), Images::Hamburger_button.getImage());

    clickAndSettle (button, [this] { return menuWindows (*editor).size() == 1; });
}

// Alt held at the click brings "Update Firmware..." into "About Hardware".
TEST_F (EditorDisplayTest, AltAtTheClickAddsUpdateFirmware)
{
    int entries[2] = {};
    for (bool alt : { false, true })
    {
        juce::ModifierKeys::currentModifiers = alt ? juce::ModifierKeys (juce::ModifierKeys::altModifier) : juce::ModifierKeys();
        clickAndSettle (editor->settingsButton, [this] { return menuWindows (*editor).size() == 1; });
        juce::ModifierKeys::currentModifiers = juce::ModifierKeys();

        auto* main = menuWindows (*editor).getFirst();
        press (*main, juce::KeyPress::downKey);
        press (*main, juce::KeyPress::downKey);
        press (*main, juce::KeyPress::rightKey);
        ASSERT_TRUE (runUntil ([this] { return menuWindows (*editor).size() == 2; }));
        entries[alt ? 1 : 0] = menuWindows (*editor)[1]->getNumChildComponents();

        juce::PopupMenu::dismissAllActiveMenus();
        ASSERT_TRUE (runUntil ([this] { return menuWindows (*editor).isEmpty() && editor->openMenu == 0; }));
    }

    EXPECT_EQ (entries[0], 4); // three information rows and a line
    EXPECT_EQ (entries[1], 5);
}

// Through the real menu: a release on a row chooses it, and the editor attaches.
TEST_F (EditorDisplayTest, ARowReleasedInTheMenuAttachesThePedal)
{
    clickAndSettle (editor->settingsButton, [this] { return menuWindows (*editor).size() == 1; });

    auto* main = menuWindows (*editor).getFirst();
    press (*main, juce::KeyPress::downKey);  // "Select Device"
    press (*main, juce::KeyPress::rightKey);
    ASSERT_TRUE (runUntil ([this] { return menuWindows (*editor).size() == 2; }));
    press (*menuWindows (*editor)[1], juce::KeyPress::rightKey); // "Audio", highlighted first past the pedal's header
    ASSERT_TRUE (runUntil ([this] { return menuWindows (*editor).size() == 3; }));

    auto* stereo = findDescendant<PopupMenuTextItemComponent> (*menuWindows (*editor)[2],
                                                               [] (auto& row) { return row.text == "Stereo"; });
    ASSERT_NE (stereo, nullptr);
    const auto centre = stereo->getLocalBounds().getCentre().toFloat();
    stereo->mouseUp ({ juce::Desktop::getInstance().getMainMouseSource(), centre, {}, 0.0f, 0.0f, 0.0f, 0.0f, 0.0f,
                       stereo, stereo, juce::Time(), centre, juce::Time(), 1, false });

    ASSERT_TRUE (runUntil ([this] { return processor->getDevice() != nullptr && menuWindows (*editor).isEmpty(); }));
    rig.drain();
    EXPECT_EQ (processor->getDevice()->getDriver().getState(), modeAudio);
    EXPECT_EQ (status(), "Audio : Stereo ");
    EXPECT_EQ (editor->openMenu, 0);
}

// Closing with the menu open: the menu goes, and its callback has run before the editor is gone.
TEST_F (EditorDisplayTest, ClosingWithTheMenuOpenEndsTheMenuAtOnce)
{
    clickAndSettle (editor->settingsButton, [this] { return menuWindows (*editor).size() == 1; });
    press (*menuWindows (*editor).getFirst(), juce::KeyPress::downKey);
    press (*menuWindows (*editor).getFirst(), juce::KeyPress::rightKey);
    ASSERT_TRUE (runUntil ([this] { return menuWindows (*editor).size() == 2; }));

    // The menus' modal ends are processed now, not later: their windows are gone with the editor.
    const juce::Component::SafePointer<juce::Component> main (menuWindows (*editor)[0]), sub (menuWindows (*editor)[1]);
    editor.close();
    EXPECT_EQ (main.getComponent(), nullptr);
    EXPECT_EQ (sub.getComponent(), nullptr);
    EXPECT_EQ (juce::ModalComponentManager::getInstance()->getNumModalComponents(), 0);
}

TEST_F (EditorDisplayTest, AChangeMessageOfTheProcessorRepaintsTheWholeWindow)
{
    editor.close();
    CountingEditor window (*processor);
    showInWindow (window);
    runUntil ([&window] { return window.wholePaints > 0; });

    window.wholePaints = 0;
    juce::MessageManager::getInstance()->runDispatchLoopUntil (120); // the meters repaint only themselves
    EXPECT_EQ (window.wholePaints, 0);

    processor->sendChangeMessage();
    EXPECT_TRUE (runUntil ([&window] { return window.wholePaints > 0; }));
}
