#pragma once

#include "Utilities/AudioThreadGuard.h"

#include <juce_events/juce_events.h>
#include <functional>
#include <memory>
#include <vector>

// Objects that the message thread has unpublished but an audio thread may still
// be using. Each is deleted on the message thread once every audio thread has
// left the callbacks that could have seen it; no audio thread ever waits.
class RetiredObjects : private juce::Timer
{
public:
    static constexpr int checkIntervalMs = 10;

    RetiredObjects() = default;

    // Whoever deletes this has stopped every audio callback that could still
    // reach the objects: they are all deleted at once.
    ~RetiredObjects() override;

    template <typename Type>
    void retire (std::unique_ptr<Type> object)
    {
        if (object != nullptr)
            add ([raw = object.release()] { delete raw; });
    }

    // Deletes what is safe to delete now; message thread.
    void releaseSafeObjects();

    size_t getNumPending() const noexcept { return pending.size(); }

private:
    struct Pending
    {
        std::function<void()> destroy;
        std::vector<AudioThreadGuard::Token> tokens;
    };

    void add (std::function<void()> destroy);
    void timerCallback() override;

    std::vector<Pending> pending;

    JUCE_DECLARE_NON_COPYABLE (RetiredObjects)
};
