#include "Components/Dialogs/FirmwareUpdateComponent.h"
#include "Components/Dialogs/PedalOptionsComponent.h"
#include "Components/Images.h"
#include "Support/EditorRig.h"
#include "Support/LoopbackHttpServer.h"
#include "Support/Waiting.h"

#include <gtest/gtest.h>

namespace
{
using Timers = VelmoraAudioProcessorEditor::TimerIds;

class EditorTimersTest : public EditorTest
{
protected:
    // One block back from the pedal with these peaks on its two channels, as the client measures it.
    void play (float left, float right)
    {
        juce::AudioBuffer<float> block (2, 64);
        block.clear();
        block.setSample (0, 10, left);
        block.setSample (1, 20, right);
        processor->getUsbClient()->getPeakDetector().update (block);
    }

    void tick (int id) { editor->timerCallback (id); }

    PedalComponent::Widgets face() const { return faceOf (*editor).widgetsForTesting(); }
    std::pair<float, float> meters() const { return { face().meterL->level, face().meterR->level }; }
    std::pair<int, int> lights() const { return { face().ledUsb->index, face().ledPower->index }; }
};
} // namespace

// Meters every 50 ms from the client's peaks: both channels in stereo, the first
// on both meters in mono; without anything new they fall by 0.6 a tick and the
// peak window holds. Without a client they get silence.
TEST_F (EditorTimersTest, MetersAndPeakWindowFollowTheClientsPeaks)
{
    for (auto [id, period] : { std::pair { Timers::meterTimerId, 50 }, { Timers::updateNoticeTimerId, 1000 },
                               { Timers::optionsPromptTimerId, 2000 } })
        EXPECT_TRUE (editor->isTimerRunning (id) && editor->getTimerInterval (id) == period) << id;

    face().meterL->level = 0.5f;
    tick (Timers::meterTimerId);
    EXPECT_EQ (meters(), std::pair (0.3f, 0.0f));

    for (const auto& [channel, right] : { std::pair { ChannelSetting::stereo, 0.25f }, { ChannelSetting::monoLeft, 0.5f }, { ChannelSetting::monoRight, 0.5f } })
    {
        SCOPED_TRACE (toInt (channel));
        attach (Mode::audio, channel);
        tick (Timers::meterTimerId); // whatever came before
        face().meterL->level = face().meterR->level = face().meterWindow->latestPeak = 0.0f;
        face().meterWindow->setDisplayedPeak (0.0f);

        play (0.5f, 0.25f);
        tick (Timers::meterTimerId);
        EXPECT_EQ (meters(), std::pair (0.5f, right));
        tick (Timers::meterTimerId);
        EXPECT_EQ (meters(), std::pair (0.5f * 0.6f, right * 0.6f));
        EXPECT_EQ (face().meterWindow->getDisplayedPeak(), 0.5f);
        processor->disconnectUsbClient();
    }
}

// The footswitch shows bit 0 of the pedal's indicator byte; the USB and power
// lights show the connection, after every timer.
TEST_F (EditorTimersTest, FootswitchAndLightsFollowThePedal)
{
    // USB off / red / green / green, power off / on / on / on.
    const ImageSelector* const usb[] = { &Images::LED_USB_Off, &Images::LED_Red_On, &Images::LED_Green_On, &Images::LED_Green_On };
    for (Mode mode : { Mode::none, Mode::control, Mode::audio, Mode::pedalboard })
    {
        if (mode != Mode::none)
            attach (mode, ChannelSetting::stereo, mode == Mode::pedalboard ? PedalModeConfig::in : PedalModeConfig::none);
        tick (mode == Mode::audio ? Timers::optionsPromptTimerId : Timers::meterTimerId);
        EXPECT_EQ (lights(), std::pair (toInt (mode), toInt (mode)));
        EXPECT_EQ (face().ledUsb->getImage(), usb[toInt (mode)]->getImage());
        EXPECT_EQ (face().ledPower->getImage(), (mode == Mode::none ? Images::LED_Red_Off : Images::LED_Red_On).getImage());
        if (dialogShown()) // the device options the Audio use brought up
            editor->getAlertManager().alert.reset();
    }

    for (const auto& [byte, down] : { std::pair<uint8_t, bool> { 0x05, true }, { 0x04, false }, { 0x01, true } })
    {
        ASSERT_TRUE (rig.pedal.sendLedState (byte));
        rig.drain();
        tick (Timers::meterTimerId);
        EXPECT_EQ (face().footswitch->forceDown, down) << (int) byte;
    }

    processor->disconnectUsbClient();
    tick (42);
    EXPECT_EQ (lights(), std::pair (0, 0));
    EXPECT_FALSE (face().footswitch->forceDown);
}

// The notice shows what the automatic version check found for the pedal's firmware.
TEST_F (EditorTimersTest, TheUpdateNoticeFollowsTheVersionCheck)
{
    LoopbackHttpServer server;
    VersionQueryController::setVersionFileAddress (server.url ("/QZR/latest.json"));

    const struct { const char* file; int firmware; const char* text; } rows[] = { // firmware 0: no pedal; text null: hidden
        { R"({"pluginVersion":"0.2.0","firmwareVersion":"1.2.3"})", 0x010203, nullptr },
        { R"({"pluginVersion":"0.2.0","firmwareVersion":"1.2.3"})", 0x000001, "Firmware Update\nRequired..." },
        { R"({"pluginVersion":"0.2.0","firmwareVersion":"1.3.0"})", 0x010203, "Firmware Update\nAvailable..." },
        { nullptr, 0x010203, nullptr },
        { R"({"pluginVersion":"0.3.0","firmwareVersion":"1.3.0"})", 0x010203, "Plugin Update\nAvailable..." },
        { R"({"pluginVersion":"0.2.0","firmwareVersion":"9.0.0"})", 0, nullptr },
    };

    auto& notice = updateNoticeOf (*editor);
    auto shown = notice.getButtonText();
    for (const auto& row : rows)
    {
        SCOPED_TRACE (row.file != nullptr ? row.file : "no file");
        server.serve ("/QZR/latest.json", LoopbackHttpServer::text (row.file != nullptr ? row.file : "", row.file != nullptr ? 200 : 404));
        processor->disconnectUsbClient();
        rig.pedal.setFirmwareVersion (row.firmware);
        if (row.firmware != 0)
            attach (Mode::control, ChannelSetting::stereo);

        auto& updater = processor->getOnlineUpdater();
        updater.reset();
        updater.startQuery();
        ASSERT_TRUE (updater.getQuery()->waitForThreadToExit ((int) patience.count())) << "the version query ends";

        tick (Timers::updateNoticeTimerId);
        shown = row.text != nullptr ? juce::String (row.text) : shown; // hiding leaves the text
        EXPECT_EQ (notice.isVisible(), row.text != nullptr);
        EXPECT_EQ (notice.getButtonText(), shown);
    }

    processor->getOnlineUpdater().reset();
    VersionQueryController::setVersionFileAddress (juce::URL ("http://127.0.0.1:1/QZR/latest.json"));
}

// An uncalibrated pedal in Audio use brings up the device options once, in
// place of any dialog but a running flash.
TEST_F (EditorTimersTest, AnUncalibratedPedalInAudioUseBringsUpTheDeviceOptionsOnce)
{
    tick (Timers::optionsPromptTimerId);
    attach (Mode::control, ChannelSetting::stereo);
    tick (Timers::optionsPromptTimerId);
    rig.driver().getSettings().extraLatency.setValue (120, nullptr);
    attach (Mode::audio, ChannelSetting::stereo);
    tick (Timers::optionsPromptTimerId);
    EXPECT_FALSE (dialogShown());

    rig.driver().getSettings().extraLatency.setValue (0, nullptr);
    choose (MENU_ID_UPDATE_FIRMWARE);
    auto* flash = shownDialog<FirmwareUpdateComponent>();
    flash->getFlow().enterState (FirmwareUpdateFlow::updating);
    tick (Timers::optionsPromptTimerId);
    EXPECT_EQ (shownDialog<FirmwareUpdateComponent>(), flash);
    EXPECT_TRUE (editor->isTimerRunning (Timers::optionsPromptTimerId));

    editor->getAlertManager().alert.reset();
    bool confirmed = false;
    editor->getAlertManager().alert_withCallback ("Title", "Message", [&confirmed] (int) { confirmed = true; });
    tick (Timers::optionsPromptTimerId);
    ASSERT_NE (shownDialog<PedalOptionsComponent>(), nullptr);
    EXPECT_TRUE (shownDialog<PedalOptionsComponent>()->needsCalibrationFirst());
    EXPECT_FALSE (confirmed);
    EXPECT_FALSE (editor->isTimerRunning (Timers::optionsPromptTimerId));
}
