#include "Components/Dialogs/FirmwareUpdateComponent.h"
#include "Components/Dialogs/PedalOptionsComponent.h"
#include "Components/Images.h"
#include "Support/EditorRig.h"
#include "Support/LoopbackHttpServer.h"

#include <gtest/gtest.h>

namespace
{
using Timers = VelmoraAudioProcessorEditor::TimerIds;

class EditorTimersTest : public EditorTest
{
protected:
    void attach (int mode, int channel, int leg = pedalboardNone)
    {
        processor->setUsbDevice (LinkRig::pedalName, mode, channel, leg);
        rig.drain();
    }

    // One host block through the processor with these peaks on its two channels.
    void play (float left, float right)
    {
        juce::AudioBuffer<float> block (2, 64);
        block.clear();
        block.setSample (0, 10, left);
        block.setSample (1, 20, right);
        juce::MidiBuffer midi;
        processor->processBlock (block, midi);
    }

    std::pair<float, float> meters() const { return { editor->pedalComponent->meterL->level, editor->pedalComponent->meterR->level }; }
};
} // namespace

TEST_F (EditorTimersTest, ThreeTimersRunAtTheirPeriods)
{
    for (auto [id, period] : { std::pair { Timers::meterTimerId, 50 }, { Timers::updateNoticeTimerId, 1000 },
                               { Timers::optionsPromptTimerId, 2000 } })
    {
        EXPECT_TRUE (editor->isTimerRunning (id));
        EXPECT_EQ (editor->getTimerInterval (id), period);
    }
}

// The meters take the client's peaks each tick: both channels in stereo, the
// first on both meters in mono, and fall by 0.6 per tick while nothing new comes.
TEST_F (EditorTimersTest, MetersAndPeakWindowFollowTheClientsPeaks)
{
    auto& face = *editor->pedalComponent;
    face.meterL->level = 0.5f;
    editor->timerCallback (Timers::meterTimerId); // no client: silence
    EXPECT_FLOAT_EQ (meters().first, 0.3f);
    EXPECT_FLOAT_EQ (meters().second, 0.0f);

    const struct { int channel; float left, right; } rows[] = {
        { channelStereo, 0.5f, 0.25f },
        { channelMonoLeft, 0.5f, 0.5f },
        { channelMonoRight, 0.5f, 0.5f },
    };

    for (const auto& row : rows)
    {
        SCOPED_TRACE (row.channel);
        attach (modeAudio, row.channel);
        face.meterL->level = face.meterR->level = 0.0f;
        face.meterWindow->latestPeak = 0.0f;
        face.meterWindow->setDisplayedPeak (0.0f);
        editor->timerCallback (Timers::meterTimerId); // whatever came before

        play (0.5f, 0.25f);
        editor->timerCallback (Timers::meterTimerId);
        EXPECT_FLOAT_EQ (meters().first, row.left);
        EXPECT_FLOAT_EQ (meters().second, row.right);
        EXPECT_FLOAT_EQ (face.meterWindow->getDisplayedPeak(), 0.5f);

        // Nothing new: both fall, the window holds its reading.
        editor->timerCallback (Timers::meterTimerId);
        EXPECT_FLOAT_EQ (meters().first, row.left * 0.6f);
        EXPECT_FLOAT_EQ (meters().second, row.right * 0.6f);
        EXPECT_FLOAT_EQ (face.meterWindow->getDisplayedPeak(), 0.5f);
        processor->disconnectUsbClient();
    }
}

// The footswitch shows the pedal's switch from bit 0 of its indicator byte;
// the USB and power lights show the connection.
TEST_F (EditorTimersTest, FootswitchAndLightsFollowThePedal)
{
    auto& face = *editor->pedalComponent;
    const auto lights = [&face] { return std::pair { face.ledUsb->index, face.ledPower->index }; };

    editor->timerCallback (Timers::meterTimerId);
    EXPECT_EQ (lights(), std::pair (0, 0));
    EXPECT_EQ (face.ledUsb->getImage(), Images::LED_USB_Off.getImage());

    attach (modeControl, channelStereo);
    editor->timerCallback (Timers::meterTimerId);
    EXPECT_EQ (lights(), std::pair (1, 1));
    EXPECT_EQ (face.ledUsb->getImage(), Images::LED_Red_On.getImage());

    attach (modeAudio, channelStereo);
    editor->timerCallback (Timers::optionsPromptTimerId); // the indicator step follows every other timer too
    EXPECT_EQ (lights(), std::pair (2, 2));
    EXPECT_EQ (face.ledUsb->getImage(), Images::LED_Green_On.getImage());
    EXPECT_EQ (face.ledPower->getImage(), Images::LED_Red_On.getImage()); // its last picture

    for (const auto& [byte, down] : { std::pair<uint8_t, bool> { 0x05, true }, { 0x04, false }, { 0x01, true } })
    {
        ASSERT_TRUE (rig.pedal.sendLedState (byte));
        rig.drain();
        editor->timerCallback (Timers::meterTimerId);
        EXPECT_EQ (face.ledState, byte);
        EXPECT_EQ (face.footswitch->forceDown, down);
    }

    processor->disconnectUsbClient();
    editor->timerCallback (42);
    EXPECT_EQ (lights(), std::pair (0, 0));
    EXPECT_EQ (face.ledState, 0);
    EXPECT_FALSE (face.footswitch->forceDown);
}

// The notice shows what the automatic version check found for the pedal's firmware.
TEST_F (EditorTimersTest, TheUpdateNoticeFollowsTheVersionCheck)
{
    LoopbackHttpServer server;
    VersionQueryController::setVersionFileAddress (server.url ("/QZR/latest.json"));

    struct Row
    {
        const char* file;   // nullptr: no version file
        int pedalFirmware;  // 0: no pedal
        const char* text;   // nullptr: hidden, the text left as it was
    };

    const Row rows[] = {
        { R"({"pluginVersion":"0.2.0","firmwareVersion":"1.2.3"})", 0x010203, nullptr },
        { R"({"pluginVersion":"0.2.0","firmwareVersion":"1.2.3"})", 0x000001, "Firmware Update\nRequired..." },
        { R"({"pluginVersion":"0.2.0","firmwareVersion":"1.3.0"})", 0x010203, "Firmware Update\nAvailable..." },
        { nullptr, 0x010203, nullptr },
        { R"({"pluginVersion":"0.3.0","firmwareVersion":"1.3.0"})", 0x010203, "Plugin Update\nAvailable..." },
        { R"({"pluginVersion":"0.2.0","firmwareVersion":"9.0.0"})", 0, nullptr }, // no pedal: no firmware status
    };

    juce::String shown = editor->updateNoticeButton.getButtonText();
    for (const auto& row : rows)
    {
        SCOPED_TRACE (row.file != nullptr ? row.file : "no file");
        server.serve ("/QZR/latest.json", row.file != nullptr ? LoopbackHttpServer::text (row.file)
                                                              : LoopbackHttpServer::text ("", 404));
        processor->disconnectUsbClient();
        if (row.pedalFirmware != 0)
        {
            rig.pedal.setFirmwareVersion (row.pedalFirmware);
            attach (modeControl, channelStereo);
        }

        auto& updater = processor->getOnlineUpdater();
        updater.reset();
        updater.startQuery();
        for (int i = 0; i < 500 && updater.getQuery()->isThreadRunning(); ++i)
            juce::Thread::sleep (5);

        editor->timerCallback (Timers::updateNoticeTimerId);
        if (row.text != nullptr)
            shown = row.text;
        EXPECT_EQ (editor->updateNoticeButton.isVisible(), row.text != nullptr);
        EXPECT_EQ (editor->updateNoticeButton.getButtonText(), shown);
    }

    processor->getOnlineUpdater().reset();
    VersionQueryController::setVersionFileAddress (juce::URL ("http://127.0.0.1:1/QZR/latest.json"));
}

// An uncalibrated pedal in Audio use brings up the device options once, in place
// of any dialog but a running flash.
TEST_F (EditorTimersTest, AnUncalibratedPedalInAudioUseBringsUpTheDeviceOptionsOnce)
{
    const auto tick = [this] { editor->timerCallback (Timers::optionsPromptTimerId); };

    tick();
    attach (modeControl, channelStereo);
    tick();
    rig.driver().getSettings().extraLatency.setValue (120, nullptr);
    attach (modeAudio, channelStereo);
    tick();
    EXPECT_FALSE (editor->alertManager.alert.isShowing());
    EXPECT_TRUE (editor->isTimerRunning (Timers::optionsPromptTimerId));

    // Never in place of a flash: the prompt waits for it.
    rig.driver().getSettings().extraLatency.setValue (0, nullptr);
    editor->settingsMenuCallback (MENU_ID_UPDATE_FIRMWARE, {});
    auto* flash = shownDialog<FirmwareUpdateComponent>();
    ASSERT_NE (flash, nullptr);
    flash->prepareState (FirmwareUpdateComponent::updating);
    tick();
    EXPECT_EQ (shownDialog<FirmwareUpdateComponent>(), flash);
    EXPECT_TRUE (editor->isTimerRunning (Timers::optionsPromptTimerId));

    // Any other dialog gives way, its callback not called.
    editor->alertManager.alert.reset();
    bool confirmed = false;
    editor->alertManager.alert_withCallback ("Title", "Message", [&confirmed] (int) { confirmed = true; });
    tick();
    auto* options = shownDialog<PedalOptionsComponent>();
    ASSERT_NE (options, nullptr);
    EXPECT_TRUE (options->needsCalibrationFirst());
    EXPECT_FALSE (confirmed);
    EXPECT_FALSE (editor->isTimerRunning (Timers::optionsPromptTimerId));
}
