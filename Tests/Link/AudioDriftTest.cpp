#include "Emulation/DriftRecording.h"
#include "Support/AudioLinkRig.h"

#include <gtest/gtest.h>

// An hour of streaming through the emulated pedal whose clock is off by a set
// number of ppm: drift control keeps both rings at their set points, the two
// rings together hold what is reported, and so does the latency measured,
// without a single restart.
namespace
{
class AudioDrift : public ::testing::TestWithParam<double>
{
};

TEST_P (AudioDrift, AnHourStreamsWithoutRestartsWithSettledFillsAndTheReportedLatency)
{
#if defined (__SANITIZE_THREAD__)
    GTEST_SKIP() << "one thread only: nothing for ThreadSanitizer to see, and an hour is slow under it";
#endif

    AudioLinkRig rig;
    VirtualAudioBehaviour behaviour;
    behaviour.clockPpm = GetParam();
    rig.setDeviceBehaviour (behaviour);
    rig.pedalAudio().setRoundTrip (700);

    auto* client = rig.attach (modeAudio, 512); // calibrates at connection
    DriftRecording recording (rig.sim, *client, 512);
    recording.run (3600.0);
    const auto summary = recording.summarise();

    EXPECT_EQ (rig.driver().getSettings().extraLatency.get(), 700 - 32);
    EXPECT_EQ (summary.restarts, 0);
    EXPECT_GT (summary.arrivals, 7000);
    EXPECT_LT (summary.settledAfter, 1200.0);
    // Over the whole hour, not only once settled.
    EXPECT_GE (summary.toDeviation[0], -summary.toRange);
    EXPECT_LE (summary.toDeviation[1], summary.toRange);
    EXPECT_GE (summary.fromDeviation[0], -summary.fromRange);
    EXPECT_LE (summary.fromDeviation[1], summary.fromRange);
    // The rings' own fills, not drift control's view of them: at every host
    // block both together hold their two targets less the block the host just
    // took, which is the latency reported, give or take the readers'
    // fractional positions. How that splits between the two rings follows
    // where the device's callbacks fall between the host's, which the drift
    // moves: no ring's own low is held at its own target.
    EXPECT_GE (summary.rawSumDeviation[0], -4);
    EXPECT_LE (summary.rawSumDeviation[1], 4);
    EXPECT_NEAR (summary.meanError, 0.0, 2.0);
    EXPECT_NEAR (summary.meanSettledError, 0.0, 2.0);

    // The ratios learnt the drift: the device's reader slows by it, the host's speeds up.
    const auto& last = recording.getSeconds().back();
    EXPECT_NEAR (last.toRatio, 1.0 / (1.0 + GetParam() * 1.0e-6), 2.0e-6);
    EXPECT_NEAR (last.fromRatio, 1.0 + GetParam() * 1.0e-6, 2.0e-6);
}

INSTANTIATE_TEST_SUITE_P (Ppm, AudioDrift, ::testing::Values (0.0, 20.0, -20.0, 50.0, -50.0, 90.0, -90.0),
                          [] (const auto& info) { return (info.param < 0 ? "minus" : "plus") + std::to_string ((int) std::abs (info.param)); });
} // namespace
