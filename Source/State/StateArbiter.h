#pragma once

#include <juce_events/juce_events.h>
#include <atomic>
#include <mutex>

// Tells a genuine host state from the host handing back the processor's own
// start-up state: that state is kept for 300 ms after construction. Until a
// genuine host state arrives, the processor takes the pedal's state instead.
// A host may hand a state over on any thread, so the snapshot is locked; the
// lock guards a compare and a free, nothing else, and no audio thread takes it.
class StateArbiter : private juce::Timer
{
public:
    static constexpr int snapshotLifetimeMs = 300;

    StateArbiter() = default;
    ~StateArbiter() override { stopTimer(); }

    // Keeps the processor's own start-up state for its lifetime.
    void keepSnapshot (juce::MemoryBlock startUpState)
    {
        {
            const std::lock_guard<std::mutex> lock (snapshotLock);
            snapshot = std::move (startUpState);
        }
        startTimer (snapshotLifetimeMs);
    }

    // Whether a state from the host is only the start-up state coming back.
    // The snapshot is consulted once: the first state after it ends its life.
    bool isOwnSnapshot (const juce::MemoryBlock& state)
    {
        const std::lock_guard<std::mutex> lock (snapshotLock);
        if (snapshot.isEmpty())
            return false;

        const bool same = snapshot == state;
        snapshot.reset();
        return same;
    }

    // Message thread: a host state was applied; the pedal's state is no longer wanted.
    void hostStateArrived() noexcept { awaitingHostState = false; }
    bool isAwaitingHostState() const noexcept { return awaitingHostState; }

    // Ends the snapshot's life now, as its timer does.
    void expire()
    {
        stopTimer();
        const std::lock_guard<std::mutex> lock (snapshotLock);
        snapshot.reset();
    }

private:
    void timerCallback() override { expire(); }

    std::mutex snapshotLock;
    juce::MemoryBlock snapshot;
    std::atomic<bool> awaitingHostState { true };

    JUCE_DECLARE_NON_COPYABLE (StateArbiter)
};
