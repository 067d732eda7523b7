#pragma once

#include <atomic>

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

        // A failed exchange reloads current: a lower offer ends the loop, a take retries it.
        while (current == empty || value < current)
            if (minimum.compare_exchange_strong (current, value))
                return;
    }

    // The minimum offered since the last take, or `empty`.
    int take() noexcept { return minimum.exchange (empty); }

private:
    std::atomic<int> minimum { empty };
};
