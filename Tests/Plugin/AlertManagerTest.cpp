#include "Components/Dialogs/FirmwareUpdateComponent.h"
#include "Components/Face/Fader.h"
#include "Components/Images.h"
#include "Components/Dialogs/ProToolsSetupComponent.h"
#include "Support/DialogRig.h"
#include "Support/LinkRig.h"
#include "Support/MessageLoop.h"
#include "Windows/AlertManager.h"
#include "Windows/GlassOverlayComponent.h"

#include <gtest/gtest.h>

namespace
{
using Rect = juce::Rectangle<int>;
using SafeBox = juce::Component::SafePointer<juce::Component>;

juce::PropertySet pluginSettings;

// Each kind of dialog, opened as the editor opens it.
const std::pair<const char*, std::function<bool (AlertManager&)>> openers[] = {
    { "confirmation", [] (AlertManager& m) { return m.alert_withCallback ("Title", "Message", [] (int) {}); } },
    { "firmware update", [] (AlertManager& m)
      {
          VersionQuery query;
          query.status = VersionQuery::queryFirmwareRequired;
          return m.alert_updateFirmware (query, pluginSettings, [] (int) {});
      } },
    { "device options", [] (AlertManager& m) { return m.alert_pedalOptions (juce::ValueTree ("DEVICE"), false, [] (int, juce::ValueTree&) {}); } },
    { "set-up", [] (AlertManager& m) { return m.alert_setupProTools ("QZR-1A2B"); } },
};

struct AlertManagerTest : ::testing::Test
{
    template <typename Type>
    int countChildren()
    {
        const auto& children = parent.getChildren();
        return (int) std::count_if (children.begin(), children.end(), [] (auto* c) { return dynamic_cast<Type*> (c) != nullptr; });
    }

    AlertBoxComponent* shown() { return dynamic_cast<AlertBoxComponent*> (manager->alert.box.get()); }

    // Closed boxes are deleted once the call that closed them has returned.
    static void settle() { deliverPostedMessages(); }

    PedalHolder holder;
    DialogParent parent;
    std::unique_ptr<AlertManager> manager = std::make_unique<AlertManager> (holder, parent);
};
} // namespace

//==============================================================================
TEST_F (AlertManagerTest, EachDialogIsCentredWithASizeTakenFromTheEditorsSize)
{
    const std::pair<Rect, std::array<Rect, 4>> sizes[] = {
        // The set-up dialog takes the device options dialog's size: its twelve lines need it.
        { { 480, 540 }, { Rect { 19, 179, 443, 183 }, { 39, 161, 403, 219 }, { 34, 59, 413, 422 }, { 34, 59, 413, 422 } } },
        { { 600, 400 }, { Rect { 19, 132, 563, 136 }, { 39, 119, 523, 163 }, { 34, 45, 533, 310 }, { 34, 45, 533, 310 } } },
    };

    for (const auto& [editor, expected] : sizes)
    {
        parent.setSize (editor.getWidth(), editor.getHeight());
        for (size_t i = 0; i < std::size (openers); ++i)
        {
            ASSERT_TRUE (openers[i].second (*manager));
            EXPECT_EQ (manager->alert.box->getBounds(), expected[i]) << openers[i].first << " in " << editor.toString();
            EXPECT_EQ (manager->alert.overlay->getBounds(), parent.getLocalBounds());
        }
    }
}

TEST_F (AlertManagerTest, ABoxDimsTheWholeEditorWhileClicksStillReachIt)
{
    // The face's left output fader, where the face puts it.
    Fader fader;
    fader.init (Images::Slider_cap);
    fader.setLabel ("L");
    fader.addToParent (&parent);
    fader->setBounds (12, 138, 75, 254);
    fader->setValue (127.0, juce::dontSendNotification); // its cap at the top, clear of the box
    ASSERT_TRUE (manager->alert_withCallback ("", "Sure?", [] (int) {}));

    // Black at alpha 0x4C over white, far from the box and its shadow; the box above it.
    const auto picture = saveSnapshot (parent, "confirmation-in-editor");
    EXPECT_TRUE (coloursNear (argb (picture, 470, 530), 0xFFB3B3B3, 1));
    EXPECT_TRUE (coloursNear (argb (picture, 100, 100), 0xFFB3B3B3, 1));
    EXPECT_GT (parent.getIndexOfChildComponent (manager->alert.box.get()), parent.getIndexOfChildComponent (manager->alert.overlay.get()));
    EXPECT_EQ (parent.getComponentAt (50, 150), fader.get());
    EXPECT_FALSE (manager->alert.overlay->getWantsKeyboardFocus());
    parent.removeChildComponent (fader.get());
}

TEST_F (AlertManagerTest, OneBoxAtATimeReplacedWithoutItsCallbackAndClosedByItsButtonsOnce)
{
    std::vector<int> results;
    ASSERT_TRUE (manager->alert_withCallback ("", "Sure?", [&] (int r) { results.push_back (r); }));
    const SafeBox first (manager->alert.box.get());

    // As the automatic Device Options prompt does.
    ASSERT_TRUE (openers[2].second (*manager));
    EXPECT_EQ (countChildren<GlassOverlayComponent>(), 1);
    EXPECT_EQ (countChildren<AlertBoxComponent>(), 1);
    EXPECT_EQ (first->getParentComponent(), nullptr);
    settle();
    EXPECT_EQ (first, nullptr);

    for (const auto& [text, result] : { std::pair ("OK", 1), std::pair ("Cancel", 0) })
    {
        results.clear();
        ASSERT_TRUE (manager->alert_withCallback ("Title", "Message", [&] (int r) { results.push_back (r); }));
        const SafeBox box (shown());
        EXPECT_EQ (buttonsOf (*shown()), (std::vector<std::pair<std::string, int>> { { "OK", 1 }, { "Cancel", 0 } }));

        findButton (*shown(), text)->triggerClick();
        findButton (*shown(), text)->triggerClick(); // a second click, already queued
        settle();
        EXPECT_EQ (results, std::vector<int> { result });
        EXPECT_TRUE (manager->alert.overlay == nullptr && manager->alert.shadower == nullptr && ! manager->alert.isShowing());
        EXPECT_EQ (parent.getNumChildComponents(), 0);
        EXPECT_EQ (box, nullptr);
    }

    // A callback may open the next dialog: that one stays.
    ASSERT_TRUE (manager->alert_withCallback ("", "First", [this] (int) { openers[3].second (*manager); }));
    click (*findButton (*shown(), "OK"));
    EXPECT_NE (dynamic_cast<ProToolsSetupComponent*> (shown()), nullptr);
    EXPECT_EQ (countChildren<GlassOverlayComponent>(), 1);

    // Closing the editor deletes the box, and any closed one, without a callback.
    results.clear();
    ASSERT_TRUE (manager->alert_withCallback ("", "Sure?", [&] (int r) { results.push_back (r); }));
    const SafeBox last (shown());
    manager.reset();
    EXPECT_EQ (last, nullptr);
    EXPECT_EQ (parent.getNumChildComponents(), 0);
    settle();
    EXPECT_TRUE (results.empty());
}

TEST_F (AlertManagerTest, WhileAFlashRunsNoOtherDialogIsOpened)
{
    ASSERT_TRUE (openers[1].second (*manager));
    auto* flashing = dynamic_cast<FirmwareUpdateComponent*> (shown());
    ASSERT_NE (flashing, nullptr);
    EXPECT_FALSE (manager->isFlashing());

    // The flashing state alone, without a job: only the refusal is looked at here.
    flashing->getFlow().enterState (FirmwareUpdateFlow::updating);
    EXPECT_TRUE (manager->isFlashing());
    for (const auto& [what, open] : openers)
        EXPECT_FALSE (open (*manager)) << what;
    EXPECT_FALSE (manager->alert_resetFirmware());
    EXPECT_FALSE (manager->alert_resetFactoryPresets());
    EXPECT_EQ (shown(), flashing);
    EXPECT_EQ (countChildren<GlassOverlayComponent>(), 1);

    flashing->getFlow().enterState (FirmwareUpdateFlow::updateComplete);
    EXPECT_TRUE (openers[0].second (*manager));
}

//==============================================================================
// The two reset confirmations, answered, against the emulated pedal in Audio use.
TEST_F (AlertManagerTest, ResetConfirmationsSendTheirCommandOnlyOnOkWithAPedal)
{
    LinkRig rig;
    const struct
    {
        bool firmware;
        const char* button;
        bool withPedal;
        std::vector<Bytes> sent;
        Mode stateAfter;
    } cases[] = {
        { false, "Cancel", true, {}, Mode::audio },
        { false, "OK", false, {}, Mode::audio },
        { true, "Cancel", true, {}, Mode::audio },
        { true, "OK", false, {}, Mode::audio },
        { false, "OK", true, { LinkRig::frame (Sysex::SystemGroup, Sysex::ResetPresets) }, Mode::audio },
        { true, "OK", true, { LinkRig::frame (Sysex::SystemGroup, Sysex::ResetFirmware) }, Mode::none },
    };

    for (const auto& c : cases)
    {
        SCOPED_TRACE (testing::Message() << (c.firmware ? "firmware " : "presets ") << c.button << (c.withPedal ? " with a pedal" : ""));
        rig.driver().connect (Mode::audio);
        rig.drain();
        rig.pedal.clearReceivedMessages();
        CallLog log;
        rig.driver().addListener (&log);
        holder.device = c.withPedal ? rig.findDevice() : nullptr;

        ASSERT_TRUE (c.firmware ? manager->alert_resetFirmware() : manager->alert_resetFactoryPresets());
        EXPECT_EQ (shown()->getTitleLabel().getText(), c.firmware ? "Reset Firmware to Factory Version" : "Reset Factory Presets");
        EXPECT_EQ (shown()->getMessage(), c.firmware ? "Reset pedal firmware to the original version?" : "Reset pedal presets to factory defaults?");
        click (*findButton (*shown(), c.button));
        EXPECT_FALSE (manager->alert.isShowing());

        // The firmware reset lets the pedal go as a disconnect would, without Release, and tells nobody.
        auto& driver = rig.driver();
        const auto keepAlives = rig.keepAlivesReceived();
        driver.timerCallback (UsbDeviceDriver::keepAliveTimerId); // a keep-alive only while connected
        EXPECT_EQ (rig.keepAlivesReceived() - keepAlives, c.stateAfter != Mode::none ? 1 : 0);
        EXPECT_EQ (rig.receivedBesidesKeepAlives(), c.sent);
        EXPECT_EQ (driver.getState(), c.stateAfter);
        EXPECT_EQ (driver.isAudioDeviceOpen(), c.stateAfter == Mode::audio);
        EXPECT_EQ (driver.getMidiDevice().isOutputOpen(), c.stateAfter == Mode::audio);
        EXPECT_EQ (driver.getDeviceId() == 0 && driver.getWatchdogCountdown() == 0, c.stateAfter == Mode::none);
        EXPECT_TRUE (log.events().empty());
        driver.removeListener (&log);
    }
}
