#include "Components/Dialogs/FirmwareUpdateComponent.h"
#include "Components/Dialogs/PedalOptionsComponent.h"
#include "Components/Dialogs/ProToolsSetupComponent.h"
#include "Support/DesktopRecorder.h"
#include "Support/DialogRig.h"
#include "Support/LinkRig.h"
#include "Windows/AlertManager.h"
#include "Windows/GlassOverlayComponent.h"

#include <gtest/gtest.h>

namespace
{
using Rect = juce::Rectangle<int>;

// One kind of dialog, opened on a manager.
struct Opener
{
    const char* what;
    std::function<bool (AlertManager&)> open;
};

juce::PropertySet pluginSettings;

const Opener openers[] = {
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
    int count (const std::function<bool (juce::Component*)>& matches)
    {
        int n = 0;
        for (auto* child : parent.getChildren())
            n += matches (child) ? 1 : 0;
        return n;
    }

    int overlays() { return count ([] (juce::Component* c) { return dynamic_cast<GlassOverlayComponent*> (c) != nullptr; }); }
    int boxes() { return count ([] (juce::Component* c) { return dynamic_cast<AlertBoxComponent*> (c) != nullptr; }); }

    AlertBoxComponent* shown() { return dynamic_cast<AlertBoxComponent*> (manager->alert.box.get()); }

    // Lets the deferred deletion of closed boxes happen.
    static void settle() { juce::MessageManager::getInstance()->runDispatchLoopUntil (20); }

    DesktopRecorder desktop;
    PedalHolder holder;
    DialogParent parent;
    std::unique_ptr<AlertManager> manager = std::make_unique<AlertManager> (holder, parent);
};
} // namespace

//==============================================================================
TEST_F (AlertManagerTest, EachDialogIsCentredWithASizeTakenFromTheEditorsSize)
{
    struct Size
    {
        int width, height;
        Rect expected[4];
    };

    const Size sizes[] = {
        { 480, 540, { { 19, 179, 443, 183 }, { 39, 161, 403, 219 }, { 34, 59, 413, 422 }, { 39, 118, 403, 304 } } },
        { 600, 400, { { 19, 132, 563, 136 }, { 39, 119, 523, 163 }, { 34, 45, 533, 310 }, { 39, 90, 523, 220 } } },
    };

    for (const auto& size : sizes)
    {
        parent.setSize (size.width, size.height);
        for (size_t i = 0; i < std::size (openers); ++i)
        {
            SCOPED_TRACE (testing::Message() << openers[i].what << " in " << size.width << " x " << size.height);
            ASSERT_TRUE (openers[i].open (*manager));
            EXPECT_EQ (manager->alert.box->getBounds(), size.expected[i]);
            EXPECT_EQ (manager->alert.overlay->getBounds(), parent.getLocalBounds());
        }
    }
}

TEST_F (AlertManagerTest, ABoxDimsTheWholeEditorWhileClicksStillReachIt)
{
    juce::Slider fader;
    parent.addAndMakeVisible (fader);
    fader.setBounds (10, 10, 40, 150);

    ASSERT_TRUE (manager->alert_withCallback ("", "Sure?", [] (int) {}));
    EXPECT_EQ (overlays(), 1);
    EXPECT_GT (parent.getIndexOfChildComponent (manager->alert.box.get()),
               parent.getIndexOfChildComponent (manager->alert.overlay.get()));

    // Black at alpha 0x4C over white, far from the box and its shadow.
    const auto picture = saveSnapshot (parent, "confirmation-in-editor");
    EXPECT_TRUE (coloursNear (argb (picture, 470, 530), 0xFFB3B3B3, 1));
    EXPECT_TRUE (coloursNear (argb (picture, 100, 100), 0xFFB3B3B3, 1));

    // The overlay takes no click: the fader under it does.
    EXPECT_EQ (parent.getComponentAt (30, 80), &fader);
    EXPECT_FALSE (manager->alert.overlay->getWantsKeyboardFocus());
    parent.removeChildComponent (&fader);
}

TEST_F (AlertManagerTest, ANewDialogReplacesTheShownOneWithoutCallingItsCallback)
{
    int confirmations = 0;
    ASSERT_TRUE (manager->alert_withCallback ("", "Sure?", [&] (int) { ++confirmations; }));
    const juce::Component::SafePointer<juce::Component> first (manager->alert.box.get());

    // As the automatic Device Options prompt does.
    ASSERT_TRUE (openers[2].open (*manager));
    EXPECT_EQ (confirmations, 0);
    EXPECT_EQ (overlays(), 1);
    EXPECT_EQ (boxes(), 1);
    ASSERT_NE (first, nullptr);
    EXPECT_EQ (first->getParentComponent(), nullptr);

    settle();
    EXPECT_EQ (first, nullptr);
    EXPECT_EQ (confirmations, 0);
}

TEST_F (AlertManagerTest, AButtonClosesItsOwnBoxOnceAndTheBoxGoesAfterTheClick)
{
    for (const auto& [text, result] : { std::pair ("OK", 1), std::pair ("Cancel", 0) })
    {
        SCOPED_TRACE (text);
        std::vector<int> results;
        ASSERT_TRUE (manager->alert_withCallback ("Title", "Message", [&] (int r) { results.push_back (r); }));
        auto* box = shown();
        const juce::Component::SafePointer<juce::Component> watch (box);
        EXPECT_EQ (buttonsOf (*box), (std::vector<std::pair<std::string, int>> { { "OK", 1 }, { "Cancel", 0 } }));

        auto* button = findButton (*box, text);
        button->triggerClick();
        button->triggerClick(); // a second click already queued
        settle();

        EXPECT_EQ (results, std::vector<int> { result });
        EXPECT_FALSE (manager->alert.isShowing());
        EXPECT_EQ (manager->alert.overlay, nullptr);
        EXPECT_EQ (manager->alert.shadower, nullptr);
        EXPECT_EQ (overlays() + boxes(), 0);
        EXPECT_EQ (watch, nullptr);
    }
}

TEST_F (AlertManagerTest, ACallbackThatOpensAnotherDialogKeepsIt)
{
    ASSERT_TRUE (manager->alert_withCallback ("", "First", [this] (int) { openers[3].open (*manager); }));
    click (*findButton (*shown(), "OK"));

    ASSERT_TRUE (manager->alert.isShowing());
    EXPECT_NE (dynamic_cast<ProToolsSetupComponent*> (shown()), nullptr);
    EXPECT_EQ (overlays(), 1);
    EXPECT_EQ (boxes(), 1);
}

TEST_F (AlertManagerTest, WhileAFlashRunsNoOtherDialogIsOpened)
{
    ASSERT_TRUE (openers[1].open (*manager));
    auto* flashing = dynamic_cast<FirmwareUpdateComponent*> (shown());
    ASSERT_NE (flashing, nullptr);
    EXPECT_FALSE (manager->isFlashing());

    // The flashing state without a job: only the refusal is looked at here.
    flashing->prepareState (FirmwareUpdateComponent::updating);
    EXPECT_TRUE (manager->isFlashing());

    for (const auto& opener : openers)
    {
        SCOPED_TRACE (opener.what);
        EXPECT_FALSE (opener.open (*manager));
        EXPECT_EQ (shown(), flashing);
    }
    EXPECT_FALSE (manager->alert_resetFirmware());
    EXPECT_FALSE (manager->alert_resetFactoryPresets());
    EXPECT_EQ (shown(), flashing);
    EXPECT_EQ (overlays(), 1);

    flashing->prepareState (FirmwareUpdateComponent::updateComplete);
    EXPECT_TRUE (openers[0].open (*manager));
}

TEST_F (AlertManagerTest, ClosingTheEditorDeletesTheBoxWithoutItsCallback)
{
    int calls = 0;
    ASSERT_TRUE (manager->alert_withCallback ("", "Sure?", [&] (int) { ++calls; }));
    const juce::Component::SafePointer<juce::Component> box (manager->alert.box.get());
    ASSERT_TRUE (openers[0].open (*manager)); // one closed box still waits to be deleted

    manager.reset();
    EXPECT_EQ (box, nullptr);
    EXPECT_EQ (parent.getNumChildComponents(), 0);
    settle();
    EXPECT_EQ (calls, 0);
}

//==============================================================================
// The two reset confirmations, against the emulated pedal.
struct ResetConfirmationTest : AlertManagerTest
{
    ResetConfirmationTest()
    {
        rig.driver().connect (modeAudio);
        rig.drain();
        rig.pedal.clearReceivedMessages();
    }

    void answer (const juce::String& button, bool withPedal)
    {
        holder.device = withPedal ? rig.findDevice() : nullptr;
        click (*findButton (*shown(), button));
        EXPECT_FALSE (manager->alert.isShowing());
    }

    int received (uint8_t command) const { return rig.pedal.countReceived (Sysex::SystemGroup, command); }

    LinkRig rig;
};

TEST_F (ResetConfirmationTest, CancelOrNoPedalSendsNothing)
{
    const std::function<bool()> confirmations[] = { [this] { return manager->alert_resetFactoryPresets(); },
                                                     [this] { return manager->alert_resetFirmware(); } };
    for (const auto& open : confirmations)
    {
        for (const auto& [button, withPedal] : { std::pair ("Cancel", true), std::pair ("OK", false) })
        {
            ASSERT_TRUE (open());
            answer (button, withPedal);
        }
    }

    EXPECT_TRUE (rig.pedal.getReceivedMessages().empty());
    EXPECT_EQ (rig.driver().getState(), modeAudio);
}

TEST_F (ResetConfirmationTest, ResetPresetsSendsItsCommandAndKeepsTheConnection)
{
    ASSERT_TRUE (manager->alert_resetFactoryPresets());
    EXPECT_EQ (shown()->getTitleLabel().getText(), "Reset Factory Presets");
    EXPECT_EQ (shown()->getMessage(), "Reset pedal presets to factory defaults?");
    answer ("OK", true);

    EXPECT_EQ (rig.pedal.getReceivedMessages(), std::vector<Bytes> { LinkRig::frame (Sysex::SystemGroup, Sysex::ResetPresets) });
    EXPECT_EQ (rig.driver().getState(), modeAudio);
}

TEST_F (ResetConfirmationTest, ResetFirmwareLetsThePedalGoWithoutTellingAnyone)
{
    ASSERT_TRUE (rig.driver().isAudioDeviceOpen());
    CallLog log;
    rig.driver().addListener (&log);

    ASSERT_TRUE (manager->alert_resetFirmware());
    EXPECT_EQ (shown()->getTitleLabel().getText(), "Reset Firmware to Factory Version");
    EXPECT_EQ (shown()->getMessage(), "Reset pedal firmware to the original version?");
    answer ("OK", true);

    EXPECT_EQ (rig.pedal.getReceivedMessages(), std::vector<Bytes> { LinkRig::frame (Sysex::SystemGroup, Sysex::ResetFirmware) });
    auto& driver = rig.driver();
    EXPECT_EQ (driver.getState(), modeNone);
    EXPECT_EQ (driver.getDeviceId(), 0);
    EXPECT_EQ (driver.getWatchdogCountdown(), 0);
    EXPECT_FALSE (driver.isAudioDeviceOpen());
    EXPECT_FALSE (driver.getMidiDevice().isOutputOpen());
    EXPECT_TRUE (log.events().empty());

    // No keep-alive goes out any more.
    driver.timerCallback (UsbDeviceDriver::keepAliveTimerId);
    EXPECT_EQ (rig.pedal.getReceivedMessages().size(), 1u);
    driver.removeListener (&log);
}
