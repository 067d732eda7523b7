#pragma once

#include "Utilities/AtomicMinimum.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <limits>

// Steers the reader of one of the bridge's rings so that the ring's low stays
// at its target. The audio threads offer the ring's fill right after each
// read, to the fraction of a sample its reader has consumed, plus what its
// writer has produced since its last block, as if the writer wrote
// continuously: a fill that does not jump by a block whenever the two clocks'
// callbacks change their order, and that keeps the reader's next read ready
// while it stays a writer's block and the reader's look-ahead above empty.
// Once a second the message thread takes the lowest on-time fill and turns it
// into an error, smoothed, and the error into a ratio offset for the reader,
// never beyond +/-100 ppm: proportional, with a slow integral term that learns
// the drift, so the fill returns to its target instead of settling off it in
// proportion.
//
// Where both rings carry the pedal's audio, their sum is the latency, and
// only how it splits between them is steered (BridgeDriftControl): one offset
// from both rings' errors speeds one reader up as much as it slows the other.
// Where one ring alone carries it (a pedalboard leg), that ring is steered by
// its own error.
//
// What it holds a ring at is the bridge's set point for it (RingTargets): both
// set points add up to both targets, and the bridge primes its rings so that
// this measure starts there (AudioIODeviceSource::prime).
class RingDriftController
{
public:
    static constexpr float maximumOffset = 1.0e-4f;
    static constexpr float smoothingWeight = 0.3f;
    static constexpr float integralGain = 0.02f;
    static constexpr int stepsPerSample = 256; // the resolution of the fills it takes

    // Message thread, while the ring's reader and writer are idle.
    void configure (int target, int range, int limit, int gainRange) noexcept;

    // Audio threads: the ring's fill after a read, in samples and their
    // fractions; onTime when no callback was late.
    void offer (double fill, bool onTime) noexcept
    {
        const int steps = (int) std::clamp (std::floor (fill * stepsPerSample + 0.5), 0.0, (double) maximumSteps);
        lowest.offer (steps);

        if (onTime)
            lowestOnTime.offer (steps);
    }

    // Message thread, once a second: the lowest on-time fill since the last
    // take, or -1.
    double takeLow() noexcept;

    // Message thread: how far this low, smoothed, is below the fill the ring
    // is held at, in gain ranges, within +/-1 (below 0: the previous error stays).
    float errorFor (double low) noexcept;

    // Message thread: the ratio offset for this error, proportional and
    // integral, within +/-maximumOffset.
    float steerBy (float error) noexcept;

    // Message thread: the ratio offset for this low alone (below 0: the previous offset stays).
    float steer (double low) noexcept;

    // A restart: lows forgotten, no offset. The integral term, which has
    // learnt the drift of the clocks, stays.
    void restart() noexcept;

    // The clocks changed (another rate): the learnt drift goes too.
    void forgetDrift() noexcept { integral = 0.0f; }

    // Message thread: the fill to hold the ring at from now on.
    void holdAt (int fill) noexcept { target = fill; }

    int getTarget() const noexcept { return target; }
    int getRange() const noexcept { return range; }
    float getOffset() const noexcept { return offset; }

    // The lowest fill of every measurement, late ones too, at the last take,
    // to the nearest sample, or -1.
    int getLastLowestFill() const noexcept { return lastLowest < 0 ? -1 : (lastLowest + stepsPerSample / 2) / stepsPerSample; }

private:
    static constexpr int maximumSteps = std::numeric_limits<int>::max() / 2;

    AtomicMinimum lowest, lowestOnTime; // in steps
    int target = 1024, range = 192, limit = 0, gainRange = 192;
    float smoothed = 0.0f, error = 0.0f, offset = 0.0f, integral = 0.0f;
    bool seeded = false;
    int lastLowest = -1; // in steps
};
