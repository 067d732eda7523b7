#pragma once

#include "Utilities/AtomicMinimum.h"

#include <atomic>

// Steers the reader of one of the bridge's rings so that the ring's low stays
// at its target. The audio threads offer the ring's fill right after each
// read, plus what its writer has produced since its last block, as if the
// writer wrote continuously: a fill that does not jump by a block whenever the
// two clocks' callbacks change their order, and that keeps the reader's next
// read ready while it stays a writer's block and the reader's look-ahead above
// empty. Once a second the message thread takes the lowest on-time fill and
// turns it into a ratio offset for the reader, never beyond +/-100 ppm.
// Proportional, with one gain for both rings of a bridge: a drift between the
// clocks drains one ring as fast as it fills the other, and equal and opposite
// corrections leave the sum of the fills, which is the latency, alone. A slow
// integral term learns the drift, so the fill returns to its target instead of
// settling off it in proportion.
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

    // Message thread, while the ring's reader and writer are idle.
    void configure (int target, int range, int limit, int gainRange) noexcept;

    // Audio threads: the ring's fill after a read; onTime when no callback was late.
    void offer (int fill, bool onTime) noexcept
    {
        lowest.offer (fill);

        if (onTime)
            lowestOnTime.offer (fill);
    }

    // Message thread, once a second: the lowest on-time fill since the last
    // take, or -1.
    int takeLow() noexcept;

    // Message thread: the ratio offset for this low (-1: the previous offset stays).
    float steer (int low) noexcept;

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

    // The lowest fill of every measurement, late ones too, at the last take, or -1.
    int getLastLowestFill() const noexcept { return lastLowest; }

private:
    AtomicMinimum lowest, lowestOnTime;
    int target = 1024, range = 192, limit = 0, gainRange = 192;
    float smoothed = 0.0f, offset = 0.0f, integral = 0.0f;
    bool seeded = false;
    int lastLowest = -1;
};
