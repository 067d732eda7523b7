#include "Devices/Audio/CallbackTiming.h"

#include "Utilities/HostClock.h"

#include <algorithm>
#include <cmath>

void CallbackTiming::configure (int blockSize, double sampleRate) noexcept
{
    block = std::max (1, blockSize);
    const auto ticksPerSecond = (double) HostClock::ticksPerSecond();
    sampleTicks = sampleRate > 0.0 ? ticksPerSecond / sampleRate : 1.0;
    nominal = HostClock::ticksFor (blockSize, sampleRate);
    tolerance = nominal / 4;
    gap = nominal + (int64_t) (gapMs / 1000.0 * ticksPerSecond);
    leadLimit = (double) block + (double) gap / sampleTicks;
    loop.configure (sampleTicks, block, ticksPerSecond, bandwidthHz);
    restart();
}

void CallbackTiming::restart() noexcept
{
    following = false;
    lateRun = 0;
    reached.store (-1, std::memory_order_relaxed);
    totalLate.store (0, std::memory_order_relaxed);
    longestInterval.store (0, std::memory_order_relaxed);
    late.store (false, std::memory_order_relaxed);
}

double CallbackTiming::leadAt (int64_t now) const noexcept
{
    const auto r = reached.load (std::memory_order_relaxed);

    if (r < 0)
        return 0.0;

    return std::clamp ((double) (r - now) / sampleTicks, -leadLimit, leadLimit);
}

bool CallbackTiming::isOverdue (int64_t now) const noexcept
{
    const auto last = previous.load (std::memory_order_relaxed);
    return last >= 0 && now - last > nominal + tolerance;
}

void CallbackTiming::startStream (int64_t now, int64_t due) noexcept
{
    loop.start (now, due);
    following = true;
    lateRun = 0;
    streamStarts.fetch_add (1, std::memory_order_relaxed);
}

void CallbackTiming::record (int64_t now, int numSamples) noexcept
{
    const auto last = previous.exchange (now, std::memory_order_relaxed);

    if (last >= 0 && now - last > longestInterval.load (std::memory_order_relaxed))
        longestInterval.store (now - last, std::memory_order_relaxed);

    // This callback is due when the stream has produced a prepared block
    // beyond what the side wrote before it.
    const auto before = written;
    const auto due = before + block;
    written += std::max (0, numSamples);
    bool isLateNow = false;

    if (! following)
    {
        startStream (now, due);
        lastPlaced = before;
    }
    else
    {
        const double lateness = (double) now - loop.dueTime (due);
        isLateNow = lateness > (double) tolerance;
        lateRun = isLateNow ? lateRun + 1 : 0;

        // A prepared block's worth after the last one that did, a callback
        // places the stream; the pieces of a period cut up come before.
        if (before - lastPlaced >= block)
        {
            lastPlaced = before;

            if (lateness > (double) gap || lateRun >= lateRunForGap)
                startStream (now, due);
            else
                loop.observe (now, due);
        }
    }

    late.store (isLateNow, std::memory_order_relaxed);

    if (isLateNow)
        totalLate.fetch_add (1, std::memory_order_relaxed);

    reached.store ((int64_t) std::llround (loop.dueTime (written)), std::memory_order_relaxed);
}
