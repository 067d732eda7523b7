#pragma once

#include <atomic>
#include <cstdint>

class CallbackTiming;

// A change that must wait until the host has faded the pedal's audio out and
// let go: new parameters (a restart) or a calibration, which keeps the
// pedal's inputs from the host. A host that does not fade, or hears none of
// the pedal's audio, or has stopped calling, is not waited for; nor is one
// that does not let go within waitLimitMs.
//
// The host side marks what it hears and when it let go; the message thread
// asks, ticks and takes what was waiting.
class BridgeHandOver
{
public:
    static constexpr int tickIntervalMs = 10;
    static constexpr int waitLimitMs = 1000;

    // What waits for the host.
    struct Waiting
    {
        bool update = false, start = false; // new parameters, and whether to stream with them
        int calibrationBlock = 0;           // a calibration to arm, with this block size
    };

    // Message thread: whether the host fades the pedal's audio by the spans
    // and lets go when asked (off: nothing ever waits).
    void setHostFades (bool fades) noexcept { hostFades.store (fades); }

    // Host audio thread, after each block: whether it carried the pedal's audio.
    void setHostHearing (bool hearing) noexcept { hostHearing.store (hearing); }

    // Host audio thread: the pedal's audio is faded out.
    void letGo() noexcept { letGoDone.store (true); }

    // Host audio thread: whether a change waits for it to fade out.
    bool isWanted() const noexcept { return wanted.load(); }

    // Message thread: whether the host, streaming, hears the pedal now and is
    // still calling (within four of its periods).
    bool hostHearsPedal (bool streaming, const CallbackTiming& hostTiming, int64_t now) const noexcept;

    // Message thread: the host is asked to let go; the wait starts again.
    void ask() noexcept;

    // Message thread, every tickIntervalMs while asked: true once the wait is over.
    bool tick (bool hostStillHears) noexcept;

    // Message thread: the wait is over; what waited, taken.
    Waiting finish() noexcept;

    // Message thread: nothing waits any more.
    void cancel() noexcept;

    // Message thread: what waits for the host now.
    Waiting waiting;

private:
    std::atomic<bool> hostFades { false }, hostHearing { false };
    std::atomic<bool> wanted { false }, letGoDone { false };
    int ticks = 0;
};
