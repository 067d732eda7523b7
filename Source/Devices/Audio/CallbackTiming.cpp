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
    lower = (int64_t) (0.75 * (double) nominal);
    upper = (int64_t) (1.25 * (double) nominal);
}

int CallbackTiming::producedSince (int64_t now) const noexcept
{
    const auto last = getPrevious();

    if (last < 0 || now <= last)
        return 0;

    return (int) std::lround (std::min ((double) block, (double) (now - last) / sampleTicks));
}

bool CallbackTiming::isOverdue (int64_t now) const noexcept
{
    const auto last = getPrevious();
    return last >= 0 && now - last > upper;
}

void CallbackTiming::record (int64_t now) noexcept
{
    const auto last = previous.exchange (now, std::memory_order_relaxed);

    if (last < 0)
        return;

    const auto interval = now - last;
    raise (longestInterval, interval);

    if (interval >= lower && interval <= upper)
    {
        late.store (false, std::memory_order_relaxed);
        return;
    }

    totalLate.fetch_add (1, std::memory_order_relaxed);
    late.store (true, std::memory_order_relaxed);
}

void CallbackTiming::resetCounts() noexcept
{
    totalLate.store (0, std::memory_order_relaxed);
    longestInterval.store (0, std::memory_order_relaxed);
    late.store (false, std::memory_order_relaxed);
}
