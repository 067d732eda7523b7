#pragma once

#include <juce_events/juce_events.h>

// Tells a genuine host state from the host handing back the processor's own
// start-up state: that state is kept for 300 ms after construction. Until a
// genuine host state arrives, the processor takes the pedal's state instead.
class StateArbiter : private juce::Timer
{
public:
    static constexpr int snapshotLifetimeMs = 300;

    StateArbiter() = default;
    ~StateArbiter() override { stopTimer(); }

    // Keeps the processor's own start-up state for its lifetime.
    void keepSnapshot (juce::MemoryBlock startUpState)
    {
        snapshot = std::move (startUpState);
        startTimer (snapshotLifetimeMs);
    }

    // Whether a state from the host is only the start-up state coming back.
    // The snapshot is consulted once: the first state after it ends its life.
    bool isOwnSnapshot (const juce::MemoryBlock& state)
    {
        if (snapshot.isEmpty())
            return false;

        const bool same = snapshot == state;
        snapshot.reset();
        return same;
    }

    void hostStateArrived() noexcept { awaitingHostState = false; }
    bool isAwaitingHostState() const noexcept { return awaitingHostState; }

    // Ends the snapshot's life now, as its timer does.
    void expire()
    {
        stopTimer();
        snapshot.reset();
    }

private:
    void timerCallback() override { expire(); }

    juce::MemoryBlock snapshot;
    bool awaitingHostState = true;

    JUCE_DECLARE_NON_COPYABLE (StateArbiter)
};
