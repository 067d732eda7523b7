#include "Emulation/DriftRecording.h"
#include "Support/AudioLinkRig.h"

#include <gtest/gtest.h>
#include <vector>

// An hour of streaming through the emulated pedal whose clock is off by a set
// number of ppm, with the buffer settings at their defaults and at their
// smallest, and with a small host block under a large device block: drift
// control keeps both rings at their set points, the two rings together hold
// what is reported, and so does the latency measured, without a single restart.
namespace
{
struct DriftCase
{
    double ppm;
    int inAdjust, outAdjust; // "inAdjust" and "outAdjust"
    int hostBlock = 512, blockSize = 0, roundTrip = 700;
};

// The pedal's clock off by the case's ppm, its settings and round trip the
// case's: a client attached with the case's host block, calibrated at connection.
UsbDeviceClient* attachDrifting (AudioLinkRig& rig, const DriftCase& c)
{
    VirtualAudioBehaviour behaviour;
    behaviour.clockPpm = c.ppm;
    rig.setDeviceBehaviour (behaviour);
    rig.pedalAudio().setRoundTrip (c.roundTrip);
    auto& settings = rig.driver().getSettings();
    settings.inAdjust.setValue (c.inAdjust, nullptr);
    settings.outAdjust.setValue (c.outAdjust, nullptr);
    settings.blockSize.setValue (c.blockSize, nullptr);
    return rig.attach (Mode::audio, c.hostBlock);
}

class AudioDrift : public ::testing::TestWithParam<DriftCase>
{
};

TEST_P (AudioDrift, AnHourStreamsWithoutRestartsWithSettledFillsAndTheReportedLatency)
{
    const auto c = GetParam();
    AudioLinkRig rig;
    auto* client = attachDrifting (rig, c);
    ASSERT_NE (client, nullptr);
    DriftRecording recording (rig.sim, *client, c.hostBlock);
    recording.run (3600.0);
    const auto summary = recording.summarise();

    EXPECT_EQ (rig.driver().getSettings().extraLatency.get(), c.roundTrip - 32);
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
                                             DriftCase { -90.0, 0, 0 }, DriftCase { -90.0, 0, 1, 64, 1024, 2600 }),
                          [] (const auto& info)
                          {
                              const auto& c = info.param;
                              return (c.ppm < 0 ? "minus" : "plus") + std::to_string ((int) std::abs (c.ppm))
                                     + (c.outAdjust == 0 ? "_smallestBuffers" : "")
                                     + (c.hostBlock != 512 ? "_host" + std::to_string (c.hostBlock) + "_blockSize"
                                                                 + std::to_string (c.blockSize)
                                                           : "");
                          });
} // namespace

// Every host block against every device block, at each drift within the
// correction's limit, for ten minutes each with the default buffer settings:
// no restart, each ring's own low above empty, and the latency measured is the
// latency reported. The pedal attaches at a different phase of its device's
// period in each case. Each pair of blocks is two cases, the pedal's clock
// slower and not, so that they run beside each other.
namespace
{
struct BlockCase
{
    int hostBlock, blockSize; // "blockSize": 0 follows the host
    bool slower;              // the drifts that make the pedal's clock slow, else 0 and those that make it fast
};

class AudioDriftAcrossBlocks : public ::testing::TestWithParam<BlockCase>
{
};

// Ten minutes without a restart, each ring's own low above empty, and both
// rings together holding what the latency counts on at every host block.
void expectStreamedWithoutRestarts (const DriftRecording::Summary& s)
{
    EXPECT_EQ (s.restarts, 0);
    EXPECT_GT (s.arrivals, 1000);
    EXPECT_GT (s.toRawDeviation[0] + s.toTarget, 0);
    EXPECT_GT (s.fromRawDeviation[0] + s.fromTarget, 0);
    EXPECT_GE (s.rawSumDeviation[0], -4);
    EXPECT_LE (s.rawSumDeviation[1], 4);
}

TEST_P (AudioDriftAcrossBlocks, TenMinutesAtEachDriftStreamWithoutRestartsAndWithTheReportedLatency)
{
    const auto c = GetParam();
    const int deviceBlock = c.blockSize > 0 ? c.blockSize : c.hostBlock;
    const int roundTrip = deviceBlock > 512 ? 2600 : 1000; // longer than a device block
    int phase = c.hostBlock + c.blockSize + (c.slower ? 1 : 0);
    const auto drifts = c.slower ? std::vector<double> { -20.0, -50.0, -90.0 } : std::vector<double> { 0.0, 20.0, 50.0, 90.0 };

    for (double ppm : drifts)
    {
        SCOPED_TRACE (::testing::Message() << ppm << " ppm");
        AudioLinkRig rig;
        auto* client = attachDrifting (rig, { ppm, 0, 1, c.hostBlock, c.blockSize, roundTrip });
        ASSERT_NE (client, nullptr);

        // The host starts somewhere within the device's period.
        phase = (phase * 7 + 3) % 15;
        rig.sim.run ((double) deviceBlock * phase / 15.0 / AudioLinkRig::sampleRate);

        DriftRecording recording (rig.sim, *client, c.hostBlock);
        recording.run (600.0);
        const auto s = recording.summarise();

        EXPECT_EQ (rig.driver().getSettings().extraLatency.get(), roundTrip - 32);
        expectStreamedWithoutRestarts (s);
        // Within a sample at equal clocks; drifting, the readers' fractional
        // positions and the device's clock over the round trip add up to 2.5.
        EXPECT_NEAR (s.meanError, 0.0, ppm == 0.0 ? 1.0 : 2.5);
    }
}

std::vector<BlockCase> allBlockCases()
{
    std::vector<BlockCase> cases;

    for (int hostBlock : { 64, 128, 256, 441, 512, 1024 })
        for (int blockSize : { 0, 256, 512, 1024 })
            for (bool slower : { false, true })
                cases.push_back ({ hostBlock, blockSize, slower });

    return cases;
}

INSTANTIATE_TEST_SUITE_P (Blocks, AudioDriftAcrossBlocks, ::testing::ValuesIn (allBlockCases()),
                          [] (const auto& info)
                          {
                              const auto& c = info.param;
                              return "host" + std::to_string (c.hostBlock) + "_blockSize" + std::to_string (c.blockSize)
                                     + (c.slower ? "_minus" : "_plus");
                          });
} // namespace

// Hosts that do not render the block size they prepared: any size up to it,
// each when its first sample is due; each period cut into pieces back to back;
// one period in ten cut in two. Against a device that follows the host's
// prepared block and one with a block of its own, at equal clocks and at
// +-90 ppm, for ten minutes each: no restart, each ring's own low above
// empty, and after the first minute the latency heard is the latency told.
namespace
{
using Rendering = CoSimulation::HostRendering;

struct RenderingCase
{
    Rendering rendering;
    int hostBlock, blockSize;
};

class AudioDriftUnderHostRenderings : public ::testing::TestWithParam<RenderingCase>
{
};

TEST_P (AudioDriftUnderHostRenderings, TenMinutesAtEachDriftStreamWithoutRestartsAndWithTheLatencyTold)
{
    const auto c = GetParam();
    const int deviceBlock = c.blockSize > 0 ? c.blockSize : c.hostBlock;
    const int roundTrip = deviceBlock > 512 ? 2600 : 1000; // longer than a device block
    int64_t seed = c.hostBlock + c.blockSize + (int) c.rendering;

    for (double ppm : { 0.0, 90.0, -90.0 })
    {
        SCOPED_TRACE (::testing::Message() << ppm << " ppm");
        AudioLinkRig rig;
        auto* client = attachDrifting (rig, { ppm, 0, 1, c.hostBlock, c.blockSize, roundTrip });
        ASSERT_NE (client, nullptr);
        rig.sim.run ((double) (seed % 15) * deviceBlock / 15.0 / AudioLinkRig::sampleRate);
        rig.sim.setHostRendering (c.rendering, ++seed);

        DriftRecording recording (rig.sim, *client, c.hostBlock);
        recording.run (600.0);
        const auto s = recording.summarise();
        expectStreamedWithoutRestarts (s);
        EXPECT_NEAR (s.meanLaterError, 0.0, 2.5);
        EXPECT_LE (s.worstLaterError, 4.0);
    }
}

std::vector<RenderingCase> allRenderingCases()
{
    std::vector<RenderingCase> cases;

    for (auto rendering : { Rendering::randomSizes, Rendering::cutPeriods, Rendering::occasionalCut })
        for (int hostBlock : { 512, 1024 })
            for (int blockSize : { 0, 256, 1024 })
                cases.push_back ({ rendering, hostBlock, blockSize });

    return cases;
}

std::string renderingCaseName (const ::testing::TestParamInfo<RenderingCase>& info)
{
    const auto& c = info.param;
    const std::vector<std::string> names { "prepared", "randomSizes", "cutPeriods", "occasionalCut" };
    return names[(size_t) c.rendering] + "_host" + std::to_string (c.hostBlock) + "_blockSize" + std::to_string (c.blockSize);
}

INSTANTIATE_TEST_SUITE_P (Renderings, AudioDriftUnderHostRenderings, ::testing::ValuesIn (allRenderingCases()),
                          renderingCaseName);
} // namespace
