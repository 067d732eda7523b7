#include "Devices/Audio/RingTargets.h"

#include <gtest/gtest.h>

namespace
{
TEST (RingTargets, FollowTheBlockSizesAndBufferSettingsAndAreClampedToTheRing)
{
    struct Case
    {
        int host, device, inAdjust, outAdjust;
        int to, from, toRange, fromRange, toLimit, fromLimit;
        int toSetPoint, fromSetPoint, margin;
        bool clamped, streamable;
    };

    const Case cases[] = {
        // The defaults at 512 samples. The set points split both targets so
        // that each ring keeps the same margin above its writer's block and
        // its reader's 4 samples of look-ahead.
        { 512, 0, 0, 1, 1536, 1024, 768, 512, 12288, 8192, 1280, 1280, 764, false, true },
        { 512, 512, 0, 1, 1536, 1024, 768, 512, 12288, 8192, 1280, 1280, 764, false, true },
        // A device block apart from the host's: the larger one sizes the step.
        { 64, 256, 2, 1, 576, 832, 288, 416, 4608, 6656, 608, 800, 540, false, true },
        { 1024, 2048, 2, 2, 7168, 7168, 3584, 3584, 32767, 32767, 6656, 7680, 5628, false, true },
        // Limits the ring could never reach are brought within it.
        { 2048, 2048, 2, 2, 8192, 8192, 4096, 4096, 32767, 32767, 8192, 8192, 6140, false, true },
        // Targets that leave no room for a block on top are clamped, with the
        // latency; so are the set points, which then keep unequal margins.
        { 8192, 4096, 2, 2, 16375, 16375, 8187, 8187, 32767, 32767, 16375, 16375, 8179, true, true },
        // Blocks that cannot stream through the rings at all.
        { 8192, 8192, 0, 0, 16375, 16375, 8187, 8187, 32767, 32767, 16375, 16375, 8179, true, false },
        // No host block, no targets.
        { 0, 512, 0, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, false, false },
    };

    for (const auto& c : cases)
    {
        SCOPED_TRACE (testing::Message() << c.host << " / " << c.device);
        const auto t = RingTargets::of (c.host, c.device, c.inAdjust, c.outAdjust);
        EXPECT_EQ (t.toDevice, c.to);
        EXPECT_EQ (t.fromDevice, c.from);
        EXPECT_EQ (t.toRange, c.toRange);
        EXPECT_EQ (t.fromRange, c.fromRange);
        EXPECT_EQ (t.toLimit, c.toLimit);
        EXPECT_EQ (t.fromLimit, c.fromLimit);
        EXPECT_EQ (t.toSetPoint, c.toSetPoint);
        EXPECT_EQ (t.fromSetPoint, c.fromSetPoint);
        EXPECT_EQ (t.margin, c.margin);
        EXPECT_EQ (t.clamped, c.clamped);
        EXPECT_EQ (t.streamable, c.streamable);
        EXPECT_EQ (t.latency (300), c.to + c.from + 300 + 56);
    }
}

TEST (RingTargets, TheEstimateIsTheFigureABridgeWithTheseSettingsReports)
{
    PedalAudioBridge::Parameters p;
    p.hostBlock = 256;
    p.deviceBlock = 0;
    p.inAdjust = 1;
    p.outAdjust = 2;
    p.extraLatency = 120;
    EXPECT_EQ (RingTargets::estimateLatency (p), (2 * 256 + 512) + (256 + 512) + 120 + 56);

    p.hostBlock = 0;
    EXPECT_EQ (RingTargets::estimateLatency (p), 0);
}
} // namespace
