#include "Components/Dialogs/FirmwareUpdateComponent.h"
#include "Components/Images.h"
#include "LookAndFeel/SpecialFonts.h"
#include "Support/Drawing.h"
#include "Support/EditorRig.h"

#include <gtest/gtest.h>

namespace
{
using Rect = juce::Rectangle<int>;
using EditorWindowTest = EditorTest;

bool anyDescendantWantsFocus (juce::Component& parent)
{
    for (auto* child : parent.getChildren())
        if (child->getWantsKeyboardFocus() || anyDescendantWantsFocus (*child))
            return true;
    return false;
}
} // namespace

TEST_F (EditorWindowTest, TheWindowIsThePedalUnderItsMenuBar)
{
    EXPECT_EQ (editor->getBounds(), Rect (0, 0, 480, 540));

    const std::pair<juce::Component*, Rect> places[] = {
        { editor->pedalComponent.get(), { 0, 0, 480, 540 } },
        { &editor->statusLabel, { 169, 10, 152, 26 } },
        { &editor->settingsButton, { 443, 10, 31, 26 } },
        { &editor->updateNoticeButton, { 167, 60, 146, 46 } },
    };
    for (size_t i = 0; i < std::size (places); ++i)
    {
        EXPECT_EQ (places[i].first->getBounds(), places[i].second);
        EXPECT_EQ (editor->getIndexOfChildComponent (places[i].first), (int) i); // later ones on top
        EXPECT_EQ (places[i].first->isVisible(), i < 3);
    }

    EXPECT_EQ (status(), "Not Connected");
    EXPECT_EQ (editor->updateNoticeButton.getButtonText(), "Firmware Update\nRequired...");
    EXPECT_EQ (editor->statusLabel.getFont().getTypefaceName(), getFiraSansRegularFont().getTypefaceName());
    EXPECT_FLOAT_EQ (editor->statusLabel.getFont().getHeightInPoints(), 13.0f);
    EXPECT_EQ (editor->statusLabel.getJustificationType(), juce::Justification::centred);
    EXPECT_EQ (editor->mainInputChannels, 2);
    EXPECT_EQ (editor->mainOutputChannels, 2);

    // Clicks go to the children only; nothing in the window takes the keyboard focus.
    bool self = true, children = false;
    editor->getInterceptsMouseClicks (self, children);
    EXPECT_FALSE (self);
    EXPECT_TRUE (children);
    EXPECT_FALSE (anyDescendantWantsFocus (*editor));

    // The settings button and its open picture: the hover picture with an outline open at the bottom.
    EXPECT_EQ (editor->settingsButton.getNormalImage(), Images::Hamburger_button.getImage());
    EXPECT_EQ (editor->settingsButton.getOverImage(), Images::Hamburger_hover.getImage());
    const auto hover = Images::Hamburger_hover.getImage();
    const auto open = editor->settingsButtonOpenImage;
    ASSERT_EQ (open.getBounds(), hover.getBounds());
    EXPECT_NE (argb (open, 15, 0), argb (hover, 15, 0));
    EXPECT_EQ (argb (open, 15, 24), argb (hover, 15, 24));

    // Drawn: the chassis behind, the menu bar stretched over the top 53 pixels.
    const auto shot = snapshot (*editor);
    EXPECT_EQ (argb (shot, 475, 300), argb (Images::PL_chassis_Stereo.getImage(), 475, 300));
    EXPECT_TRUE (coloursNear (argb (shot, 2, 2), argb (Images::Menubar_base.getImage(), 2, 2), 8));
    EXPECT_EQ (&juce::LookAndFeel::getDefaultLookAndFeel(), &editor->lookAndFeel.get());
}

// Built from what the processor holds; told by its client when the pedal confirms a use.
TEST_F (EditorWindowTest, TheStatusLineAndFaceStartFromTheProcessorAndFollowThePedal)
{
    editor.close();
    processor->getValueTreeState().getParameter ("channelSetting")->set (channelMonoRight, GestureTracker::internalSource);
    processor->setUsbDevice (LinkRig::pedalName, modeAudio, channelMonoRight, pedalboardNone);
    rig.drain();

    OpenEditor reopened (*processor);
    EXPECT_EQ (reopened->statusLabel.getText(), "Audio : Mono R ");
    EXPECT_EQ (reopened->chassisImage, Images::PL_chassis_Mono.getImage());
    EXPECT_FALSE (reopened->pedalComponent->faderDacL->isVisible());

    // An editor opened after the attach hears of the pedal once the processor attaches again.
    processor->disconnectUsbClient();
    processor->setUsbDevice (LinkRig::pedalName, modePedalboard, channelMonoLeft, pedalboardOut);
    EXPECT_EQ (reopened->statusLabel.getText(), "Audio : Mono R ");
    rig.drain();
    EXPECT_EQ (reopened->statusLabel.getText(), "Pedalboard : OUT - L");
}

TEST_F (EditorWindowTest, EditorsShareTheStyleAndTheManagersAndOneClosingLeavesThemToTheOther)
{
    auto other = makeProcessor();
    auto second = std::make_unique<OpenEditor> (*other);

    EXPECT_EQ (&editor->lookAndFeel.get(), &(*second)->lookAndFeel.get());
    EXPECT_EQ (&editor->deviceManager.get(), &(*second)->deviceManager.get());
    EXPECT_EQ (&editor->bootDeviceManager.get(), &(*second)->bootDeviceManager.get());

    editor.close();
    EXPECT_EQ (&juce::LookAndFeel::getDefaultLookAndFeel(), &(*second)->lookAndFeel.get());
    EXPECT_EQ ((*second)->deviceManager->getNumDevices(), 1);
    EXPECT_TRUE (coloursNear (argb (snapshot (**second), 475, 300), argb (Images::PL_chassis_Stereo.getImage(), 475, 300), 0));

    second.reset();
    other.reset();
}

// Closing deletes a shown dialog without its callback, stops its job, and the
// pedal's client no longer knows the editor.
TEST_F (EditorWindowTest, ClosingWithADialogOrAJobOpenLeavesNothingBehind)
{
    editor.close();
    processor->setUsbDevice (LinkRig::pedalName, modeAudio, channelStereo, pedalboardNone);
    rig.drain();

    for (int result : { (int) MENU_ID_UPDATE_FIRMWARE, (int) MENU_ID_UPDATE_PLUGIN, (int) MENU_ID_DEVICE_OPTIONS })
    {
        SCOPED_TRACE (result);
        OpenEditor open (*processor);
        open->settingsMenuCallback (result, { LinkRig::pedalName });
        const juce::Component::SafePointer<juce::Component> dialog (open->alertManager.alert.box.get());
        ASSERT_NE (dialog.getComponent(), nullptr);

        open.close();
        EXPECT_EQ (dialog.getComponent(), nullptr);
        EXPECT_FALSE (processor->isTimerRunning (VelmoraAudioProcessor::reconnectTimerId)); // no callback ran

        // The pedal confirms a use again: only the processor hears it.
        processor->setUsbDevice (LinkRig::pedalName, modeControl, channelStereo, pedalboardNone);
        rig.drain();
        processor->setUsbDevice (LinkRig::pedalName, modeAudio, channelStereo, pedalboardNone);
        rig.drain();
    }
}
