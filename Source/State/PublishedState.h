#pragma once

#include "State/StateChunk.h"

#include <deque>
#include <mutex>
#include <optional>

// The state as a host thread may read it. The message thread publishes the
// chunk's contents after every change; a state that a host sets off the
// message thread waits here, on top of them, until the message thread has
// applied it, so that a host reading back at once reads what it set.
// One lock guards copies of small values only; it is never taken by an audio
// thread and nothing is called while it is held.
class PublishedState
{
public:
    // A state set off the message thread: what applying it will change, and
    // what the message thread applies.
    struct Pending
    {
        std::vector<std::pair<juce::String, int>> values;
        std::optional<StateChunk::Program> program;
        StateChunk::Decoded decoded;
    };

    // Message thread: the contents as they are now.
    void publish (StateChunk::Contents contents);

    // Any thread: the published contents with every waiting state applied.
    StateChunk::Contents read() const;

    // Any thread: a state to apply on the message thread, in arrival order.
    void addPending (Pending pending);

    // Message thread: the oldest waiting state, left waiting until completeNext.
    std::optional<Pending> peekNext() const;

    // Message thread: the oldest waiting state was applied and these are the
    // contents now; readers see both at once.
    void completeNext (StateChunk::Contents contents);

private:
    mutable std::mutex lock;
    StateChunk::Contents published;
    std::deque<Pending> pending;
};
