#pragma once

#include <atomic>
#include <cstdint>

// The lowest value offered since the last take, lock-free: audio threads offer
// ring fills, the message thread takes the minimum once per period.
class AtomicMinimum
{
public:
    static constexpr int empty = -1;

    // Lowers the minimum to `value`. Only fills are offered; a negative value
    // would read as "empty" and is ignored.
    void offer (int value) noexcept
    {
        if (value < 0)
            return;

        int current = minimum.load();

        for (int failures = 0; current == empty || value < current; ++failures)
        {
            if (minimum.compare_exchange_strong (current, value))
                return;

            // Only a take can get in the way, so this never happens in use; it
            // is counted rather than logged because the caller is an audio thread.
            if (failures == starvationLimit)
                starvedOffers.fetch_add (1, std::memory_order_relaxed);
        }
    }

    // The minimum offered since the last take, or `empty`.
    int take() noexcept { return minimum.exchange (empty); }

    // Offers that lost the race a thousand times in a row.
    uint32_t getStarvedOfferCount() const noexcept { return starvedOffers.load (std::memory_order_relaxed); }

private:
    static constexpr int starvationLimit = 999;

    std::atomic<int> minimum { empty };
    std::atomic<uint32_t> starvedOffers { 0 };
};
