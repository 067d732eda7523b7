#include "Support/AudioLinkRig.h"

#include <gtest/gtest.h>

// Latency calibration against the emulated pedal: at connection, on the
// pedal's request, and when nothing comes back.
namespace
{
using Status = LatencyCalibration::Status;

const Bytes calibrationOver = LinkRig::frame (Sysex::SystemGroup, Sysex::Calibrate, { 0 });

int framesSent (LinkRig& rig, const Bytes& frame)
{
    const auto received = rig.pedal.getReceivedMessages();
    return (int) std::count (received.begin(), received.end(), frame);
}

struct LatencyLog : UsbDeviceClient::ClientListener
{
    void deviceConnected() override {}
    void latencyChanged (int samples) override { latencies.push_back (samples); }
    std::vector<int> latencies;
};

TEST (LatencyCalibration, AtConnectionStoresWhatMakesTheReportedLatencyTheMeasuredOneForSeveralRoundTrips)
{
    for (const auto& c : calibrationCases)
    {
        SCOPED_TRACE (c.roundTrip);
        AudioLinkRig rig;
        rig.pedalAudio().setRoundTrip (c.roundTrip);
        rig.driver().getSettings().blockSize.setValue (c.blockSize, nullptr);

        auto* client = rig.attach (Mode::audio, c.hostBlock);
        LatencyLog log;
        client->addListener (&log);
        auto& bridge = client->getAudioSource();
        auto& calibration = rig.driver().getCalibration();
        EXPECT_EQ (calibration.getStatus(), Status::running);

        // The host hears none of it.
        ImpulseProbe probe (48000);
        float heardWhileCalibrating = 0.0f;
        rig.streamHost ({ client }, c.hostBlock, [&] (auto& block, auto first) { probe.fill (block, first); },
                        [&] (auto& block, auto first)
                        {
                            if (bridge.getCalibrationState() != AudioLatencyDetector::idle)
                                heardWhileCalibrating = std::max (heardWhileCalibrating, block.getMagnitude (0, block.getNumSamples()));
                            probe.take (block, first);
                        });

        ASSERT_TRUE (rig.sim.runUntil ([&] { return calibration.getStatus() == Status::measured; }, 2.0));
        EXPECT_EQ (heardWhileCalibrating, 0.0f);
        EXPECT_EQ (rig.driver().getSettings().extraLatency.get(), c.roundTrip - 32);
        EXPECT_EQ (framesSent (rig, calibrationOver), 1);
        EXPECT_FALSE (bridge.isTimerRunning (AudioIODeviceSource::calibrationTimerId));

        const int latency = bridge.getLatencySamples();
        EXPECT_EQ (latency, bridge.getTargets().toDevice + bridge.getTargets().fromDevice + c.roundTrip - 32 + 56);
        EXPECT_EQ (log.latencies, std::vector<int> { latency });

        // What the host then measures, impulse in, impulse out, is what is reported.
        rig.sim.run (3.0);
        EXPECT_FALSE (rig.pedalAudio().isCalibrating());
        ASSERT_FALSE (probe.arrivals.empty());
        EXPECT_EQ (probe.arrivals.back().delay, (double) latency);
        client->removeListener (&log);
    }
}

TEST (LatencyCalibration, APedalRequestCalibratesEveryClientAndEachSaysWhenItIsOver)
{
    AudioLinkRig rig;
    rig.pedalAudio().setRoundTrip (900);
    rig.driver().getSettings().extraLatency.setValue (250, nullptr);

    // Pedalboard use: every client is handed the pedal's channels.
    auto* out = rig.attach (Mode::pedalboard, 512, ChannelSetting::stereo, PedalModeConfig::out);
    rig.attach (Mode::pedalboard, 512, ChannelSetting::stereo, PedalModeConfig::in);
    rig.attach (Mode::pedalboard, 512, ChannelSetting::monoLeft, PedalModeConfig::in);
    rig.device().getController().setChannel (out, ChannelSetting::stereo); // all shared
    ASSERT_EQ (rig.driver().getSettings().extraLatency.get(), 0); // Pedalboard use stores none

    rig.pedal.clearReceivedMessages();
    ASSERT_TRUE (rig.pedal.sendCalibrate());
    auto& calibration = rig.driver().getCalibration();
    ASSERT_TRUE (rig.sim.runUntil ([&] { return framesSent (rig, calibrationOver) == 3; }, 2.0));
    EXPECT_EQ (calibration.getStatus(), Status::measured);
    EXPECT_EQ (rig.driver().getSettings().extraLatency.get(), 900 - 32);
}

TEST (LatencyCalibration, OneThatHearsNothingStopsTellsThePedalStoresNothingAndSaysSo)
{
    AudioLinkRig rig;
    rig.pedalAudio().setGain (0, 0.0f);
    auto* client = rig.attach (Mode::audio, 512);
    auto& bridge = client->getAudioSource();
    auto& calibration = rig.driver().getCalibration();
    rig.streamHost ({ client }, 512, {}, {});

    ASSERT_TRUE (rig.sim.runUntil ([&] { return calibration.getStatus() != Status::running; }, 2.0));
    EXPECT_EQ (calibration.getStatus(), Status::timedOut);
    EXPECT_EQ (bridge.getCalibrationState(), AudioLatencyDetector::timedOut);
    EXPECT_FALSE (bridge.isTimerRunning (AudioIODeviceSource::calibrationTimerId));
    EXPECT_EQ (framesSent (rig, calibrationOver), 1);
    EXPECT_EQ (rig.driver().getSettings().extraLatency.get(), 0);
    EXPECT_FALSE (rig.driver().getSettingsTree().hasProperty ("extraLatency"));

    // The stream itself carries on.
    rig.sim.run (1.0);
    EXPECT_EQ (bridge.getStreamingState(), AudioIODeviceSource::streaming);
}

TEST (LatencyCalibration, ADeviceThatDeliversAnotherBlockSizeStillMeasuresTrue)
{
    AudioLinkRig rig;
    rig.deliverBlocksOf (384);
    rig.pedalAudio().setRoundTrip (1111);

    auto* client = rig.attach (Mode::audio, 512);
    auto& bridge = client->getAudioSource();
    ImpulseProbe probe (48000);
    rig.streamHost ({ client }, 512, [&] (auto& block, auto first) { probe.fill (block, first); },
                    [&] (auto& block, auto first) { probe.take (block, first); });

    ASSERT_TRUE (rig.sim.runUntil ([&] { return rig.driver().getSettings().extraLatency.get() != 0; }, 2.0));
    EXPECT_EQ (rig.driver().getSettings().extraLatency.get(), 1111 - 32);
    EXPECT_EQ (bridge.getDeviceBlockInUse(), 384);
    EXPECT_EQ (rig.openDevice()->getCurrentBufferSizeSamples(), 384);

    rig.sim.run (3.0);
    ASSERT_FALSE (probe.arrivals.empty());
    EXPECT_EQ (probe.arrivals.back().delay, (double) bridge.getLatencySamples());
    EXPECT_EQ (bridge.getDiagnostics().restarts, 0);
}
} // namespace
