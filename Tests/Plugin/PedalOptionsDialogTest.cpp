#include "Components/Dialogs/PedalOptionsComponent.h"
#include "Support/DialogRig.h"
#include "Support/LinkRig.h"
#include "Windows/AlertManager.h"

#include <gtest/gtest.h>

namespace
{
// The device options dialog over the emulated pedal's own settings, opened
// through the alert manager with a callback that answers as the editor does:
// a calibration request goes to the pedal, a refresh gets the figures below.
struct PedalOptionsTest : ::testing::Test
{
    PedalOptionsTest()
    {
        rig.driver().connect (modeAudio);
        rig.drain();
        holder.device = rig.findDevice();
        rig.pedal.clearReceivedMessages();
    }

    PedalOptionsComponent& open (bool needsCalibration = false)
    {
        EXPECT_TRUE (manager.alert_pedalOptions (rig.driver().getSettingsTree(), needsCalibration, [this] (int code, juce::ValueTree& tree)
        {
            codes.push_back (code);
            if (code == PedalOptionsComponent::refresh)
            {
                tree.setProperty ("hostBlockSize", hostBlockSize, nullptr);
                tree.setProperty ("totalLatency", totalLatency, nullptr);
            }
            else if (code == PedalOptionsComponent::calibrate && rig.driver().getState() != modePedalboard)
            {
                const uint8_t one = 1;
                rig.driver().sendSysExMessage (Sysex::SystemGroup, Sysex::Calibrate, &one, 1);
            }
        }));
        auto* dialog = dynamic_cast<PedalOptionsComponent*> (manager.alert.box.get());
        EXPECT_NE (dialog, nullptr);
        codes.clear();
        return *dialog;
    }

    DeviceSettings& pedalSettings() { return rig.driver().getSettings(); }
    int calibrationsSent() const { return (int) rig.pedal.getReceivedMessages().size(); }

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
        juce::MessageManager::getInstance()->runDispatchLoopUntil (10);
    }

    LinkRig rig;
    PedalHolder holder;
    DialogParent parent;
    AlertManager manager { holder, parent };
    std::vector<int> codes;
    int hostBlockSize = 256, totalLatency = 1234;
};

juce::StringArray itemsOf (juce::ComboBox& combo)
{
    juce::StringArray items;
    for (int i = 0; i < combo.getNumItems(); ++i)
        items.add (combo.getItemText (i));
    return items;
}
} // namespace

//==============================================================================
TEST_F (PedalOptionsTest, ShowsThePedalsSettingsAndTheFiguresOfItsOpener)
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
    EXPECT_EQ (itemsOf (blockSize), (juce::StringArray { "Same As Host", "32 samples", "64 samples", "96 samples", "128 samples",
                                                         "192 samples", "256 samples", "512 samples", "1024 samples", "2048 samples" }));
    EXPECT_EQ (blockSize.getText(), "512 samples");
    EXPECT_EQ (itemsOf (*dialog.findComboBox ("outAdjust")), (juce::StringArray { "Small", "Medium", "Large" }));
    EXPECT_EQ (dialog.findComboBox ("outAdjust")->getText(), "Large");
    EXPECT_EQ (dialog.findComboBox ("inAdjust")->getText(), "Small");
    EXPECT_EQ (dialog.getLatencyEditor()->getText(), "120");

    // Filled at once, then every 250 ms.
    EXPECT_EQ (dialog.getHostBlockSizeLabel()->getText(), "256");
    EXPECT_EQ (dialog.getTotalLatencyLabel()->getText(), "1234");
    EXPECT_EQ (dialog.getTimerInterval (PedalOptionsComponent::refreshTimerId), 250);
    hostBlockSize = 1024;
    totalLatency = 77;
    dialog.timerCallback (PedalOptionsComponent::refreshTimerId);
    EXPECT_EQ (dialog.getHostBlockSizeLabel()->getText(), "1024");
    EXPECT_EQ (dialog.getTotalLatencyLabel()->getText(), "77");
    EXPECT_EQ (codes, std::vector<int> { PedalOptionsComponent::refresh });
    saveSnapshot (dialog, "device-options");
    saveSnapshot (parent, "device-options-in-editor");
}

TEST_F (PedalOptionsTest, AStoredBlockSizeThatIsNotOfferedShowsSameAsHostAndStaysStored)
{
    rig.driver().getSettingsTree().setProperty ("blockSize", 500, nullptr);
    auto& dialog = open();
    EXPECT_EQ (dialog.findComboBox ("blockSize")->getText(), "Same As Host");
    EXPECT_EQ ((int) rig.driver().getSettingsTree()["blockSize"], 500);
}

TEST_F (PedalOptionsTest, ChoicesWriteThePedalsSettingsAndABlockSizeAsksForACalibration)
{
    auto& dialog = open();

    choose (*dialog.findComboBox ("blockSize"), "512 samples");
    EXPECT_EQ (pedalSettings().blockSize.get(), 512);
    EXPECT_EQ (codes, std::vector<int> { PedalOptionsComponent::calibrate });
    choose (*dialog.findComboBox ("blockSize"), "Same As Host");
    EXPECT_EQ (pedalSettings().blockSize.get(), 0);
    EXPECT_EQ (rig.pedal.getReceivedMessages(), (std::vector<Bytes> (2, LinkRig::frame (Sysex::SystemGroup, Sysex::Calibrate, { 1 }))));

    choose (*dialog.findComboBox ("outAdjust"), "Small");
    choose (*dialog.findComboBox ("inAdjust"), "Large");
    EXPECT_EQ (pedalSettings().outAdjust.get(), 0);
    EXPECT_EQ (pedalSettings().inAdjust.get(), 2);
    EXPECT_EQ (calibrationsSent(), 2) << "buffer sizes ask for nothing";

    // In Pedalboard use the block size is still stored, and nothing is sent.
    rig.driver().connect (modePedalboard);
    rig.drain();
    rig.pedal.clearReceivedMessages();
    choose (*dialog.findComboBox ("blockSize"), "64 samples");
    EXPECT_EQ (pedalSettings().blockSize.get(), 64);
    EXPECT_EQ (calibrationsSent(), 0);
}

TEST_F (PedalOptionsTest, TheLatencyFieldStoresEachNumberTypedAndRefusesTheRest)
{
    auto& dialog = open();
    auto& field = *dialog.getLatencyEditor();
    field.setText ({}, false);

    const struct
    {
        const char* typed;
        const char* shown;
        int stored;
    } steps[] = { { "1", "1", 1 }, { "2", "12", 12 }, { "x", "12", 12 }, { "345", "1234", 1234 }, { "6", "1234", 1234 } };

    for (const auto& step : steps)
    {
        type (field, step.typed);
        EXPECT_EQ (field.getText(), step.shown) << step.typed;
        EXPECT_EQ (pedalSettings().extraLatency.get(), step.stored) << step.typed;
    }

    // Cleared, it stores 0 and shows it.
    field.selectAll();
    type (field, {});
    EXPECT_EQ (pedalSettings().extraLatency.get(), 0);
    EXPECT_EQ (field.getText(), "0");
    EXPECT_EQ (calibrationsSent(), 0);
}

TEST_F (PedalOptionsTest, AnUncalibratedPedalGetsDoneOnlyAfterCalibrateWhoseResultShowsInTheField)
{
    auto& dialog = open (true);
    EXPECT_FALSE (dialog.getDoneButton()->isEnabled());
    saveSnapshot (dialog, "device-options-uncalibrated");

    click (*findButton (dialog, "Calibrate"));
    EXPECT_EQ (rig.pedal.getReceivedMessages(), std::vector<Bytes> { LinkRig::frame (Sysex::SystemGroup, Sysex::Calibrate, { 1 }) });
    EXPECT_FALSE (dialog.getDoneButton()->isEnabled()) << "until the next refresh";
    dialog.timerCallback (PedalOptionsComponent::refreshTimerId);
    EXPECT_TRUE (dialog.getDoneButton()->isEnabled()) << "before the measurement has finished";
    EXPECT_TRUE (manager.alert.isShowing());

    // The measurement ends by storing the latency in the pedal's settings.
    pedalSettings().extraLatency.setValue (321, nullptr);
    EXPECT_EQ (dialog.getLatencyEditor()->getText(), "321");

    // Any edit of the choices counts as calibrated too.
    using Edit = std::function<void (PedalOptionsComponent&)>;
    const Edit edits[] = { [] (PedalOptionsComponent& d) { choose (*d.findComboBox ("blockSize"), "128 samples"); },
                           [] (PedalOptionsComponent& d) { type (*d.getLatencyEditor(), "5"); } };
    for (const auto& edit : edits)
    {
        auto& fresh = open (true);
        edit (fresh);
        fresh.timerCallback (PedalOptionsComponent::refreshTimerId);
        EXPECT_TRUE (fresh.getDoneButton()->isEnabled());
    }
}

TEST_F (PedalOptionsTest, DoneClosesWithoutReachingTheOpener)
{
    auto& dialog = open();
    const juce::Component::SafePointer<juce::Component> watch (&dialog);
    click (*findButton (dialog, "Done"));

    EXPECT_FALSE (manager.alert.isShowing());
    EXPECT_TRUE (codes.empty());
    juce::MessageManager::getInstance()->runDispatchLoopUntil (20);
    EXPECT_EQ (watch, nullptr);

    // Its own settings view is gone with it: later changes reach nobody.
    pedalSettings().extraLatency.setValue (42, nullptr);
    EXPECT_TRUE (codes.empty());
}
