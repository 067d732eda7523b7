#include "Components/Images.h"
#include "LookAndFeel/SpecialFonts.h"
#include "Support/Drawing.h"
#include "Support/EditorRig.h"

#include <gtest/gtest.h>

namespace
{
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
    EXPECT_EQ (editor->getBounds(), juce::Rectangle<int> (0, 0, 480, 540));
    auto& statusLine = statusLineOf (*editor);
    auto& settingsButton = settingsButtonOf (*editor);
    auto& notice = updateNoticeOf (*editor);
    const std::pair<juce::Component*, juce::Rectangle<int>> places[] = { // in painting order, the notice hidden
        { &faceOf (*editor), { 0, 0, 480, 540 } }, { &statusLine, { 169, 10, 152, 26 } },
        { &settingsButton, { 443, 10, 31, 26 } },  { &notice, { 167, 60, 146, 46 } },
    };
    ASSERT_EQ (editor->getNumChildComponents(), 4);
    for (int i = 0; i < 4; ++i)
    {
        EXPECT_EQ (places[i].first->getBounds(), places[i].second);
        EXPECT_EQ (editor->getIndexOfChildComponent (places[i].first), i);
        EXPECT_EQ (places[i].first->isVisible(), i < 3);
    }

    EXPECT_EQ (status(), "Not Connected");
    EXPECT_EQ (notice.getButtonText(), "Firmware Update\nRequired...");
    EXPECT_EQ (statusLine.getFont().getTypefaceName(), getFiraSansRegularFont().getTypefaceName());
    EXPECT_FLOAT_EQ (statusLine.getFont().getHeightInPoints(), 13.0f);
    const juce::SharedResourcePointer<LookAndFeel_Custom> style;
    EXPECT_EQ (&juce::LookAndFeel::getDefaultLookAndFeel(), &style.get());

    // Clicks reach the children only; nothing in the window takes the keyboard focus.
    bool self = true, children = false;
    editor->getInterceptsMouseClicks (self, children);
    EXPECT_TRUE (! self && children);
    EXPECT_FALSE (anyDescendantWantsFocus (*editor));

    // The settings button: the hover picture under the pointer (the open button
    // is shown in EditorDisplayTest, where the menu really opens).
    EXPECT_EQ (settingsButton.getOverImage(), Images::Hamburger_hover.getImage());

    // The chassis behind, the menu bar stretched over the top 53 pixels.
    const auto shot = snapshot (*editor);
    EXPECT_EQ (argb (shot, 475, 300), argb (Images::PL_chassis_Stereo.getImage(), 475, 300));
    EXPECT_TRUE (coloursNear (argb (shot, 2, 2), argb (Images::Menubar_base.getImage(), 2, 2), 8));
}

// Built from what the processor holds, and following it from then on, however
// it changes: within a meter tick, with or without a change message or the
// pedal's answer. Without a use the face keeps the use it showed last and takes
// the stored channel setting, which outlives an attachment.
TEST_F (EditorWindowTest, TheStatusLineAndFaceStartFromTheProcessorAndFollowIt)
{
    editor.close();
    auto* stored = processor->getValueTreeState().getParameter ("channelSetting");
    stored->set (toInt (ChannelSetting::monoRight), GestureTracker::internalSource);
    attach (Mode::audio, ChannelSetting::monoRight);

    OpenEditor reopened (*processor);
    const auto shown = faceOf (*reopened).widgetsForTesting();
    EXPECT_EQ (statusLineOf (*reopened).getText(), "Audio : Mono R ");
    EXPECT_EQ (shown.chassis, Images::PL_chassis_Mono.getImage());
    EXPECT_FALSE (shown.faderDacL->isVisible());

    const struct
    {
        const char* what;
        std::function<void()> change;
        const char* status;
        const ImageSelector& chassis;
        bool left, right; // which output faders show
    } steps[] = {
        { "another use attached elsewhere, not yet answered",
          [&] { processor->disconnectUsbClient(); processor->setUsbDevice (LinkRig::pedalName, Mode::pedalboard, ChannelSetting::monoLeft, PedalModeConfig::out); },
          "Pedalboard : OUT - L", Images::PL_chassis_Mono_Out, true, false },
        { "its channel changed elsewhere, which sends no change message",
          [&] { rig.drain(); processor->setUsbDevice (LinkRig::pedalName, Mode::pedalboard, ChannelSetting::stereo, PedalModeConfig::out); },
          "Pedalboard : OUT - S", Images::PL_chassis_Stereo_Out, true, true },
        { "detached elsewhere", [&] { processor->disconnectUsbClient(); }, "Not Connected", Images::PL_chassis_Mono_Out, false, true },
        { "the stored setting changed, as a restored state changes it",
          [&] { stored->set (toInt (ChannelSetting::stereo), GestureTracker::internalSource); }, "Not Connected", Images::PL_chassis_Stereo_Out, true, true },
        { "attached in Control use", [&] { attach (Mode::control, ChannelSetting::monoLeft); }, "Control : Mono L ", Images::PL_chassis_Mono_In, true, false },
        { "the pedal unplugged", [&] { rig.unplugAndScan(); }, "Not Connected", Images::PL_chassis_Stereo_In, true, true },
    };

    for (const auto& step : steps)
    {
        SCOPED_TRACE (step.what);
        step.change();
        reopened->timerCallback (VelmoraAudioProcessorEditor::meterTimerId);
        EXPECT_EQ (statusLineOf (*reopened).getText(), step.status);
        EXPECT_EQ (shown.chassis, step.chassis.getImage());
        EXPECT_EQ (std::pair (shown.faderDacL->isVisible(), shown.faderDacR->isVisible()), std::pair (step.left, step.right));
    }
}

TEST_F (EditorWindowTest, EditorsShareTheStyleAndTheManagersAndOneClosingLeavesThemToTheOther)
{
    const juce::SharedResourcePointer<LookAndFeel_Custom> style;
    const auto listed = [] (VelmoraAudioProcessorEditor& window) { return window.getPedalsView().getNames(); };

    auto other = makeHostedProcessor();
    OpenEditor second (*other);
    EXPECT_EQ (style.getReferenceCount(), 3); // both editors' and this test's
    EXPECT_EQ (listed (*editor), juce::StringArray { LinkRig::pedalName });
    EXPECT_EQ (listed (*second), juce::StringArray { LinkRig::pedalName });

    editor.close();
    EXPECT_EQ (style.getReferenceCount(), 2);
    EXPECT_EQ (&juce::LookAndFeel::getDefaultLookAndFeel(), &style.get());
    EXPECT_EQ (listed (*second), juce::StringArray { LinkRig::pedalName });
}

// Closing deletes a shown dialog without its callback, stops its job, and the
// pedal's client forgets the editor.
TEST_F (EditorWindowTest, ClosingWithADialogOrAJobOpenLeavesNothingBehind)
{
    editor.close();
    attach (Mode::audio, ChannelSetting::stereo);
    for (int result : { (int) MENU_ID_UPDATE_FIRMWARE, (int) MENU_ID_UPDATE_PLUGIN, (int) MENU_ID_DEVICE_OPTIONS })
    {
        SCOPED_TRACE (result);
        OpenEditor open (*processor);
        open->settingsMenuCallback (result, { LinkRig::pedalName });
        const juce::Component::SafePointer<juce::Component> dialog (dialogOf (*open));
        ASSERT_NE (dialog.getComponent(), nullptr);

        open.close();
        EXPECT_EQ (dialog.getComponent(), nullptr);
        EXPECT_FALSE (processor->isTimerRunning (VelmoraAudioProcessor::reconnectTimerId)); // no callback ran

        // The pedal confirms a use again: only the processor hears of it.
        attach (Mode::control, ChannelSetting::stereo);
        attach (Mode::audio, ChannelSetting::stereo);
    }
}
