#include "Support/AudioLinkRig.h"

#include <gtest/gtest.h>
#include <algorithm>

// The driver's side of the pedal's audio: how it opens the device, hands its
// settings to the bridges, announces the latency and shares the channels out.
namespace
{
using Status = LatencyCalibration::Status;

// What a client's listener hears of the latency, and what its own bridge
// says at that moment (which is what a processor reports).
struct LatencyLog : UsbDeviceClient::ClientListener
{
    explicit LatencyLog (UsbDeviceClient& c) : client (c) { client.addListener (this); }
    ~LatencyLog() override { client.removeListener (this); }

    void deviceConnected() override {}
    void latencyChanged (int samples) override
    {
        heard.push_back (samples);
        bridge.push_back (client.getAudioSource().getLatencySamples());
    }

    UsbDeviceClient& client;
    std::vector<int> heard, bridge;
};

TEST (PedalAudioDevice, OpensWithTheEffectiveBlockSizeAndFallsBackTo256WhenAnOpenFails)
{
    struct Case
    {
        const char* name;
        int setting, hostBlock;
        int failOpens, refused;
        int opened, opens;
    };

    const Case cases[] = {
        { "the setting", 128, 512, 0, 0, 128, 1 },
        { "0 follows the host", 0, 1024, 0, 0, 1024, 1 },
        { "a failed open falls back", 128, 512, 1, 0, 256, 1 },
        { "a refused block size falls back", 0, 1024, 0, 1024, 256, 1 },
    };

    for (const auto& c : cases)
    {
        SCOPED_TRACE (c.name);
        AudioLinkRig rig;
        VirtualAudioBehaviour behaviour;
        behaviour.failOpens = c.failOpens;
        if (c.refused > 0)
            behaviour.refusedBlockSizes.add (c.refused);
        rig.setDeviceBehaviour (behaviour);
        rig.driver().getSettings().blockSize.setValue (c.setting, nullptr);
        rig.driver().getSettings().extraLatency.setValue (100, nullptr);

        auto* client = rig.attach (Mode::audio, c.hostBlock);
        ASSERT_NE (rig.openDevice(), nullptr);
        EXPECT_EQ (rig.openDevice()->getCurrentBufferSizeSamples(), c.opened);
        EXPECT_EQ (rig.openDevice()->getCurrentSampleRate(), AudioLinkRig::sampleRate);
        EXPECT_EQ (rig.deviceCounters().opens.load(), c.opens);
        EXPECT_EQ (rig.deviceCounters().starts.load(), 1);
        EXPECT_EQ (client->getAudioSource().getDeviceBlockInUse(), c.opened);

        // Confirming the mode again opens nothing more.
        rig.driver().enableAudio();
        EXPECT_EQ (rig.deviceCounters().opens.load(), c.opens);
    }
}

TEST (PedalAudioDevice, BeforeAnyHostPreparesTheSettingOf0IsHandedToTheOpen)
{
    AudioLinkRig rig;
    rig.driver().setSampleRate (48000);
    rig.driver().connect (Mode::audio);
    rig.device().addClient (ChannelSetting::stereo, PedalModeConfig::none);
    ASSERT_TRUE (rig.sim.runUntil ([&] { return rig.openDevice() != nullptr; }, 1.0));
    EXPECT_EQ (rig.openDevice()->getCurrentBufferSizeSamples(), VirtualAudioDevice::defaultBufferSize);
}

TEST (PedalAudioDevice, SettingsReachEveryBridgeAndEveryClientHearsOnlyItsChangedLatency)
{
    AudioLinkRig rig;
    auto& settings = rig.driver().getSettings();
    settings.extraLatency.setValue (100, nullptr);
    auto* first = rig.attach (Mode::audio, 512, ChannelSetting::monoLeft);
    auto* second = rig.attach (Mode::audio, 512, ChannelSetting::monoRight);
    second->getAudioSource().releaseResources();

    LatencyLog firstLog (*first), secondLog (*second);

    // Each client hears once, when its own bridge has the new figure: the
    // second, which takes the settings after the first, too.
    settings.inAdjust.setValue (2, nullptr);
    const int expected = 1536 + (2 * 512 + 1024) + 100 + 56;
    for (auto* log : { &firstLog, &secondLog })
    {
        EXPECT_EQ (log->heard, std::vector<int> { expected });
        EXPECT_EQ (log->bridge, std::vector<int> { expected });
    }

    EXPECT_EQ (rig.driver().getLatency(), expected);

    for (auto* client : { first, second })
        EXPECT_EQ (client->getAudioSource().getPendingParameters().inAdjust, 2);

    // The stopped bridge took the settings without being started.
    EXPECT_EQ (first->getAudioSource().getStreamingState(), AudioIODeviceSource::startRequested);
    EXPECT_EQ (second->getAudioSource().getStreamingState(), AudioIODeviceSource::stopped);

    // A write of the same value, or of a setting the latency does not show, announces nothing new.
    settings.inAdjust.setValue (2, nullptr);
    settings.blockSize.setValue (512, nullptr);
    EXPECT_EQ (firstLog.heard.size(), 1u);
    EXPECT_EQ (secondLog.heard.size(), 1u);

    // A host that prepares with another block changes its own bridge's
    // latency: only its client hears of it.
    second->getAudioSource().prepareToPlay (256, AudioLinkRig::sampleRate);
    const int second256 = (512 + 256 + 512) + (2 * 512 + 256 + 512) + 100 + 56;
    EXPECT_EQ (firstLog.heard, std::vector<int> { expected });
    EXPECT_EQ (secondLog.heard, (std::vector<int> { expected, second256 }));
    EXPECT_EQ (secondLog.bridge, (std::vector<int> { expected, second256 }));
}

// A change that reopens the pedal's device for one bridge (the primary's
// host block with the setting of 0, or the setting itself) reaches every
// bridge: each sizes its rings for the block the device now delivers, and
// each client hears once of its own bridge's new figure.
TEST (PedalAudioDevice, AReopeningReachesEveryBridgeAndEachClientHearsItsOwnLatencyOnce)
{
    struct Case
    {
        const char* name;
        std::function<void (AudioLinkRig&, UsbDeviceClient& primary)> change;
        int firstLatency, secondLatency;
    };

    // Host 256 on a device of 256: (256 + 512) + 512; host 512 on it: (512 + 768) + 768.
    const Case cases[] = {
        { "the primary's host block", [] (auto&, auto& primary) { primary.getAudioSource().prepareToPlay (256, AudioLinkRig::sampleRate); },
          768 + 512 + 100 + 56, 1280 + 768 + 100 + 56 },
        { "the block size setting", [] (auto& rig, auto&) { rig.driver().getSettings().blockSize.setValue (256, nullptr); },
          1280 + 768 + 100 + 56, 1280 + 768 + 100 + 56 },
    };

    for (const auto& c : cases)
    {
        SCOPED_TRACE (c.name);
        AudioLinkRig rig;
        rig.driver().getSettings().extraLatency.setValue (100, nullptr);
        auto* first = rig.attach (Mode::audio, 512, ChannelSetting::monoLeft);
        auto* second = rig.attach (Mode::audio, 512, ChannelSetting::monoRight);
        ASSERT_EQ (rig.openDevice()->getCurrentBufferSizeSamples(), 512);
        const int opens = rig.deviceCounters().opens.load();
        LatencyLog firstLog (*first), secondLog (*second);

        c.change (rig, *first);
        EXPECT_EQ (rig.deviceCounters().opens.load(), opens + 1);
        EXPECT_EQ (rig.openDevice()->getCurrentBufferSizeSamples(), 256);

        for (auto* client : { first, second })
        {
            EXPECT_EQ (client->getAudioSource().getDeviceBlockInUse(), 256);
            EXPECT_EQ (client->getAudioSource().getStreamingState(), AudioIODeviceSource::startRequested);
        }

        EXPECT_EQ (firstLog.heard, std::vector<int> { c.firstLatency });
        EXPECT_EQ (firstLog.bridge, std::vector<int> { c.firstLatency });
        EXPECT_EQ (secondLog.heard, std::vector<int> { c.secondLatency });
        EXPECT_EQ (secondLog.bridge, std::vector<int> { c.secondLatency });
        EXPECT_EQ (rig.driver().getLatency(), c.firstLatency);
    }
}

// A pedal measures from its Audio connection on: a connection that does not
// calibrate tells it at once that the calibration is over, so that it plays
// with its effect, and the next period of its audio is out of that path.
TEST (PedalAudioDevice, OnlyAnAudioConnectionWithoutAStoredLatencyCalibrates)
{
    struct Case { Mode mode; int extraLatency; Status status; int calibrationOver; bool calibrating; };
    const Case cases[] = {
        { Mode::audio, 0, Status::running, 0, true },
        { Mode::audio, 25, Status::none, 1, false },
        { Mode::control, 0, Status::none, 0, false },
        { Mode::pedalboard, 0, Status::none, 0, false },
    };
    const auto calibrationOver = LinkRig::frame (Sysex::SystemGroup, Sysex::Calibrate, { 0 });

    for (const auto& c : cases)
    {
        SCOPED_TRACE (toInt (c.mode));
        AudioLinkRig rig;
        rig.driver().getSettings().extraLatency.setValue (c.extraLatency, nullptr);
        rig.attach (c.mode, 512);
        EXPECT_EQ (rig.driver().getCalibration().getStatus(), c.status);
        EXPECT_EQ (rig.driver().getSettings().extraLatency.get(), c.mode == Mode::pedalboard ? 0 : c.extraLatency);

        const auto system = rig.receivedInGroup (Sysex::SystemGroup);
        EXPECT_EQ (std::count (system.begin(), system.end(), calibrationOver), c.calibrationOver);
        if (c.mode != Mode::control)
        {
            ASSERT_TRUE (rig.sim.runUntil ([&rig] { return rig.pedalAudio().getLastSample() > 0; }, 1.0)) << "a period of the pedal's audio";
            EXPECT_EQ (rig.pedalAudio().isCalibrating(), c.calibrating);
        }
    }
}

TEST (PedalAudioDevice, TheSplitFollowsTheChannelChosenLastAmongTheClientsThatStay)
{
    AudioLinkRig rig;
    auto& device = rig.device();
    auto& controller = device.getController();
    rig.driver().getSettings().extraLatency.setValue (100, nullptr);

    auto* left = rig.attach (Mode::audio, 512, ChannelSetting::monoLeft);
    auto* stereo = rig.attach (Mode::audio, 512, ChannelSetting::stereo);
    EXPECT_FALSE (controller.isSplit());

    device.removeClient (stereo);
    EXPECT_TRUE (controller.isSplit());

    auto* right = rig.attach (Mode::audio, 512, ChannelSetting::monoRight);
    controller.setChannel (left, ChannelSetting::stereo);
    EXPECT_FALSE (controller.isSplit());

    device.removeClient (left);
    EXPECT_TRUE (controller.isSplit());
    EXPECT_EQ (controller.getPrimaryClient(), right);

    // With nobody left it stays as it was.
    device.removeClient (right);
    EXPECT_TRUE (controller.isSplit());
}
} // namespace
