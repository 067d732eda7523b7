#pragma once

#include "Utilities/HostClock.h"

#include <atomic>

// Simulated time for the host clock: whoever runs the simulation moves it on.
// Installed for its lifetime.
class SimulatedHostClock final : public HostClock
{
public:
    static constexpr int64_t ticksPerSecondValue = 1'000'000'000;

    SimulatedHostClock() { HostClock::install (this); }
    ~SimulatedHostClock() override { HostClock::install (nullptr); }

    int64_t getTicks() const noexcept override { return ticks.load(); }
    int64_t getTicksPerSecond() const noexcept override { return ticksPerSecondValue; }

    void setTicks (int64_t newTicks) noexcept { ticks.store (newTicks); }

    static int64_t fromSeconds (double seconds) noexcept { return (int64_t) (seconds * (double) ticksPerSecondValue); }

private:
    std::atomic<int64_t> ticks { 0 };

    SimulatedHostClock (const SimulatedHostClock&) = delete;
    SimulatedHostClock& operator= (const SimulatedHostClock&) = delete;
};
