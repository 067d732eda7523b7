#include "Components/Dialogs/FirmwareUpdateComponent.h"
#include "Components/Dialogs/PedalOptionsComponent.h"
#include "Components/Dialogs/ProToolsSetupComponent.h"
#include "Components/Images.h"
#include "Components/Menus/DeviceMenuBuilder.h"
#include "Components/Menus/PopupMenuLineComponent.h"
#include "Components/Menus/SettingsMenuBuilder.h"
#include "Emulation/SyntheticFirmware.h"
#include "Support/DialogRig.h"
#include "Support/EditorRig.h"
#include "Support/MenuReading.h"
#include "Support/ScratchFolder.h"

#include <gtest/gtest.h>
#include <algorithm>

namespace
{
// The system commands the pedal received, keep-alives left out.
std::vector<int> systemCommands (LinkRig& rig)
{
    std::vector<int> commands;
    for (auto& frame : rig.receivedInGroup (Sysex::SystemGroup))
        commands.push_back (SysexMessage::parse (frame.data(), (int) frame.size()).command);
    return commands;
}

struct Use
{
    Mode mode;
    ChannelSetting channel;
    PedalModeConfig leg;
};

// The menus as the editor would show them are built in the editor's styles.
class SettingsMenuTest : public EditorTest
{
protected:
    MenuStyles styles;
};
} // namespace

TEST_F (SettingsMenuTest, ItsEntriesFollowThePedalTheBootloaderAndTheAltKey)
{
    const std::string none = "2001:Device Name: No Device Selected | 2002:Firmware Version: None | 2003:Serial Number: None | 9999:line";
    const std::string pedal = "2001:Device Name: QZR-1A2B | 2002:Firmware Version: 1.2.3 | 2003:Serial Number: 1A2B | 9999:line";
    const std::string options = " | 2007:Device Options...";
    const std::string update = " | 2006:Update Firmware...";

    const struct { const char* what; Mode mode; bool reply, listed, bootloader, alt, selectDevice; std::string hardware; bool flashing = false; } rows[] = {
        { "nothing connected", Mode::none, true, false, false, false, false, none },
        { "nothing connected, Alt held", Mode::none, true, false, false, true, false, none + update + " (off)" },
        { "a bootloader only", Mode::none, true, false, true, false, true, none + update },
        { "plugged in afresh, no firmware reported yet", Mode::audio, false, true, false, false, true,
          "2001:Device Name: QZR-1A2B | 2002:Firmware Version: 0.0.0 | 2003:Serial Number: 1A2B | 9999:line" + options },
        { "a pedal not attached", Mode::none, true, true, false, false, true, none },
        { "Control use", Mode::control, true, true, false, false, true, pedal },
        { "Control use, Alt held", Mode::control, true, true, false, true, true, pedal + update },
        { "Audio use", Mode::audio, true, true, false, false, true, pedal + options },
        { "Pedalboard use", Mode::pedalboard, true, true, false, false, true, pedal + options },
        { "Audio use, Alt held, the pedal flashed by another instance", Mode::audio, true, true, false, true, true,
          pedal + update + " (off)" + options + " (off)", true },
    };

    for (const auto& row : rows)
    {
        SCOPED_TRACE (row.what);
        rig.drain(); // what the row before left unanswered
        processor->disconnectUsbClient();
        rig.pedal.withdrawBootloader();
        row.listed ? rig.plugInAndScan() : rig.unplugAndScan();
        if (row.bootloader)
            rig.pedal.publishBootloader (UsbBootDevice::pedalBootloaderName);
        juce::SharedResourcePointer<UsbBaseDeviceManager<UsbBootDevice>>()->scanForDevices();
        if (row.mode != Mode::none)
            processor->setUsbDevice (LinkRig::pedalName, row.mode, ChannelSetting::stereo,
                                     row.mode == Mode::pedalboard ? PedalModeConfig::in : PedalModeConfig::none);
        if (row.reply)
            rig.drain();
        const auto claim = row.flashing ? rig.getManager().getFlashes().claim (LinkRig::pedalName) : nullptr;

        const auto view = editor->getPedalsView();
        const auto menu = describeAll (SettingsMenuBuilder (styles.menu, styles.deviceList).build (view, row.alt));
        EXPECT_EQ (menu.main, std::string ("0:Select Device") + (row.selectDevice ? "" : " (off)")
                                  + " | 0:About Hardware | 0:About Plugin");
        EXPECT_EQ (menu.hardware, row.hardware);
        EXPECT_EQ (menu.plugin, "3000:Software Version: 0.2.0 | 9999:line | 3001:Update Plugin...");
        EXPECT_EQ (view.getNames().size(), row.listed ? 1 : 0);
    }
    rig.pedal.withdrawBootloader();
}

// Device choices attach, change or detach this instance through the processor;
// the pedal sees each request and the status line and the face follow. Every
// result shows the settings button closed again; a device choice hides a
// firmware notice.
TEST_F (SettingsMenuTest, DeviceChoicesAttachChangeAndDetachThroughTheProcessor)
{
    auto& settingsButton = settingsButtonOf (*editor);
    settingsButton.setImages (false, true, true, {}, 1.0f, {}, {}, 1.0f, {}, {}, 1.0f, {});
    choose (0);
    EXPECT_EQ (settingsButton.getNormalImage(), Images::Hamburger_button.getImage());

    auto& updateNotice = updateNoticeOf (*editor);
    for (const auto& [notice, stays] : { std::pair { "Plugin Update\nAvailable...", true }, { "Firmware Update\nRequired...", false } })
    {
        updateNotice.setButtonText (notice);
        updateNotice.setVisible (true);
        choose (1022);
        EXPECT_EQ (updateNotice.isVisible(), stays) << notice;
        choose (MENU_ID_DISCONNECT);
    }

    const struct { int result, mode, channel, leg; std::vector<int> commands; const char* status; const ImageSelector& chassis; } steps[] = {
        { 1022, 2, 2, -1, { Sysex::ModeAudio }, "Audio : Stereo ", Images::PL_chassis_Stereo },
        { 1010, 1, 0, -1, { Sysex::ModeControl }, "Control : Mono L ", Images::PL_chassis_Mono_In },
        // The use and channel held already: let go, still re-skinned for the choice.
        { 1010, 0, -1, -1, { Sysex::Release }, "Not Connected", Images::PL_chassis_Mono_In },
        { 5031, 3, 1, 1, { Sysex::ModePedalboard }, "Pedalboard : OUT - R", Images::PL_chassis_Mono_Out },
        { 1031, 0, -1, -1, { Sysex::Release }, "Not Connected", Images::PL_chassis_Mono_In }, // the other leg too
        { 1032, 3, 2, 0, { Sysex::ModePedalboard }, "Pedalboard : IN - S", Images::PL_chassis_Stereo_In },
        { MENU_ID_DISCONNECT, 0, -1, -1, { Sysex::Release }, "Not Connected", Images::PL_chassis_Stereo_In },
        { 1122, 0, -1, -1, {}, "Not Connected", Images::PL_chassis_Stereo_In }, // beyond the menu's pedals
    };

    for (const auto& step : steps)
    {
        SCOPED_TRACE (step.result);
        rig.pedal.clearReceivedMessages();
        choose (step.result);

        const auto channel = processor->getChannelSetting();
        EXPECT_EQ (processor->getDevice() != nullptr ? toInt (processor->getDevice()->getDriver().getState()) : 0, step.mode);
        EXPECT_EQ (channel ? toInt (*channel) : -1, step.channel);
        EXPECT_EQ (processor->getUsbClient() != nullptr ? toInt (processor->getUsbClient()->getPedalboardLeg()) : -1, step.leg);
        if (step.mode != 0)
        {
            EXPECT_EQ (processor->getValueTreeState().getParameter ("channelSetting")->get(), step.channel);
        }
        EXPECT_EQ (systemCommands (rig), step.commands);
        EXPECT_EQ (status(), step.status);
        EXPECT_EQ (faceOf (*editor).widgetsForTesting().chassis, step.chassis.getImage());
    }
}

// "Update Firmware..." and the notice record the attachment and offer their
// dialog; ending it with 0 brings the pedal back 200 ms later as it was.
// "Update Plugin..." checks afresh and never reattaches.
TEST_F (SettingsMenuTest, UpdateDialogsRecordThePedalAndReattachItAfterwards)
{
    const struct { int result; Use attached; int state; bool reattach; } rows[] = {
        { MENU_ID_UPDATE_FIRMWARE, { Mode::audio, ChannelSetting::monoRight, PedalModeConfig::none }, FirmwareUpdateFlow::embeddedUpdateAvailable, true },
        { 0, { Mode::pedalboard, ChannelSetting::monoLeft, PedalModeConfig::out }, FirmwareUpdateFlow::checking, true }, // the update notice
        { MENU_ID_UPDATE_PLUGIN, { Mode::control, ChannelSetting::stereo, PedalModeConfig::none }, FirmwareUpdateFlow::checking, false },
    };

    for (const auto& row : rows)
    {
        SCOPED_TRACE (row.result);
        processor->getPendingDevice() = {};
        attach (row.attached.mode, row.attached.channel, row.attached.leg);
        if (row.result != 0)
            choose (row.result);
        else
            editor->buttonClicked (&updateNoticeOf (*editor));

        const auto& pending = processor->getPendingDevice();
        EXPECT_EQ (pending.name, row.reattach ? LinkRig::pedalName : "");
        if (row.reattach)
        {
            EXPECT_EQ (std::tie (pending.mode, pending.channelSetting, pending.pedalboardMode),
                       std::tie (row.attached.mode, row.attached.channel, row.attached.leg));
        }

        auto* dialog = shownDialog<FirmwareUpdateComponent>();
        ASSERT_NE (dialog, nullptr);
        EXPECT_EQ (dialog->getFlow().getState(), row.state);

        // While it is shown the buttons of the menu bar do nothing.
        editor->buttonClicked (&updateNoticeOf (*editor));
        editor->buttonClicked (&settingsButtonOf (*editor));
        EXPECT_EQ (shownDialog<FirmwareUpdateComponent>(), dialog);
        EXPECT_EQ (settingsButtonOf (*editor).getNormalImage(), Images::Hamburger_button.getImage()); // no menu opened

        // Clicked without running the loop: the framework's timer thread may fire a fresh timer early.
        dialog->buttonClicked (findButton (*dialog, "Cancel"));
        EXPECT_FALSE (dialogShown());
        EXPECT_EQ (processor->isTimerRunning (VelmoraAudioProcessor::reconnectTimerId), row.reattach);
        if (! row.reattach)
            continue;
        EXPECT_EQ (processor->getTimerInterval (VelmoraAudioProcessor::reconnectTimerId), 200);

        processor->disconnectUsbClient();
        processor->timerCallback (VelmoraAudioProcessor::reconnectTimerId);
        rig.drain();
        ASSERT_NE (processor->getDevice(), nullptr);
        EXPECT_EQ (processor->getDevice()->getDriver().getState(), row.attached.mode);
        EXPECT_EQ (processor->getChannelSetting(), row.attached.channel);
        EXPECT_EQ (processor->getUsbClient()->getPedalboardLeg(), row.attached.leg);
    }
}

// Two instances share the pedal, and this one flashes it. From its "OK" until
// the pedal is back with the new firmware, the other's menus neither let the
// pedal go nor take it, its dialogs over the pedal and its prompt wait, and its
// reconnect timer leaves it alone, also once the pedal is listed again but has
// not yet said which firmware it runs. Then both instances take it again and
// the prompt comes.
TEST_F (SettingsMenuTest, WhileOneInstanceFlashesThePedalNoInstanceDisturbsItAndBothRecover)
{
    ScratchFolder files;
    const auto bytes = SyntheticFirmware::buildPayload (0x000107, 3);
    files.write ("update.syx", { bytes.begin(), bytes.end() });

    auto other = makeHostedProcessor();
    OpenEditor otherEditor (*other);
    rig.driver().getSettings().extraLatency.setValue (0, nullptr); // uncalibrated: the other's prompt is due
    attach (Mode::audio, ChannelSetting::monoLeft);
    other->setUsbDevice (LinkRig::pedalName, Mode::audio, ChannelSetting::monoRight, PedalModeConfig::none);
    rig.drain();
    ASSERT_EQ (rig.device().getNumClients(), 2);
    other->getPendingDevice() = { LinkRig::pedalName, ChannelSetting::monoRight, Mode::audio, PedalModeConfig::none };
    auto& flashes = rig.getManager().getFlashes();

    choose (MENU_ID_UPDATE_FIRMWARE);
    auto* flash = shownDialog<FirmwareUpdateComponent>();
    ASSERT_NE (flash, nullptr);
    flash->filesDropped ({ files.folder.getChildFile ("update.syx").getFullPathName() }, 10, 10);
    // The pedal will come back without answering a mode request until told to.
    rig.pedal.setModeReply (EmulatedPedal::ModeReply::none);
    flash->buttonClicked (findButton (*flash, "OK"));
    ASSERT_TRUE (flashes.isFlashing (LinkRig::pedalName));

    const auto otherDialog = [&otherEditor] { return dialogOf (*otherEditor); };
    const auto leftAlone = [&] (bool attached)
    {
        const auto* client = other->getUsbClient();
        EXPECT_EQ (client != nullptr, attached);

        // The pedal's entries, while it is listed, cannot be chosen; no choice, listed or not, acts.
        const auto view = otherEditor->getPedalsView();
        const auto menu = DeviceMenuBuilder (styles.deviceList, styles.menu).build (view);
        if (view.getNames().contains (LinkRig::pedalName))
        {
            const auto block = readDeviceBlock (menu, 0);
            EXPECT_EQ (block.clickable + "|" + block.submenus, "|");
            EXPECT_FALSE (block.disconnectClickable);
        }
        for (int result : { (int) MENU_ID_DISCONNECT, MenuIds::deviceEntry (0, Mode::audio, ChannelSetting::monoRight),
                            MenuIds::deviceEntry (0, Mode::control, ChannelSetting::stereo), MenuIds::deviceEntry (0, Mode::audio, ChannelSetting::stereo) })
            otherEditor->settingsMenuCallback (result, { LinkRig::pedalName });
        EXPECT_EQ (other->getUsbClient(), client);
        EXPECT_EQ (other->getChannelSetting(), ChannelSetting::monoRight); // kept when the pedal went

        // Its dialogs over the pedal and its prompt wait.
        if (attached)
        {
            for (int result : { (int) MENU_ID_UPDATE_FIRMWARE, (int) MENU_ID_DEVICE_OPTIONS, (int) MENU_ID_RESET_PRESETS,
                                (int) MENU_ID_RESET_FIRMWARE })
                otherEditor->settingsMenuCallback (result, { LinkRig::pedalName });
            otherEditor->buttonClicked (&updateNoticeOf (*otherEditor));
        }
        otherEditor->timerCallback (VelmoraAudioProcessorEditor::optionsPromptTimerId);
        EXPECT_EQ (otherDialog(), nullptr);
        EXPECT_TRUE (otherEditor->isTimerRunning (VelmoraAudioProcessorEditor::optionsPromptTimerId));

        // The reconnect timer asks again later rather than attach.
        other->timerCallback (VelmoraAudioProcessor::reconnectTimerId);
        EXPECT_EQ (other->getUsbClient(), client);
        EXPECT_EQ (other->getTimerInterval (VelmoraAudioProcessor::reconnectTimerId), 200);
    };

    {
        SCOPED_TRACE ("the pedal has gone into its bootloader");
        leftAlone (true);
    }

    // The real timers run from here: the other's reconnect asks every 200 ms.
    ASSERT_TRUE (rig.runUntil ([&] { return rig.findDevice() != nullptr
                                            && rig.pedal.countReceived (Sysex::SystemGroup, Sysex::ModeControl) > 0; }))
        << "the pedal did not come back";
    ASSERT_TRUE (flash->getFlow().isFlashing());
    {
        SCOPED_TRACE ("the pedal is back, its firmware not yet reported");
        leftAlone (false);
        EXPECT_EQ (processor->getDevice(), nullptr);
    }

    // The pedal answers: the flash is over, and the other instance takes its pedal again by itself.
    rig.pedal.setModeReply (EmulatedPedal::ModeReply::normal);
    ASSERT_TRUE (rig.pedal.sendFrame (Sysex::SystemGroup, Sysex::ModeControl, rig.pedal.versionPayload()));
    ASSERT_TRUE (rig.runUntil ([&] { return flash->getFlow().getState() == FirmwareUpdateFlow::updateComplete; }))
        << "the flash did not end";
    EXPECT_EQ (flash->getMessage(), "Update complete");
    EXPECT_FALSE (flashes.isFlashing (LinkRig::pedalName));

    click (*findButton (*flash, "OK"));
    ASSERT_TRUE (rig.runUntil ([&] { return processor->getUsbClient() != nullptr && other->getUsbClient() != nullptr
                                            && rig.driver().getState() == Mode::audio; }))
        << "both instances did not attach again";
    EXPECT_EQ (processor->getChannelSetting(), ChannelSetting::monoLeft);
    EXPECT_EQ (other->getChannelSetting(), ChannelSetting::monoRight);
    EXPECT_EQ (rig.device().getNumClients(), 2);
    EXPECT_EQ (rig.driver().getFirmwareVersion(), 0x000107);
    otherEditor->timerCallback (VelmoraAudioProcessorEditor::meterTimerId);
    EXPECT_EQ (statusLineOf (*otherEditor).getText(), "Audio : Mono R ");

    // The prompt that waited now comes.
    ASSERT_EQ (rig.driver().getSettings().extraLatency.get(), 0);
    otherEditor->timerCallback (VelmoraAudioProcessorEditor::optionsPromptTimerId);
    EXPECT_NE (dynamic_cast<PedalOptionsComponent*> (otherDialog()), nullptr);
}

// "Calibrate" asks the pedal for a calibration (never in Pedalboard use); the
// pedal's answer has this instance measure the round trip, and the result,
// stored as the pedal's latency, shows in the field.
TEST_F (SettingsMenuTest, DeviceOptionsCalibrateAgainstThePedalAndShowTheHostsFigures)
{
    using Status = LatencyCalibration::Status;
    choose (MENU_ID_DEVICE_OPTIONS);
    EXPECT_FALSE (dialogShown()); // no pedal

    processor->prepareToPlay (48000.0, 256);
    const auto calibrationRequest = LinkRig::frame (Sysex::SystemGroup, Sysex::Calibrate, { 1 });
    const auto calibrationOver = LinkRig::frame (Sysex::SystemGroup, Sysex::Calibrate, { 0 });

    for (const auto& [mode, calibrates] : { std::pair { Mode::pedalboard, false }, { Mode::audio, true } })
    {
        SCOPED_TRACE (toInt (mode));
        // A latency that no measurement gives: attaching in Audio use then measures
        // nothing by itself, and no prompt for an uncalibrated pedal comes.
        auto& latency = rig.driver().getSettings().extraLatency;
        latency.setValue (1, nullptr);
        attach (mode, ChannelSetting::stereo, mode == Mode::pedalboard ? PedalModeConfig::in : PedalModeConfig::none);
        latency.setValue (1, nullptr); // Pedalboard use has set it to 0
        auto& calibration = rig.driver().getCalibration();
        const auto measured = [&calibration] { return calibration.getStatus() == Status::measured; };

        choose (MENU_ID_DEVICE_OPTIONS);
        auto* options = shownDialog<PedalOptionsComponent>();
        ASSERT_NE (options, nullptr);
        options->updateUI();
        EXPECT_EQ (options->getHostBlockSizeLabel()->getText(), "256");
        EXPECT_EQ (options->getTotalLatencyLabel()->getText(), juce::String (processor->getLatencySamples()));
        auto& field = *options->getLatencyEditor();
        EXPECT_EQ (field.getText(), "1");

        rig.pedal.clearReceivedMessages();
        click (*findButton (*options, "Calibrate"));
        // A measurement of the pedal's may end meanwhile: its Calibrate [0] is no request.
        auto received = rig.receivedInGroup (Sysex::SystemGroup);
        received.erase (std::remove (received.begin(), received.end(), calibrationOver), received.end());
        EXPECT_EQ (received, calibrates ? std::vector<Bytes> { calibrationRequest } : std::vector<Bytes>());

        if (calibrates)
        {
            ASSERT_TRUE (rig.runUntil ([&] { return measured() && field.getText() != "1"; })) << "the calibration's result in the field";
            EXPECT_EQ (shownDialog<PedalOptionsComponent>(), options);
            EXPECT_EQ (latency.get(), calibration.getLastMeasuredLatency());
            EXPECT_GT (latency.get(), 1);
            EXPECT_EQ (field.getText(), juce::String (latency.get()));
            EXPECT_EQ (rig.receivedInGroup (Sysex::SystemGroup).back(), calibrationOver);
        }

        options->updateUI();
        click (*findButton (*options, "Done"));
        EXPECT_FALSE (dialogShown());
    }
}

// The results no menu offers: the reset confirmations send their commands on
// "OK" only, and a set-up entry opens the set-up dialog for its pedal.
TEST_F (SettingsMenuTest, ResetConfirmationsAndTheSetUpDialog)
{
    attach (Mode::audio, ChannelSetting::stereo);
    for (const auto& [result, command] : { std::pair { MENU_ID_RESET_PRESETS, Sysex::ResetPresets },
                                           { MENU_ID_RESET_FIRMWARE, Sysex::ResetFirmware } })
        for (const char* answer : { "Cancel", "OK" })
        {
            rig.pedal.clearReceivedMessages();
            choose (result);
            click (*findButton (*shownDialog<AlertBoxComponent>(), answer));
            EXPECT_FALSE (dialogShown());
            EXPECT_EQ (systemCommands (rig), juce::String (answer) == "OK" ? std::vector<int> { command } : std::vector<int>());
        }
    EXPECT_EQ (rig.driver().getState(), Mode::none);
    EXPECT_FALSE (rig.device().getMidiDevice().isOutputOpen());

    choose (MENU_ID_SETUP_BASE + 100);
    EXPECT_FALSE (dialogShown());
    choose (MENU_ID_SETUP_BASE);
    EXPECT_NE (shownDialog<ProToolsSetupComponent>(), nullptr);
}
