#include "Devices/Audio/CallbackTiming.h"

#include <algorithm>

namespace
{
template <typename Value>
void raise (std::atomic<Value>& maximum, Value value) noexcept
{
    if (value > maximum.load (std::memory_order_relaxed))
        maximum.store (value, std::memory_order_relaxed);
}
} // namespace

void CallbackTiming::configure (int64_t periodTicks) noexcept
{
    nominal = periodTicks;
    lower = (int64_t) (0.75 * (double) periodTicks);
    upper = (int64_t) (1.25 * (double) periodTicks);
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
