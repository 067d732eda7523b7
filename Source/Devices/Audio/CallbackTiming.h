#pragma once

#include <atomic>
#include <cstdint>

// When one side's callbacks came and what they carried, on the host clock.
//
// The side's samples are followed as a steady stream that reaches the end of
// what the side has written at `reached`. A side that renders whatever sizes
// it likes, each when its first sample is due, or cuts a period into pieces
// back to back, keeps one steady stream, and so does one whose callbacks
// wander or whose clock runs apart from the host clock: how far a side is
// ahead of its stream or behind it (`leadAt`) is what drift control adds to
// the fills, so that what it measures is what the rings hold for the latency.
//
// A callback is late when its samples were due more than a quarter of the
// prepared block before it came; late callbacks are only counted, and while
// either side's latest callback was late its fills are kept out of drift
// control.
//
// record() runs on that side's audio thread; configure while the side is idle;
// the counts are read and reset on the message thread.
class CallbackTiming
{
public:
    static constexpr double followRate = 2.0e-4; // how fast the stream may fall back while no period places it, in ticks per tick

    // A side prepared for blocks of up to blockSize samples at sampleRate.
    void configure (int blockSize, double sampleRate) noexcept;

    // One callback of numSamples at the host clock's `now`.
    void record (int64_t now, int numSamples) noexcept;

    // Counts, the longest interval and the late flag to 0; when the last
    // callback came and where the stream stands stay.
    void resetCounts() noexcept;

    bool isLate() const noexcept { return late.load (std::memory_order_relaxed); }
    int getTotalLate() const noexcept { return totalLate.load (std::memory_order_relaxed); }
    int64_t getLongestIntervalTicks() const noexcept { return longestInterval.load (std::memory_order_relaxed); }
    int64_t getPeriodTicks() const noexcept { return nominal; }

    // When the latest callback came, or -1; for the other side's thread.
    int64_t getPrevious() const noexcept { return previous.load (std::memory_order_relaxed); }

    // Samples the side has written beyond its steady stream at `now`: 0 right
    // after a prepared-size callback on time, down to minus a block as its next
    // one comes due, what a smaller block fell short by less; never beyond a
    // block either way. Any thread.
    double leadAt (int64_t now) const noexcept;

    // What the steady stream has produced since the side last wrote: -leadAt. Any thread.
    int producedSince (int64_t now) const noexcept;

    // Whether its next callback is later than on time at `now`. Any thread.
    bool isOverdue (int64_t now) const noexcept;

private:
    int64_t nominal = 0, tolerance = 0;
    int block = 0;
    int period = 0; // samples since the current period began; its audio thread's
    double sampleTicks = 1.0;
    std::atomic<int64_t> previous { -1 }; // written by its audio thread only
    std::atomic<int64_t> reached { -1 };  // the same
    std::atomic<int> totalLate { 0 };
    std::atomic<int64_t> longestInterval { 0 };
    std::atomic<bool> late { false };
};
