#include "Devices/Audio/CallbackTiming.h"

#include "Utilities/HostClock.h"

#include <algorithm>
#include <cmath>

namespace
{
template <typename Value>
void raise (std::atomic<Value>& maximum, Value value) noexcept
{
    if (value > maximum.load (std::memory_order_relaxed))
        maximum.store (value, std::memory_order_relaxed);
}
} // namespace

void CallbackTiming::configure (int blockSize, double sampleRate) noexcept
{
    block = blockSize;
    sampleTicks = sampleRate > 0.0 ? (double) HostClock::ticksPerSecond() / sampleRate : 1.0;
    nominal = HostClock::ticksFor (blockSize, sampleRate);
    tolerance = nominal / 4;
    // Another rate or block: the stream is followed afresh from the next callback.
    reached.store (-1, std::memory_order_relaxed);
}

double CallbackTiming::leadAt (int64_t now) const noexcept
{
    const auto r = reached.load (std::memory_order_relaxed);

    if (r < 0)
        return 0.0;

    return std::clamp ((double) (r - now) / sampleTicks, (double) -block, (double) block);
}

int CallbackTiming::producedSince (int64_t now) const noexcept
{
    return std::max (0, (int) std::lround (-leadAt (now)));
}

bool CallbackTiming::isOverdue (int64_t now) const noexcept
{
    const auto r = reached.load (std::memory_order_relaxed);
    return r >= 0 && now - r > nominal + tolerance;
}

void CallbackTiming::record (int64_t now, int numSamples) noexcept
{
    const auto last = previous.exchange (now, std::memory_order_relaxed);
    const auto r = reached.load (std::memory_order_relaxed);

    if (last < 0 || r < 0)
    {
        period = numSamples;
        reached.store (now + (int64_t) std::llround ((numSamples - block) * sampleTicks), std::memory_order_relaxed);
        return;
    }

    const auto interval = now - last;
    raise (longestInterval, interval);

    // The stream needed this callback's samples from `r` on: due then, and
    // late once a prepared block and the tolerance have passed since.
    const bool onTime = now - r <= nominal + tolerance;
    late.store (! onTime, std::memory_order_relaxed);

    if (! onTime)
        totalLate.fetch_add (1, std::memory_order_relaxed);

    // A callback more than a sample ahead of its stream goes on from the one
    // before, as the pieces of a period cut up do; the others begin a period.
    // No period comes before its first sample is due, and a period carries a
    // prepared block: that places the stream, as early as every period
    // allows. In between it falls back by no more than followRate.
    const bool goesOn = now - r < nominal - (int64_t) sampleTicks;
    period = goesOn ? period + numSamples : numSamples;
    const auto placed = (double) now + (period - block) * sampleTicks;
    const auto carried = (double) r + numSamples * sampleTicks + followRate * (double) interval;
    reached.store ((int64_t) std::llround (std::min (placed, carried)), std::memory_order_relaxed);
}

void CallbackTiming::resetCounts() noexcept
{
    totalLate.store (0, std::memory_order_relaxed);
    longestInterval.store (0, std::memory_order_relaxed);
    late.store (false, std::memory_order_relaxed);
}
