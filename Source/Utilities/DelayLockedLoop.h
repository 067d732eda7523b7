#pragma once

#include <cstdint>

// Follows when a steady stream of samples reaches each count, from the times
// at which it was seen to reach some of them: a second-order delay-locked loop
// (as audio servers filter their callbacks' times), so that a clock's rate and
// phase are followed while the random lateness of each observation is
// averaged out. Its phase starts as the mean of what was observed, until the
// loop's own gain is the smaller; the rate it learnt stays across a new start.
//
// Times are in ticks of some clock, counts in samples. Not thread-safe.
class DelayLockedLoop
{
public:
    // A stream of about ticksPerSample, observed about every `spacing`
    // samples, followed with a loop bandwidth of bandwidthHz. The rate it
    // learnt is forgotten.
    void configure (double ticksPerSample, int spacing, double ticksPerSecond, double bandwidthHz) noexcept;

    // Afresh: the stream reaches `count` at `time`.
    void start (int64_t time, int64_t count) noexcept;

    // When the stream reaches `count`, in ticks; 0 before a start.
    double dueTime (int64_t count) const noexcept;

    // The stream was seen to reach `count` at `time`: follows it.
    void observe (int64_t time, int64_t count) noexcept;

private:
    double nominal = 1.0, rate = 1.0;
    double phaseGain = 1.0, rateGain = 0.0; // per observation
    int spacing = 1;
    int64_t origin = 0, anchorCount = 0;    // the stream reaches anchorCount at origin + anchor
    double anchor = 0.0;
    int64_t observations = 0;
};
