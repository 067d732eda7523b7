#pragma once

#include <juce_core/juce_core.h>
#include <atomic>

// Remembers one thread, so that "is the caller that thread?" is answered
// without a lock. The framework's own message-thread check locks a mutex, which
// a host's audio thread must never do; record the thread once and ask this.
class ThreadIdentity
{
public:
    void record (juce::Thread::ThreadID thread) noexcept { recorded.store (thread); }

    bool isCurrentThread() const noexcept
    {
        const auto thread = recorded.load();
        return thread != nullptr && thread == juce::Thread::getCurrentThreadId();
    }

private:
    std::atomic<juce::Thread::ThreadID> recorded { nullptr };
};
