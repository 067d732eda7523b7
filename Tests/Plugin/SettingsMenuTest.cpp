#include "Components/Dialogs/FirmwareUpdateComponent.h"
#include "Components/Dialogs/PedalOptionsComponent.h"
#include "Components/Dialogs/ProToolsSetupComponent.h"
#include "Components/Images.h"
#include "Components/Menus/PopupMenuLineComponent.h"
#include "Support/DialogRig.h"
#include "Support/EditorRig.h"

#include <gtest/gtest.h>

namespace
{
// A submenu of the settings menu as one line: "id:text" per entry, lines as
// "line", a disabled entry marked "(off)".
std::string describe (const juce::PopupMenu& menu)
{
    std::string text;
    for (juce::PopupMenu::MenuItemIterator it (menu); it.next();)
    {
        const auto& item = it.getItem();
        std::string entry;
        if (auto* row = dynamic_cast<PopupMenuTextItemComponent*> (item.customComponent.get()))
            entry = std::to_string (item.itemID) + ":" + row->text.toStdString();
        else if (dynamic_cast<PopupMenuLineComponent*> (item.customComponent.get()) != nullptr)
            entry = std::to_string (item.itemID) + ":line";
        else
            entry = std::to_string (item.itemID) + ":" + item.text.toStdString() + (item.isEnabled ? "" : " (off)");
        text += (text.empty() ? "" : " | ") + entry;
    }
    return text;
}

const juce::PopupMenu::Item* findItem (const juce::PopupMenu& menu, const juce::String& text)
{
    for (juce::PopupMenu::MenuItemIterator it (menu); it.next();)
        if (it.getItem().text == text)
            return &it.getItem();
    return nullptr;
}

std::vector<Bytes> systemFrames (LinkRig& rig, uint8_t command)
{
    std::vector<Bytes> found;
    for (auto& frame : rig.receivedInGroup (Sysex::SystemGroup))
        if (SysexMessage::parse (frame.data(), (int) frame.size()).command == command)
            found.push_back (frame);
    return found;
}

using SettingsMenuTest = EditorTest;
} // namespace

//==============================================================================
TEST_F (SettingsMenuTest, ItsEntriesFollowThePedalTheBootloaderAndTheAltKey)
{
    struct Row
    {
        const char* what;
        int mode; // the use attached in; 0: none
        bool reply, pedalListed, bootloader, alt;
        bool selectDevice;
        const char* hardware;
    };

    const char* const none = "2001:Device Name: No Device Selected | 2002:Firmware Version: None | 2003:Serial Number: None | 9999:line";
    const char* const pedal = "2001:Device Name: QZR-1A2B | 2002:Firmware Version: 1.2.3 | 2003:Serial Number: 1A2B | 9999:line";

    const Row rows[] = {
        { "nothing connected", 0, true, false, false, false, false, none },
        { "nothing connected, Alt held", 0, true, false, false, true, false,
          "2001:Device Name: No Device Selected | 2002:Firmware Version: None | 2003:Serial Number: None | 9999:line"
          " | 2006:Update Firmware... (off)" },
        { "a bootloader only", 0, true, false, true, false, true, "" },
        // Plugged in afresh: no firmware version reported yet.
        { "Audio use, the pedal has not answered yet", 2, false, true, false, false, true,
          "2001:Device Name: QZR-1A2B | 2002:Firmware Version: 0.0.0 | 2003:Serial Number: 1A2B | 9999:line"
          " | 2007:Device Options..." },
        { "a pedal not attached", 0, true, true, false, false, true, none },
        { "Control use", 1, true, true, false, false, true, pedal },
        { "Control use, Alt held", 1, true, true, false, true, true, "" },
        { "Audio use", 2, true, true, false, false, true, "" },
        { "Pedalboard use", 3, true, true, false, false, true, "" },
    };

    const std::map<std::string, std::string> derived {
        { "a bootloader only", std::string (none) + " | 2006:Update Firmware..." },
        { "Control use, Alt held", std::string (pedal) + " | 2006:Update Firmware..." },
        { "Audio use", std::string (pedal) + " | 2007:Device Options..." },
        { "Pedalboard use", std::string (pedal) + " | 2007:Device Options..." },
    };

    for (const auto& row : rows)
    {
        SCOPED_TRACE (row.what);
        processor->disconnectUsbClient();
        rig.pedal.withdrawBootloader();
        if (row.pedalListed)
            rig.plugInAndScan();
        else
            rig.unplugAndScan();
        if (row.bootloader)
            rig.pedal.publishBootloader (UsbBootDevice::pedalBootloaderName);
        editor->bootDeviceManager->scanForDevices();

        if (row.mode != 0)
        {
            processor->setUsbDevice (LinkRig::pedalName, row.mode, channelStereo, row.mode == 3 ? pedalboardIn : pedalboardNone);
            if (row.reply)
                rig.drain();
        }

        juce::StringArray names;
        const auto menu = editor->getSettingsMenu (names, row.alt);
        ASSERT_EQ (menu.getNumItems(), 3);

        const auto* select = findItem (menu, "Select Device");
        const auto* hardware = findItem (menu, "About Hardware");
        const auto* plugin = findItem (menu, "About Plugin");
        ASSERT_TRUE (select != nullptr && hardware != nullptr && plugin != nullptr);

        EXPECT_EQ (select->isEnabled, row.selectDevice);
        EXPECT_TRUE (hardware->isEnabled && plugin->isEnabled);
        for (auto* item : { select, hardware, plugin })
            EXPECT_TRUE (item->itemID == 0 && ! item->isTicked && item->image == nullptr);

        const std::string expected = *row.hardware != 0 ? row.hardware : derived.at (row.what);
        EXPECT_EQ (describe (*hardware->subMenu), expected);
        EXPECT_EQ (describe (*plugin->subMenu), "3000:Software Version: 0.2.0 | 9999:line | 3001:Update Plugin...");
        EXPECT_EQ (names.size(), row.pedalListed ? 1 : 0);
    }

    rig.pedal.withdrawBootloader();
}

//==============================================================================
// Device choices attach, change or detach this instance through the processor;
// the pedal sees each request, the status line and the face follow.
TEST_F (SettingsMenuTest, DeviceChoicesAttachChangeAndDetachThroughTheProcessor)
{
    struct Step
    {
        int result;
        bool attached;
        int mode, channel, leg;
        std::vector<uint8_t> commands; // system commands the pedal receives
        const char* status;
        const ImageSelector& chassis;
    };

    const Step steps[] = {
        { 1022, true, 2, 2, -1, { Sysex::ModeAudio }, "Audio : Stereo ", Images::PL_chassis_Stereo },
        { 1010, true, 1, 0, -1, { Sysex::ModeControl }, "Control : Mono L ", Images::PL_chassis_Mono_In },
        // The use and channel held already: let go of the pedal, still re-skinned for the choice.
        { 1010, false, 0, -1, -1, { Sysex::Release }, "Not Connected", Images::PL_chassis_Mono_In },
        { 5031, true, 3, 1, 1, { Sysex::ModePedalboard }, "Pedalboard : OUT - R", Images::PL_chassis_Mono_Out },
        // The same use and channel on the other leg detaches as well.
        { 1031, false, 0, -1, -1, { Sysex::Release }, "Not Connected", Images::PL_chassis_Mono_In },
        { 1032, true, 3, 2, 0, { Sysex::ModePedalboard }, "Pedalboard : IN - S", Images::PL_chassis_Stereo_In },
        // Disconnect: the face keeps its picture.
        { MENU_ID_DISCONNECT, false, 0, -1, -1, { Sysex::Release }, "Not Connected", Images::PL_chassis_Stereo_In },
        // A pedal beyond the list the menu was built from: nothing happens.
        { 1122, false, 0, -1, -1, {}, "Not Connected", Images::PL_chassis_Stereo_In },
    };

    for (const auto& step : steps)
    {
        SCOPED_TRACE (step.result);
        rig.pedal.clearReceivedMessages();
        choose (step.result);

        EXPECT_EQ (processor->getDevice() != nullptr, step.attached);
        EXPECT_EQ (processor->getChannelSetting(), step.channel);
        if (step.attached)
        {
            EXPECT_EQ (processor->getDevice()->getDriver().getState(), step.mode);
            EXPECT_EQ (processor->getUsbClient()->getPedalboardLeg(), step.leg);
            EXPECT_EQ (processor->getValueTreeState().getParameter ("channelSetting")->get(), step.channel);
        }

        std::vector<uint8_t> commands;
        for (auto& frame : rig.receivedInGroup (Sysex::SystemGroup))
        {
            const auto command = SysexMessage::parse (frame.data(), (int) frame.size()).command;
            if (command != Sysex::KeepAlive)
                commands.push_back (command);
        }
        EXPECT_EQ (commands, step.commands);
        EXPECT_EQ (status(), step.status);
        EXPECT_EQ (editor->statusText, step.status);
        EXPECT_EQ (editor->chassisImage, step.chassis.getImage());
    }
}

TEST_F (SettingsMenuTest, EveryCallbackClosesTheMenuAndADeviceChoiceHidesAFirmwareNotice)
{
    const auto ordinary = Images::Hamburger_button.getImage();

    for (const auto& [notice, staysVisible] : { std::pair { "Firmware Update\nRequired...", false },
                                                { "Firmware Update\nAvailable...", false },
                                                { "Plugin Update\nAvailable...", true } })
    {
        editor->updateNoticeButton.setButtonText (notice);
        editor->updateNoticeButton.setVisible (true);
        editor->openMenu = VelmoraAudioProcessorEditor::settingsMenuOpen;
        editor->settingsButton.setImages (false, true, true, editor->settingsButtonOpenImage, 1.0f, {}, {}, 1.0f, {}, {}, 1.0f, {});

        // Dismissed: only the menu's state is undone.
        editor->settingsMenuCallback (0, { LinkRig::pedalName });
        EXPECT_EQ (editor->openMenu, 0);
        EXPECT_EQ (editor->settingsButton.getNormalImage(), ordinary);
        EXPECT_TRUE (editor->updateNoticeButton.isVisible());
        EXPECT_EQ (processor->getDevice(), nullptr);

        choose (1022);
        EXPECT_EQ (editor->updateNoticeButton.isVisible(), staysVisible) << notice;
        choose (MENU_ID_DISCONNECT);
    }
}

//==============================================================================
// "Update Firmware..." records the attachment, offers the carried image, and a
// dialog ending with 0 brings the pedal back 200 ms later in the recorded use.
TEST_F (SettingsMenuTest, UpdateFirmwareRecordsThePedalAndReattachesItAfterTheDialog)
{
    choose (MenuIds::deviceEntry (0, modeAudio, channelMonoRight));
    choose (MENU_ID_UPDATE_FIRMWARE);

    const auto& pending = processor->getPendingDevice();
    EXPECT_EQ (pending.name, LinkRig::pedalName);
    EXPECT_EQ (pending.mode, modeAudio);
    EXPECT_EQ (pending.channelSetting, channelMonoRight);
    EXPECT_EQ (pending.pedalboardMode, pedalboardNone);

    auto* dialog = shownDialog<FirmwareUpdateComponent>();
    ASSERT_NE (dialog, nullptr);
    EXPECT_EQ (dialog->getState(), FirmwareUpdateComponent::embeddedUpdateAvailable);

    click (*findButton (*dialog, "Cancel"));
    EXPECT_FALSE (editor->alertManager.alert.isShowing());
    EXPECT_TRUE (processor->isTimerRunning (VelmoraAudioProcessor::reconnectTimerId));
    EXPECT_EQ (processor->getTimerInterval (VelmoraAudioProcessor::reconnectTimerId), 200);

    processor->disconnectUsbClient();
    rig.pedal.clearReceivedMessages();
    processor->timerCallback (VelmoraAudioProcessor::reconnectTimerId);
    rig.drain();

    ASSERT_NE (processor->getDevice(), nullptr);
    EXPECT_EQ (processor->getDevice()->getDriver().getState(), modeAudio);
    EXPECT_EQ (processor->getChannelSetting(), channelMonoRight);
    EXPECT_EQ (systemFrames (rig, Sysex::ModeAudio).size(), 1u);
}

TEST_F (SettingsMenuTest, UpdatePluginChecksAfreshAndNeverReattaches)
{
    choose (MenuIds::deviceEntry (0, modeAudio, channelStereo));
    choose (MENU_ID_UPDATE_PLUGIN);

    EXPECT_TRUE (processor->getPendingDevice().name.isEmpty());
    auto* dialog = shownDialog<FirmwareUpdateComponent>();
    ASSERT_NE (dialog, nullptr);
    EXPECT_EQ (dialog->getState(), FirmwareUpdateComponent::checking);

    click (*findButton (*dialog, "Cancel"));
    EXPECT_FALSE (editor->alertManager.alert.isShowing());
    EXPECT_FALSE (processor->isTimerRunning (VelmoraAudioProcessor::reconnectTimerId));
}

// The update notice opens the dialog in the state the automatic check found;
// with a pedal attached it records the pedal first. While a dialog is shown it does nothing.
TEST_F (SettingsMenuTest, TheUpdateNoticeOpensTheUpdateDialogOnlyWhenNoDialogIsShown)
{
    choose (MenuIds::pedalboardOutEntry (0, channelMonoLeft));
    editor->buttonClicked (&editor->updateNoticeButton);

    const auto& pending = processor->getPendingDevice();
    EXPECT_EQ (pending.name, LinkRig::pedalName);
    EXPECT_EQ (pending.mode, modePedalboard);
    EXPECT_EQ (pending.channelSetting, channelMonoLeft);
    EXPECT_EQ (pending.pedalboardMode, pedalboardOut);

    auto* dialog = shownDialog<FirmwareUpdateComponent>();
    ASSERT_NE (dialog, nullptr);
    EXPECT_EQ (dialog->getState(), FirmwareUpdateComponent::checking); // no automatic check: status 0

    editor->buttonClicked (&editor->updateNoticeButton);
    editor->buttonClicked (&editor->settingsButton);
    EXPECT_EQ (shownDialog<FirmwareUpdateComponent>(), dialog);
    EXPECT_EQ (editor->openMenu, 0);
}

//==============================================================================
TEST_F (SettingsMenuTest, DeviceOptionsAskThePedalToCalibrateAndShowTheHostsFigures)
{
    choose (MENU_ID_DEVICE_OPTIONS);
    EXPECT_FALSE (editor->alertManager.alert.isShowing()); // no pedal

    processor->prepareToPlay (48000.0, 256);
    choose (MenuIds::deviceEntry (0, modeAudio, channelStereo));
    choose (MENU_ID_DEVICE_OPTIONS);
    auto* options = shownDialog<PedalOptionsComponent>();
    ASSERT_NE (options, nullptr);

    options->updateUI();
    EXPECT_EQ (options->getHostBlockSizeLabel()->getText(), "256");
    EXPECT_EQ (options->getTotalLatencyLabel()->getText(), juce::String (processor->getLatencySamples()));

    rig.pedal.clearReceivedMessages();
    click (*findButton (*options, "Calibrate"));
    const auto calibrate = systemFrames (rig, Sysex::Calibrate);
    ASSERT_EQ (calibrate.size(), 1u);
    EXPECT_EQ (calibrate[0], LinkRig::frame (Sysex::SystemGroup, Sysex::Calibrate, { 1 }));

    // A pedalboard leg is not calibrated from here.
    options->updateUI();
    click (*findButton (*options, "Done"));
    EXPECT_FALSE (editor->alertManager.alert.isShowing());
    choose (MenuIds::deviceEntry (0, modePedalboard, channelStereo));
    choose (MENU_ID_DEVICE_OPTIONS);
    rig.pedal.clearReceivedMessages();
    click (*findButton (*shownDialog<PedalOptionsComponent>(), "Calibrate"));
    EXPECT_TRUE (systemFrames (rig, Sysex::Calibrate).empty());
}

// The confirmations that the callback still answers send their commands on "OK" only.
TEST_F (SettingsMenuTest, ResetConfirmationsSendTheirCommandsToThePedalOnOK)
{
    choose (MenuIds::deviceEntry (0, modeAudio, channelStereo));

    const struct { int result; const char* title; uint8_t command; } resets[] = {
        { MENU_ID_RESET_PRESETS, "Reset Factory Presets", Sysex::ResetPresets },
        { MENU_ID_RESET_FIRMWARE, "Reset Firmware to Factory Version", Sysex::ResetFirmware },
    };

    for (const auto& reset : resets)
    {
        SCOPED_TRACE (reset.title);
        for (const char* answer : { "Cancel", "OK" })
        {
            rig.pedal.clearReceivedMessages();
            choose (reset.result);
            auto* box = shownDialog<AlertBoxComponent>();
            ASSERT_NE (box, nullptr);
            click (*findButton (*box, answer));
            EXPECT_FALSE (editor->alertManager.alert.isShowing());
            EXPECT_EQ (systemFrames (rig, reset.command).size(), juce::String (answer) == "OK" ? 1u : 0u);
        }
    }

    // The firmware reset leaves the pedal's link closed.
    EXPECT_EQ (rig.driver().getState(), modeNone);
    EXPECT_FALSE (rig.device().getMidiDevice().isOutputOpen());
}

// While a flash runs nothing takes the pedal away or gives it back.
TEST_F (SettingsMenuTest, WhileAFlashRunsNoChoiceAttachesOrDetaches)
{
    choose (MenuIds::deviceEntry (0, modeAudio, channelStereo));
    choose (MENU_ID_UPDATE_FIRMWARE);
    shownDialog<FirmwareUpdateComponent>()->prepareState (FirmwareUpdateComponent::updating);
    ASSERT_TRUE (editor->alertManager.isFlashing());

    rig.pedal.clearReceivedMessages();
    for (int result : { (int) MENU_ID_DISCONNECT, MenuIds::deviceEntry (0, modeAudio, channelStereo),
                        MenuIds::deviceEntry (0, modeControl, channelMonoLeft) })
        choose (result);

    ASSERT_NE (processor->getDevice(), nullptr);
    EXPECT_EQ (processor->getDevice()->getDriver().getState(), modeAudio);
    EXPECT_EQ (processor->getChannelSetting(), channelStereo);
    EXPECT_EQ (status(), "Audio : Stereo ");
    EXPECT_TRUE (rig.receivedInGroup (Sysex::SystemGroup).empty());
}

TEST_F (SettingsMenuTest, ASetUpEntryOpensTheSetUpDialogForThatPedal)
{
    choose (MENU_ID_SETUP_BASE + 100);
    EXPECT_FALSE (editor->alertManager.alert.isShowing());

    choose (MENU_ID_SETUP_BASE);
    EXPECT_NE (shownDialog<ProToolsSetupComponent>(), nullptr);
}
