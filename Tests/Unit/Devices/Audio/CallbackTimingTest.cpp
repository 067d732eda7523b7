#include "Devices/Audio/CallbackTiming.h"
#include "Utilities/HostClock.h"

#include <gtest/gtest.h>
#include <cmath>
#include <vector>

namespace
{
constexpr int prepared = 480;
constexpr double rate = 48000.0;

double ticksOf (double samples)
{
    return samples * (double) HostClock::ticksPerSecond() / rate;
}

// A side whose callbacks come at `sample` positions of a steady stream,
// with what each carries.
struct Side
{
    Side() { timing.configure (prepared, rate); }

    void call (double dueSample, int numSamples, double ppm = 0.0)
    {
        now = 1000 + (int64_t) std::llround (ticksOf (dueSample) / (1.0 + ppm * 1.0e-6));
        timing.record (now, numSamples);
    }

    double leadAfter (double samples) const { return timing.leadAt (now + (int64_t) std::llround (ticksOf (samples))); }

    CallbackTiming timing;
    int64_t now = 0;
};

// A side on time with prepared blocks: what it produced since, as if it
// worked continuously, never beyond its block; overdue past 1.25 periods.
TEST (CallbackTiming, PreparedBlocksOnTime)
{
    Side side;
    EXPECT_EQ (side.timing.producedSince (1000), 0); // no callback yet
    EXPECT_FALSE (side.timing.isOverdue (1000));

    side.call (0, prepared);
    side.call (prepared, prepared);
    EXPECT_FALSE (side.timing.isLate());
    EXPECT_EQ (side.timing.producedSince (side.now), 0);
    EXPECT_EQ (side.timing.producedSince (side.now + (int64_t) ticksOf (100)), 100);
    EXPECT_EQ (side.timing.producedSince (side.now + (int64_t) ticksOf (5000)), prepared);
    EXPECT_FALSE (side.timing.isOverdue (side.now + (int64_t) ticksOf (600)));
    EXPECT_TRUE (side.timing.isOverdue (side.now + (int64_t) ticksOf (601)));
}

// Whatever sizes the side renders, its lead follows what it really wrote
// against a steady stream: none of its callbacks is late, and right after
// each the lead is what it wrote beyond (or short of) its stream.
struct Rendering
{
    const char* name;
    std::vector<std::pair<double, int>> calls; // when due, in samples, and how many it carries
    double leadAtEnd;                          // right after the last call
    int late = 0;                              // calls that came late
};

TEST (CallbackTiming, AnySizesRenderedOnTimeKeepOneSteadyStream)
{
    const std::vector<Rendering> renderings {
        // Each block when its first sample is due: a small one falls short of a prepared one.
        { "sizes when due", { { 0, 480 }, { 480, 100 }, { 580, 7 }, { 587, 480 }, { 1067, 33 } }, 33 - 480 },
        // A period cut into pieces back to back: the pieces add up to the period.
        { "cut period", { { 0, 480 }, { 480, 100 }, { 480, 300 }, { 480, 80 }, { 960, 200 }, { 960, 200 } }, 400 - 480 },
        // Late by a third of a block, then catching up: late once, and the
        // lead says how far the side fell behind.
        { "late then catching up", { { 0, 480 }, { 480 + 160, 480 }, { 960, 480 } }, 0, 1 },
    };

    for (const auto& r : renderings)
    {
        SCOPED_TRACE (r.name);
        Side side;
        int late = 0;

        for (auto [due, size] : r.calls)
        {
            side.call (due, size);
            late += side.timing.isLate() ? 1 : 0;
        }

        EXPECT_EQ (late, r.late);
        EXPECT_NEAR (side.leadAfter (0), r.leadAtEnd, 0.2); // the stream may fall back a little
        // Until its next block is due, its stream goes on producing.
        EXPECT_NEAR (side.leadAfter (10), std::max (r.leadAtEnd - 10, (double) -prepared), 0.2);
    }
}

// A side whose clock runs apart from the host clock's is followed: its lead
// right after a prepared block stays within a sample of none.
TEST (CallbackTiming, ASideWhoseClockDriftsIsFollowed)
{
    for (double ppm : { -150.0, -90.0, 0.0, 90.0, 150.0 })
    {
        SCOPED_TRACE (ppm);
        Side side;
        double worst = 0.0;

        for (int i = 0; i < 100000; ++i)
        {
            side.call ((double) i * prepared, prepared, ppm);
            EXPECT_FALSE (side.timing.isLate());
            worst = std::min (worst, side.leadAfter (0));
        }

        EXPECT_GT (worst, -1.0);
    }
}
} // namespace
