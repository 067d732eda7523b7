#include "Components/Dialogs/PedalOptionsComponent.h"
#include "Support/DialogRig.h"
#include "Support/LinkRig.h"
#include "Support/MessageLoop.h"
#include "Windows/AlertManager.h"

#include <gtest/gtest.h>

namespace
{
using Options = PedalOptionsComponent;

// The device options dialog over the emulated pedal's own settings, opened
// through the alert manager with a callback that answers as the editor does:
// a calibration request goes to the pedal (never in Pedalboard use), and a
// refresh gets the figures below.
struct PedalOptionsTest : ::testing::Test
{
    PedalOptionsTest()
    {
        rig.driver().connect (Mode::audio);
        rig.drain();
        holder.device = rig.findDevice();
        rig.pedal.clearReceivedMessages();
    }

    Options& open (bool needsCalibration = false)
    {
        EXPECT_TRUE (manager.alert_pedalOptions (rig.driver().getSettingsTree(), needsCalibration, [this] (int code, juce::ValueTree& tree)
        {
            codes.push_back (code);
            const uint8_t one = 1;
            if (code == Options::refresh)
                tree.setProperty ("hostBlockSize", hostBlockSize, nullptr).setProperty ("totalLatency", totalLatency, nullptr);
            else if (code == Options::calibrate && rig.driver().getState() != Mode::pedalboard)
                rig.driver().sendSysExMessage (Sysex::SystemGroup, Sysex::Calibrate, &one, 1);
        }));
        codes.clear();
        auto& dialog = *dynamic_cast<Options*> (manager.alert.box.get());
        // The test drives the refreshes, so none comes while a click is being handled.
        refreshIntervalAtOpen = dialog.getTimerInterval (Options::refreshTimerId);
        dialog.stopTimer (Options::refreshTimerId);
        return dialog;
    }

    DeviceSettings& pedalSettings() { return rig.driver().getSettings(); }
    std::vector<Bytes> calibrations (size_t count) const { return std::vector<Bytes> (count, LinkRig::frame (Sysex::SystemGroup, Sysex::Calibrate, { 1 })); }

    static void choose (juce::ComboBox& combo, const juce::String& item)
    {
        for (int i = 0; i < combo.getNumItems(); ++i)
            if (combo.getItemText (i) == item)
                return combo.setSelectedItemIndex (i, juce::sendNotificationSync);
        FAIL() << item;
    }

    // Typing, and the text-change message the field posts.
    static void type (juce::TextEditor& field, const juce::String& text)
    {
        field.insertTextAtCaret (text);
        deliverPostedMessages();
    }

    LinkRig rig;
    PedalHolder holder;
    DialogParent parent;
    AlertManager manager { holder, parent };
    std::vector<int> codes;
    int hostBlockSize = 256, totalLatency = 1234;
    int refreshIntervalAtOpen = 0;
};
} // namespace

//==============================================================================
TEST_F (PedalOptionsTest, ShowsThePedalsSettingsAndTheOpenersFiguresEvery250Ms)
{
    pedalSettings().blockSize.setValue (512, nullptr);
    pedalSettings().outAdjust.setValue (2, nullptr);
    pedalSettings().extraLatency.setValue (120, nullptr);

    auto& dialog = open();
    EXPECT_EQ (dialog.getTitleLabel().getText(), "Device Options");
    EXPECT_EQ (dialog.getMessage(), "Please select your desired audio block size, or calibrate the current block size.");
    EXPECT_EQ (buttonsOf (dialog), (std::vector<std::pair<std::string, int>> { { "Calibrate", 1 }, { "Done", 0 } }));
    EXPECT_TRUE (dialog.getDoneButton()->isEnabled());

    auto& blockSize = *dialog.findComboBox ("blockSize");
    EXPECT_EQ (blockSize.getNumItems(), 10);
    EXPECT_EQ (blockSize.getItemText (0), "Same As Host");
    EXPECT_EQ (blockSize.getItemText (9), "2048 samples");
    EXPECT_EQ (blockSize.getText(), "512 samples");
    EXPECT_EQ (dialog.findComboBox ("outAdjust")->getItemText (1), "Medium");
    EXPECT_EQ (dialog.findComboBox ("outAdjust")->getText(), "Large");
    EXPECT_EQ (dialog.findComboBox ("inAdjust")->getText(), "Small");
    EXPECT_EQ (dialog.getLatencyEditor()->getText(), "120");

    EXPECT_EQ (dialog.getHostBlockSizeLabel()->getText() + " " + dialog.getTotalLatencyLabel()->getText(), "256 1234");
    EXPECT_EQ (refreshIntervalAtOpen, 250);
    hostBlockSize = 1024;
    totalLatency = 77;
    dialog.timerCallback (Options::refreshTimerId);
    EXPECT_EQ (dialog.getHostBlockSizeLabel()->getText() + " " + dialog.getTotalLatencyLabel()->getText(), "1024 77");
    EXPECT_EQ (codes, std::vector<int> { Options::refresh });

    // A stored block size that is not offered shows "Same As Host" and stays stored.
    rig.driver().getSettingsTree().setProperty ("blockSize", 500, nullptr);
    EXPECT_EQ (open().findComboBox ("blockSize")->getText(), "Same As Host");
    EXPECT_EQ ((int) rig.driver().getSettingsTree()["blockSize"], 500);
}

TEST_F (PedalOptionsTest, ChoicesWriteThePedalsSettingsAndABlockSizeAsksForACalibration)
{
    auto& dialog = open();
    choose (*dialog.findComboBox ("blockSize"), "512 samples");
    EXPECT_EQ (pedalSettings().blockSize.get(), 512);
    choose (*dialog.findComboBox ("blockSize"), "Same As Host");
    EXPECT_EQ (pedalSettings().blockSize.get(), 0);
    choose (*dialog.findComboBox ("outAdjust"), "Small");
    choose (*dialog.findComboBox ("inAdjust"), "Large");
    EXPECT_EQ (pedalSettings().outAdjust.get(), 0);
    EXPECT_EQ (pedalSettings().inAdjust.get(), 2);
    EXPECT_EQ (codes, (std::vector<int> { Options::calibrate, Options::calibrate }));
    EXPECT_EQ (rig.receivedBesidesKeepAlives(), calibrations (2));

    // In Pedalboard use the block size is still stored, and nothing is sent.
    rig.driver().connect (Mode::pedalboard);
    rig.drain();
    rig.pedal.clearReceivedMessages();
    choose (*dialog.findComboBox ("blockSize"), "64 samples");
    EXPECT_EQ (pedalSettings().blockSize.get(), 64);
    EXPECT_TRUE (rig.receivedBesidesKeepAlives().empty());
}

TEST_F (PedalOptionsTest, TheLatencyFieldStoresEachNumberTypedKeepsItsTextUntilCommittedAndRefusesTheRest)
{
    auto& dialog = open();
    auto& field = *dialog.getLatencyEditor();
    field.setText ({}, false);

    const std::tuple<const char*, const char*, int> steps[] = { { "1", "1", 1 }, { "2", "12", 12 }, { "x", "12", 12 },
                                                                 { "345", "1234", 1234 }, { "6", "1234", 1234 } };
    for (const auto& [typed, shown, stored] : steps)
    {
        type (field, typed);
        EXPECT_EQ (field.getText() + " " + juce::String (pedalSettings().extraLatency.get()), juce::String (shown) + " " + juce::String (stored));
    }

    // Cleared, it stores 0, and shows it once committed.
    field.selectAll();
    type (field, {});
    EXPECT_EQ (pedalSettings().extraLatency.get(), 0);
    EXPECT_EQ (field.getText(), "");
    field.keyPressed (juce::KeyPress (juce::KeyPress::returnKey));
    deliverPostedMessages();
    EXPECT_EQ (field.getText(), "0");
    EXPECT_TRUE (rig.receivedBesidesKeepAlives().empty());

    // A latency stored elsewhere while a number is typed (a calibration ending)
    // leaves the typed text alone until the field is committed; the rest of the
    // dialog follows at once.
    const std::pair<const char*, std::function<void()>> commits[] = {
        { "Return", [&field] { field.keyPressed (juce::KeyPress (juce::KeyPress::returnKey)); } },
        { "Escape", [&field] { field.keyPressed (juce::KeyPress (juce::KeyPress::escapeKey)); } },
        { "leaving the field", [&field] { field.focusLost (juce::Component::focusChangedByMouseClick); } },
        { "another control used", [&dialog] { choose (*dialog.findComboBox ("inAdjust"), "Medium"); } },
    };
    int elsewhere = 300;
    for (const auto& [what, commit] : commits)
    {
        SCOPED_TRACE (what);
        field.selectAll();
        type (field, "7");
        pedalSettings().extraLatency.setValue (++elsewhere, nullptr);
        pedalSettings().outAdjust.setValue (elsewhere % 3, nullptr);
        EXPECT_EQ (field.getText(), "7");
        EXPECT_EQ (dialog.findComboBox ("outAdjust")->getSelectedItemIndex(), elsewhere % 3);

        commit();
        deliverPostedMessages();
        EXPECT_EQ (field.getText(), juce::String (elsewhere));
        EXPECT_EQ (pedalSettings().extraLatency.get(), elsewhere);
    }
}

TEST_F (PedalOptionsTest, AnUncalibratedPedalGetsDoneOnceCalibratedAndTheResultShowsInTheField)
{
    auto& dialog = open (true);
    EXPECT_FALSE (dialog.getDoneButton()->isEnabled());
    saveSnapshot (dialog, "device-options-uncalibrated");

    click (*findButton (dialog, "Calibrate"));
    EXPECT_EQ (rig.receivedBesidesKeepAlives(), calibrations (1));
    EXPECT_FALSE (dialog.getDoneButton()->isEnabled()) << "until the next refresh";
    dialog.timerCallback (Options::refreshTimerId);
    EXPECT_TRUE (dialog.getDoneButton()->isEnabled()) << "before the measurement has finished";

    // The measurement ends by storing the latency in the pedal's settings.
    pedalSettings().extraLatency.setValue (321, nullptr);
    EXPECT_EQ (dialog.getLatencyEditor()->getText(), "321");

    // A block-size choice or an edit of the field counts as calibrated too.
    const std::function<void (Options&)> edits[] = { [] (Options& d) { choose (*d.findComboBox ("blockSize"), "128 samples"); },
                                                     [] (Options& d) { type (*d.getLatencyEditor(), "5"); } };
    for (const auto& edit : edits)
    {
        auto& fresh = open (true);
        edit (fresh);
        fresh.timerCallback (Options::refreshTimerId);
        EXPECT_TRUE (fresh.getDoneButton()->isEnabled());
    }

    // "Done" closes without reaching the opener; Calibrate kept the dialog open.
    const juce::Component::SafePointer<juce::Component> last (manager.alert.box.get());
    codes.clear();
    click (*findButton (*dynamic_cast<Options*> (last.getComponent()), "Done"));
    EXPECT_FALSE (manager.alert.isShowing());
    deliverPostedMessages();
    EXPECT_EQ (last, nullptr);
    EXPECT_TRUE (codes.empty());
}
