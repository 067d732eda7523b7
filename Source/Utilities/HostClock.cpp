#include "Utilities/HostClock.h"

#include <atomic>
#include <chrono>

namespace
{
class MonotonicClock final : public HostClock
{
public:
    using Clock = std::chrono::steady_clock;

    int64_t getTicks() const noexcept override { return (int64_t) Clock::now().time_since_epoch().count(); }
    int64_t getTicksPerSecond() const noexcept override { return (int64_t) (Clock::period::den / Clock::period::num); }
};

const MonotonicClock monotonicClock;
std::atomic<HostClock*> installedClock { nullptr };

const HostClock& current() noexcept
{
    if (auto* clock = installedClock.load (std::memory_order_acquire))
        return *clock;

    return monotonicClock;
}
} // namespace

int64_t HostClock::now() noexcept { return current().getTicks(); }
int64_t HostClock::ticksPerSecond() noexcept { return current().getTicksPerSecond(); }

void HostClock::install (HostClock* clock) noexcept
{
    installedClock.store (clock, std::memory_order_release);
}

int64_t HostClock::ticksFor (int numSamples, double sampleRate) noexcept
{
    if (! (sampleRate > 0.0) || numSamples <= 0)
        return 0;

    return (int64_t) ((double) numSamples / sampleRate * (double) ticksPerSecond());
}
