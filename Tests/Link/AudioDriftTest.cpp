#include "Emulation/DriftRecording.h"
#include "Support/AudioLinkRig.h"

#include <gtest/gtest.h>

// An hour of streaming through the emulated pedal whose clock is off by a set
// number of ppm, with the buffer settings at their defaults and at their
// smallest: drift control keeps both rings at their targets, the two rings
// together hold what is reported, and so does the latency measured, without a
// single restart.
namespace
{
struct DriftCase
{
    double ppm;
    int inAdjust, outAdjust; // "inAdjust" and "outAdjust"
};

class AudioDrift : public ::testing::TestWithParam<DriftCase>
{
};

TEST_P (AudioDrift, AnHourStreamsWithoutRestartsWithSettledFillsAndTheReportedLatency)
{
#if defined (__SANITIZE_THREAD__)
    GTEST_SKIP() << "one thread only: nothing for ThreadSanitizer to see, and an hour is slow under it";
#endif

    const auto c = GetParam();
    AudioLinkRig rig;
    VirtualAudioBehaviour behaviour;
    behaviour.clockPpm = c.ppm;
    rig.setDeviceBehaviour (behaviour);
    rig.pedalAudio().setRoundTrip (700);
    rig.driver().getSettings().inAdjust.setValue (c.inAdjust, nullptr);
    rig.driver().getSettings().outAdjust.setValue (c.outAdjust, nullptr);

    auto* client = rig.attach (Mode::audio, 512); // calibrates at connection
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
    // fractional positions.
    EXPECT_GE (summary.rawSumDeviation[0], -4);
    EXPECT_LE (summary.rawSumDeviation[1], 4);
    // How that splits between the two rings follows where the device's
    // callbacks fall between the host's, which the drift moves through a
    // whole block: each ring's own low still keeps half a block, so that no
    // reader comes near running dry.
    EXPECT_GE (summary.toRawDeviation[0] + summary.toTarget, 256);
    EXPECT_GE (summary.fromRawDeviation[0] + summary.fromTarget, 256);
    EXPECT_NEAR (summary.meanError, 0.0, 2.0);
    EXPECT_NEAR (summary.meanSettledError, 0.0, 2.0);

    // The ratios learnt the drift: the device's reader slows by it, the host's speeds up.
    const auto& last = recording.getSeconds().back();
    EXPECT_NEAR (last.toRatio, 1.0 / (1.0 + c.ppm * 1.0e-6), 2.0e-6);
    EXPECT_NEAR (last.fromRatio, 1.0 + c.ppm * 1.0e-6, 2.0e-6);
}

// The defaults (inAdjust 0, outAdjust 1), then both buffers at their smallest.
INSTANTIATE_TEST_SUITE_P (Ppm, AudioDrift,
                          ::testing::Values (DriftCase { 0.0, 0, 1 }, DriftCase { 20.0, 0, 1 }, DriftCase { -20.0, 0, 1 },
                                             DriftCase { 50.0, 0, 1 }, DriftCase { -50.0, 0, 1 }, DriftCase { 90.0, 0, 1 },
                                             DriftCase { -90.0, 0, 1 }, DriftCase { 20.0, 0, 0 }, DriftCase { -20.0, 0, 0 },
                                             DriftCase { 50.0, 0, 0 }, DriftCase { -50.0, 0, 0 }, DriftCase { 90.0, 0, 0 },
                                             DriftCase { -90.0, 0, 0 }),
                          [] (const auto& info)
                          {
                              const auto& c = info.param;
                              return (c.ppm < 0 ? "minus" : "plus") + std::to_string ((int) std::abs (c.ppm))
                                     + (c.outAdjust == 0 ? "_smallestBuffers" : "");
                          });
} // namespace
