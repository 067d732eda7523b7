#include "Devices/Audio/WetSpanTracker.h"

#include <gtest/gtest.h>

namespace
{
using Span = WetSpanTracker::WetSpan;

// One host block of 100 samples through the tracker: what the block's span says.
Span block (WetSpanTracker& t, int consumed = 100)
{
    t.startBlock (100);
    t.markRead (100, consumed);
    return t.getSpan();
}

// The pedal's audio starts where the host's first samples of the stream come
// back, in the middle of a block, and carries every sample after that.
TEST (WetSpanTracker, ThePedalsAudioBeginsWhereTheStreamsFirstSamplesReturn)
{
    WetSpanTracker t;
    t.startBlock (100);
    t.begin (250, 250, false);
    EXPECT_EQ (t.getSpan().latency, 250);
    EXPECT_FALSE (t.getSpan().carries());

    EXPECT_FALSE (block (t).carries());
    EXPECT_FALSE (block (t).carries());
    const auto third = block (t);
    EXPECT_EQ (third.realFrom, 50);
    EXPECT_EQ (third.realUntil, 100);
    EXPECT_EQ (block (t).realFrom, 0);
    EXPECT_EQ (block (t).latency, 250);
}

// A calibration spoils the stream once; the host fading out ends it; an end
// inside a block fades by that sample; a waiting restart asks for a fade only
// while the block carries the pedal's audio.
TEST (WetSpanTracker, SpoiledOrEndedStreamsCarryNothingAndAnEndFadesByItsSample)
{
    WetSpanTracker spoiled;
    spoiled.begin (0, 0, false);
    EXPECT_TRUE (spoiled.spoil());
    EXPECT_FALSE (spoiled.spoil());
    EXPECT_FALSE (block (spoiled).carries());

    WetSpanTracker ending;
    ending.begin (0, 0, false);
    ending.startBlock (100);
    ending.askToHandOver (true);
    EXPECT_FALSE (ending.getSpan().handOver);
    ending.markRead (60, 60);
    ending.askToHandOver (true);
    EXPECT_TRUE (ending.getSpan().handOver);
    ending.endAt (60);
    EXPECT_EQ (ending.getSpan().realFrom, 0);
    EXPECT_EQ (ending.getSpan().realUntil, 60);
    EXPECT_TRUE (ending.getSpan().ending);
    EXPECT_TRUE (ending.hasEnded());
    EXPECT_FALSE (block (ending).carries());

    WetSpanTracker refused;
    refused.begin (0, 0, false);
    ASSERT_TRUE (block (refused).carries());
    refused.endAt (0);
    EXPECT_FALSE (refused.getSpan().carries());
    refused.refuse();
    EXPECT_EQ (refused.getSpan().realUntil, 0);
}

// A device that stopped: the block that found the ring short ends the pedal's
// audio; what the ring held then is not the pedal's again, and its audio
// returns 4 samples (the reader's look-ahead) past it. Reads count across the
// ring's wrap.
TEST (WetSpanTracker, AfterADevicesGapThePedalsAudioReturnsPastWhatTheRingHeld)
{
    WetSpanTracker t;
    t.begin (0, 0, false);
    ASSERT_TRUE (block (t).carries());
    t.deviceStopped (130);
    EXPECT_TRUE (t.getSpan().ending);

    EXPECT_FALSE (block (t).carries()); // 30 of the 130 left
    const auto back = block (t, 100 - 32768);
    EXPECT_EQ (back.realFrom, 34);
    EXPECT_EQ (back.realUntil, 100);
    EXPECT_EQ (block (t).realFrom, 0);
}
} // namespace
