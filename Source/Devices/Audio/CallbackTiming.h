#pragma once

#include "Utilities/DelayLockedLoop.h"

#include <atomic>
#include <cstdint>

// When one side's callbacks came and what they carried, on the host clock.
//
// The side's samples are followed as a steady stream: the time at which the
// stream reaches each count of samples is filtered from the callbacks' times
// by a delay-locked loop (DelayLockedLoop), so that the side's clock, its rate
// and phase, is followed and the random lateness of single callbacks is not.
// How far the side is ahead of its stream or behind it (`leadAt`) is what drift
// control adds to the fills, so that what it measures is what the rings hold
// for the latency, whatever block sizes the side renders and however late its
// callbacks come.
//
// A callback is due when its stream has produced a prepared block beyond what
// the side had written before it: a side that renders any sizes, each when its
// first sample is due, is on time, and so are the pieces of a period it cuts
// up, which come early. The callbacks that place the stream are those that
// begin a prepared block's worth of samples after the last one that did.
//
// A callback is late when it came more than a quarter of the prepared block
// after it was due; late callbacks are only counted, and while either side's
// latest callback was late its fills are kept out of drift control. One that
// comes more than a period and gapMs after it was due, or a run of
// lateRunForGap late ones, ends the stream: a host that paused, a device that
// stalled. The stream starts afresh there, as it does after restart().
//
// record() runs on that side's audio thread; configure and restart while the
// side is idle; the counts are read on the message thread.
class CallbackTiming
{
public:
    static constexpr double bandwidthHz = 0.05;
    static constexpr double gapMs = 10.0;
    static constexpr int lateRunForGap = 16;

    // A side prepared for blocks of up to blockSize samples at sampleRate; its
    // stream, the rate learnt and the counts are forgotten.
    void configure (int blockSize, double sampleRate) noexcept;

    // The stream starts afresh from the next callback; the counts go to 0.
    // The rate learnt stays: the side's clock is the same.
    void restart() noexcept;

    // One callback of numSamples at the host clock's `now`.
    void record (int64_t now, int numSamples) noexcept;

    bool isLate() const noexcept { return late.load (std::memory_order_relaxed); }
    int getTotalLate() const noexcept { return totalLate.load (std::memory_order_relaxed); }
    int getStreamStarts() const noexcept { return streamStarts.load (std::memory_order_relaxed); }
    int64_t getLongestIntervalTicks() const noexcept { return longestInterval.load (std::memory_order_relaxed); }
    int64_t getPeriodTicks() const noexcept { return nominal; }

    // When the latest callback came, or -1; for the other side's thread.
    int64_t getPrevious() const noexcept { return previous.load (std::memory_order_relaxed); }

    // Samples the side has written beyond its steady stream at `now`: 0 right
    // after a prepared-size callback on time, down to minus a block as its
    // next one comes due, and further while that one is late. Any thread.
    double leadAt (int64_t now) const noexcept;

    // Whether its next callback is overdue at `now`: none came for more than
    // a period and the lateness a callback is allowed. Any thread.
    bool isOverdue (int64_t now) const noexcept;

private:
    void startStream (int64_t now, int64_t due) noexcept;

    int64_t nominal = 0, tolerance = 0, gap = 0;
    int block = 0;
    double sampleTicks = 1.0, leadLimit = 0.0;

    // Its audio thread's, while the side runs.
    DelayLockedLoop loop;
    bool following = false;
    int64_t written = 0;      // samples the side has written
    int64_t lastPlaced = 0;   // the count before the callback that last placed the stream
    int lateRun = 0;

    std::atomic<int64_t> previous { -1 }; // written by its audio thread only
    std::atomic<int64_t> reached { -1 };  // when the stream reaches `written`; the same
    std::atomic<int> totalLate { 0 }, streamStarts { 0 };
    std::atomic<int64_t> longestInterval { 0 };
    std::atomic<bool> late { false };
};
