#include "Devices/Audio/CallbackTiming.h"
#include "Utilities/HostClock.h"

#include <gtest/gtest.h>
#include <algorithm>
#include <cmath>
#include <random>
#include <vector>

// One side's callback timing on a clock of the test's own: callbacks come
// when the test says, carrying what it says.
namespace
{
constexpr int prepared = 480;
constexpr double rate = 48000.0;

double ticksOf (double samples, double ppm = 0.0)
{
    return samples * (double) HostClock::ticksPerSecond() / rate / (1.0 + ppm * 1.0e-6);
}

// A side whose stream runs at `ppm` against the host clock; a callback whose
// first sample is due at stream position `dueSample` comes `lateSamples` late.
struct Side
{
    explicit Side (double clockPpm = 0.0) : ppm (clockPpm) { timing.configure (prepared, rate); }

    void call (double dueSample, int numSamples, double lateSamples = 0.0)
    {
        now = start + (int64_t) std::llround (ticksOf (dueSample + lateSamples, ppm));
        timing.record (now, numSamples);
        written += numSamples;
    }

    // What the side has written beyond its true, steady stream, which is a
    // prepared block ahead of the first sample of a callback due now.
    double trueLeadAt (int64_t t) const { return (double) written - ((double) (t - start) / ticksOf (1.0, ppm) + prepared); }

    double leadAfter (double samples) const { return timing.leadAt (now + (int64_t) std::llround (ticksOf (samples, ppm))); }

    CallbackTiming timing;
    double ppm;
    int64_t start = 1'000'000, now = 0;
    int64_t written = 0;
};

// Random lateness of up to `lateness` samples, the same for every run.
struct Lateness
{
    explicit Lateness (double samples, unsigned seed = 7) : most (samples), random (seed) {}
    double next() { return most > 0.0 ? std::uniform_real_distribution<double> (0.0, most) (random) : 0.0; }

    double most;
    std::mt19937 random;
};

TEST (CallbackTiming, PreparedBlocksOnTimeLeadByNothingAndFallBehindByABlockUntilTheNext)
{
    Side side;
    EXPECT_EQ (side.timing.leadAt (side.start), 0.0); // no callback yet
    EXPECT_FALSE (side.timing.isOverdue (side.start));

    for (int i = 0; i < 100; ++i)
        side.call ((double) i * prepared, prepared);

    EXPECT_FALSE (side.timing.isLate());
    EXPECT_NEAR (side.leadAfter (0), 0.0, 1.0e-3);
    EXPECT_NEAR (side.leadAfter (100), -100.0, 1.0e-3);
    EXPECT_NEAR (side.leadAfter (prepared), -prepared, 1.0e-3);

    // Overdue once more than a period and a quarter has passed since the last callback.
    EXPECT_FALSE (side.timing.isOverdue (side.now + (int64_t) ticksOf (600)));
    EXPECT_TRUE (side.timing.isOverdue (side.now + (int64_t) ticksOf (601)));
}

// Whatever sizes the side renders, each when its first sample is due, or a
// period cut into pieces back to back: none is late, and right after each
// callback the lead is what it wrote beyond (or short of) its stream.
TEST (CallbackTiming, AnySizesRenderedOnTimeKeepOneSteadyStream)
{
    struct Rendering
    {
        const char* name;
        std::vector<std::pair<double, int>> calls; // when due, in samples, and how many it carries
        double leadAtEnd;                          // right after the last call
    };

    const std::vector<Rendering> renderings {
        { "sizes when due", { { 0, 480 }, { 480, 100 }, { 580, 7 }, { 587, 480 }, { 1067, 33 } }, 33 - 480 },
        { "cut period", { { 0, 480 }, { 480, 100 }, { 480, 300 }, { 480, 80 }, { 960, 200 }, { 960, 200 } }, 400 - 480 },
    };

    for (const auto& r : renderings)
    {
        SCOPED_TRACE (r.name);
        Side side;
        int late = 0;

        // A while of prepared blocks first, so that the stream is followed.
        for (int i = 0; i < 50; ++i)
            side.call ((double) (i - 50) * prepared, prepared);

        for (auto [due, size] : r.calls)
        {
            side.call (due, size);
            late += side.timing.isLate() ? 1 : 0;
        }

        EXPECT_EQ (late, 0);
        EXPECT_NEAR (side.leadAfter (0), r.leadAtEnd, 0.01);
        EXPECT_NEAR (side.leadAfter (10), r.leadAtEnd - 10, 0.01);
    }
}

// Callbacks late at random are filtered, not followed: however late each one
// comes, what the timing says the side wrote beyond its stream moves with the
// side's true lead, give or take a tenth of the lateness, under prepared
// blocks, sizes when due and cut periods, on clocks off by up to 150 ppm.
TEST (CallbackTiming, RandomLatenessIsFilteredUnderAnyRenderingAndClock)
{
    enum class Rendering { prepared, sizesWhenDue, cutPeriods };

    struct Case
    {
        double lateMs, ppm;
        Rendering rendering;
    };

    const Case cases[] = {
        { 0.1, 0.0, Rendering::prepared },      { 1.0, 0.0, Rendering::prepared },       { 5.0, 0.0, Rendering::prepared },
        { 1.0, 150.0, Rendering::prepared },    { 1.0, -150.0, Rendering::prepared },    { 1.0, 90.0, Rendering::sizesWhenDue },
        { 1.0, -90.0, Rendering::cutPeriods },  { 5.0, 150.0, Rendering::cutPeriods },
    };

    for (const auto& c : cases)
    {
        SCOPED_TRACE (::testing::Message() << c.lateMs << " ms late at most, " << c.ppm << " ppm, rendering " << (int) c.rendering);
        Side side (c.ppm);
        Lateness lateness (c.lateMs / 1000.0 * rate);
        std::mt19937 sizes (3);
        double lowest = 1.0e9, highest = -1.0e9, due = 0.0;
        int late = 0;

        // Two minutes; the error is looked at over the second.
        while (due < 120.0 * rate)
        {
            const double late_ = lateness.next();
            int calls = 0;

            for (int left = prepared; left > 0; ++calls)
            {
                const int size = c.rendering == Rendering::prepared ? prepared
                                                                    : std::min (left, 1 + (int) (sizes() % (unsigned) prepared));
                // Sizes when due come each at its own time; a cut period's pieces all at the period's.
                side.call (c.rendering == Rendering::cutPeriods ? due : due + (prepared - left), size, late_);
                late += side.timing.isLate() ? 1 : 0;

                if (due >= 60.0 * rate)
                {
                    const double error = side.leadAfter (0) - side.trueLeadAt (side.now);
                    lowest = std::min (lowest, error);
                    highest = std::max (highest, error);
                }

                left -= size;
            }

            due += prepared;
        }

        // The callbacks' lateness spreads over c.lateMs; the lead's error a tenth of it.
        EXPECT_LE (highest - lowest, 0.1 * c.lateMs / 1000.0 * rate + 0.5);
        EXPECT_EQ (side.timing.getStreamStarts(), 1);

        // Lateness within a quarter of the block of the mean is no lateness.
        if (c.lateMs <= 1.0)
        {
            EXPECT_EQ (late, 0);
        }
    }
}

// A side that stops calling for a while, a host that pauses or a device that
// stalls, starts its stream afresh at its first callback after: right after
// the next prepared block it leads by nothing again. Late by less than the
// gap allowed (a period and 10 ms), a callback is only late.
TEST (CallbackTiming, AGapStartsTheStreamAfreshAndALateCallbackDoesNot)
{
    struct Case
    {
        double gapMs;
        bool startsAfresh;
    };

    for (const auto& c : { Case { 5.0, false }, Case { 19.0, false }, Case { 50.0, true }, Case { 500.0, true }, Case { 10000.0, true } })
    {
        SCOPED_TRACE (::testing::Message() << c.gapMs << " ms");
        Side side (-150.0);
        double due = 0.0;

        for (int i = 0; i < 3000; ++i, due += prepared)
            side.call (due, prepared);

        // The gap: the side's samples go on where it stopped, later.
        const double gap = c.gapMs / 1000.0 * rate;
        side.start += (int64_t) std::llround (ticksOf (gap, side.ppm));
        side.call (due, prepared);
        EXPECT_TRUE (side.timing.isLate());
        EXPECT_EQ (side.timing.getStreamStarts(), c.startsAfresh ? 2 : 1);

        if (c.startsAfresh)
        {
            EXPECT_NEAR (side.leadAfter (0), 0.0, 0.01);
        }

        for (int i = 0; i < 4; ++i)
            side.call (due += prepared, prepared);

        // A few periods on, the stream is where the side is: on time, and a
        // lateness shorter than a gap is left to the loop, which follows it
        // slowly, as it does every random lateness.
        EXPECT_EQ (side.timing.isLate(), ! c.startsAfresh && gap > prepared / 4.0);

        if (c.startsAfresh)
        {
            EXPECT_NEAR (side.leadAfter (0), 0.0, 0.01);
        }
    }
}

// A restart starts the stream afresh from the next callback, wherever it
// comes, and keeps the rate the side's clock was found to run at.
TEST (CallbackTiming, ARestartStartsAfreshAndKeepsTheRateItLearnt)
{
    for (double ppm : { -150.0, 150.0 })
    {
        SCOPED_TRACE (ppm);
        Side side (ppm);
        double due = 0.0;

        for (int i = 0; i < 30000; ++i, due += prepared)
            side.call (due, prepared);

        side.timing.restart();
        EXPECT_EQ (side.timing.leadAt (side.now), 0.0); // nothing followed until the next callback

        // The next callback, somewhere else in the period, is the stream's new start.
        side.start += (int64_t) ticksOf (123);
        double worst = 0.0;

        for (int i = 0; i < 1000; ++i, due += prepared)
        {
            side.call (due, prepared);
            worst = std::max (worst, std::abs (side.leadAfter (prepared / 2) + prepared / 2));
        }

        EXPECT_EQ (side.timing.getStreamStarts(), 2);
        EXPECT_LT (worst, 0.5);
    }
}
} // namespace
