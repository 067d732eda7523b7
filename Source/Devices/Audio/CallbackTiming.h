#pragma once

#include <atomic>
#include <cstdint>

// When one side's callbacks came, on the host clock: a callback whose interval
// from the previous one leaves 0.75 to 1.25 periods is late (or early, after a
// late one). Late callbacks are only counted; while either side's latest
// callback was late, its fills are kept out of drift control.
//
// record() runs on that side's audio thread; the period is set while the side
// is idle; the counts are read and reset on the message thread.
class CallbackTiming
{
public:
    // A side that calls back with blocks of blockSize samples at sampleRate.
    void configure (int blockSize, double sampleRate) noexcept;

    // One callback at the host clock's `now`.
    void record (int64_t now) noexcept;

    // Counts, the longest interval and the late flag to 0; the previous callback's time stays.
    void resetCounts() noexcept;

    bool isLate() const noexcept { return late.load (std::memory_order_relaxed); }
    int getTotalLate() const noexcept { return totalLate.load (std::memory_order_relaxed); }
    int64_t getLongestIntervalTicks() const noexcept { return longestInterval.load (std::memory_order_relaxed); }
    int64_t getPeriodTicks() const noexcept { return nominal; }
    // The longest interval that is still on time.
    int64_t getUpperTicks() const noexcept { return upper; }

    // When the latest callback came, or -1; for the other side's thread.
    int64_t getPrevious() const noexcept { return previous.load (std::memory_order_relaxed); }

    // The samples this side has produced since its latest callback at `now`,
    // as if it worked continuously; at most a block. Any thread.
    int producedSince (int64_t now) const noexcept;

    // Whether its next callback is later than on time at `now`. Any thread.
    bool isOverdue (int64_t now) const noexcept;

private:
    int64_t nominal = 0, lower = 0, upper = 0;
    int block = 0;
    double sampleTicks = 1.0;
    std::atomic<int64_t> previous { -1 }; // written by its audio thread only
    std::atomic<int> totalLate { 0 };
    std::atomic<int64_t> longestInterval { 0 };
    std::atomic<bool> late { false };
};
