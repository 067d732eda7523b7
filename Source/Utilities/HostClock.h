#pragma once

#include <cstdint>

// The clock that times the audio callbacks: ticks and ticks per second, read
// once per callback. The shipped clock is the system's monotonic one; a test
// installs a simulated clock in its place, so that callback timing follows
// simulated time.
class HostClock
{
public:
    virtual ~HostClock() = default;

    virtual int64_t getTicks() const noexcept = 0;
    virtual int64_t getTicksPerSecond() const noexcept = 0;

    // Through the installed clock, or the monotonic one. Safe on any thread.
    static int64_t now() noexcept;
    static int64_t ticksPerSecond() noexcept;

    // Installs a clock in place of the monotonic one; null restores it. The
    // caller keeps ownership and uninstalls it before it goes.
    static void install (HostClock* clock) noexcept;

    // The ticks that one period of numSamples at sampleRate lasts.
    static int64_t ticksFor (int numSamples, double sampleRate) noexcept;
};
