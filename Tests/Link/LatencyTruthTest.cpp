#include "Support/AudioLinkRig.h"

#include <gtest/gtest.h>

// The latency the bridge reports is the round trip the host's audio really
// takes: an impulse into the host's block comes back out exactly that many
// samples later, at equal clocks (both rings' ratios 1), for every block size
// setting, host block and buffer setting. (The processor adds nothing to the
// wet path: its own latency is this figure.)
//
// Nothing restarts: not even the small output buffer, whose to-device ring
// would leave its reader no samples to look ahead when a device callback falls
// right after a host block (the host's block 512 with a device block 64 or 256).
namespace
{
TEST (LatencyTruth, AnImpulseComesBackExactlyTheReportedLatencyLaterForEverySetting)
{
    constexpr int roundTrip = 2600; // at least the largest device block
    constexpr int period = 24000;   // impulses further apart than the largest latency

    for (int hostBlock : { 64, 256, 512, 1024 })
    {
        AudioLinkRig rig;
        rig.pedalAudio().setRoundTrip (roundTrip);
        auto& settings = rig.driver().getSettings();
        settings.extraLatency.setValue (roundTrip - 32, nullptr); // what a calibration stores

        auto* client = rig.attach (Mode::audio, hostBlock);
        auto& bridge = client->getAudioSource();

        std::unique_ptr<ImpulseProbe> probe;
        rig.streamHost ({ client }, hostBlock, [&] (auto& block, auto first) { probe->fill (block, first); },
                        [&] (auto& block, auto first) { probe->take (block, first); });

        for (int blockSize : BlockSizeConstrainer::allowedValues())
        {
            for (int inAdjust : { 0, 1, 2 })
            {
                for (int outAdjust : { 0, 1, 2 })
                {
                    SCOPED_TRACE (testing::Message() << "host " << hostBlock << ", block size " << blockSize
                                                     << ", in " << inAdjust << ", out " << outAdjust);
                    settings.blockSize.setValue (blockSize, nullptr);
                    settings.inAdjust.setValue (inAdjust, nullptr);
                    settings.outAdjust.setValue (outAdjust, nullptr);
                    probe = std::make_unique<ImpulseProbe> (period);
                    const int restarts = bridge.getDiagnostics().restarts;

                    ASSERT_TRUE (rig.runUntilStreaming (client));
                    const auto started = rig.sim.getHostSamples();
                    ASSERT_TRUE (rig.sim.runUntil ([&] { return ! probe->arrivals.empty() && probe->arrivals.back().sentAt > started; }, 2.0));

                    EXPECT_EQ (probe->arrivals.back().delay, (double) bridge.getLatencySamples());
                    EXPECT_EQ (bridge.getToDeviceRatio(), 1.0);
                    EXPECT_EQ (bridge.getFromDeviceRatio(), 1.0);
                    EXPECT_EQ (bridge.getDeviceBlockInUse(), blockSize > 0 ? blockSize : hostBlock);
                    EXPECT_EQ (bridge.getDiagnostics().restarts, restarts);
                }
            }
        }
    }
}
} // namespace
