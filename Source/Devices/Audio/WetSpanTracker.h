#pragma once

#include <cstdint>

// Which samples of each host block are the pedal's audio of the current
// stream: what the from-device ring gave back before the host's first samples
// of the stream have made the round trip (the primed silence, audio of an
// earlier stream still on its way back), past a device's gap and while a
// calibration keeps the pedal's inputs out is not. Kept by the bridge's host
// side: host audio thread only.
class WetSpanTracker
{
public:
    struct WetSpan
    {
        int realFrom = 0;      // the first such sample; the block's length when there is none
        int realUntil = 0;     // the end of them
        bool ending = false;   // the pedal's audio ends at realUntil: fade it out by then
        bool handOver = false; // a restart waits: fade the pedal's audio out, then let go
        int latency = 0;       // the latency this stream's audio comes back with

        bool carries() const noexcept { return realFrom < realUntil; }
    };

    // A new stream with this latency, whose pedal's audio begins returnsAt samples into it.
    void begin (int latency, int64_t returnsAt, bool spoiled) noexcept;

    // A block of numSamples: none of the pedal's audio until said otherwise.
    void startBlock (int numSamples) noexcept { span = { numSamples, numSamples, false, false, stream.latency }; }

    // A block the host side could not use.
    void refuse() noexcept { span = {}; }

    // A calibration keeps the pedal's inputs out of this stream; true the first time.
    bool spoil() noexcept;

    // The block's first numSamples were read from the ring, which gave up consumed samples (a ring index difference).
    void markRead (int numSamples, int consumed) noexcept;

    // The pedal's audio of this stream ends at sample `end` of the block, for good.
    void endAt (int end) noexcept;

    // The host has faded the pedal's audio out: this stream carries none any more.
    void end() noexcept { stream.ended = true; }

    // The device stopped calling back with `fill` samples left in the ring:
    // the pedal's audio ends with this block and is the pedal's again from
    // what the device writes next.
    void deviceStopped (int fill) noexcept;

    // A restart waits for the host: a block that carries the pedal's audio asks it to fade out.
    void askToHandOver (bool wanted) noexcept { span.handOver = span.carries() && wanted; }

    bool hasEnded() const noexcept { return stream.ended; }
    int getLatency() const noexcept { return stream.latency; }
    const WetSpan& getSpan() const noexcept { return span; }

private:
    struct Stream
    {
        int64_t played = 0;    // samples given to the host since the prime
        int64_t returnsAt = 0; // where the pedal's audio of this stream begins
        int latency = 0;
        int untilGap = -1;     // a device that stopped: ring samples before what it writes next, or -1
        bool spoiled = false;  // a calibration kept the pedal's inputs out
        bool ended = false;    // the pedal's audio was faded out for good
    };

    Stream stream;
    WetSpan span;
};
