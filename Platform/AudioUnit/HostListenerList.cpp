#include "HostListenerList.h"

#include <algorithm>

namespace
{
// The listeners this thread is inside, innermost first, so that a listener
// removing itself (or one that called it) does not wait for its own call.
struct ActiveCall
{
    const void* listener;
    const ActiveCall* outer;
};

thread_local const ActiveCall* innermostCall = nullptr;

int callsOnThisThread (const void* listener)
{
    int calls = 0;

    for (auto* call = innermostCall; call != nullptr; call = call->outer)
        calls += call->listener == listener ? 1 : 0;

    return calls;
}
} // namespace

HostListenerList::HostListenerList()
    : listeners (std::make_shared<const List>())
{
}

void HostListenerList::add (KAUListenerProc proc, void* userData)
{
    auto listener = std::make_shared<Listener>();
    listener->proc = proc;
    listener->userData = userData;

    const std::lock_guard<std::mutex> guard (lock);
    auto grown = std::make_shared<List> (*listeners);
    grown->push_back (std::move (listener));
    listeners = std::move (grown);
}

bool HostListenerList::remove (KAUListenerProc proc, void* userData)
{
    std::unique_lock<std::mutex> guard (lock);

    const auto found = std::find_if (listeners->begin(), listeners->end(), [&] (const auto& listener)
    {
        return listener->proc == proc && listener->userData == userData;
    });

    if (found == listeners->end())
        return false;

    const auto listener = *found;
    listener->removed = true;

    auto shrunk = std::make_shared<List> (*listeners);
    shrunk->erase (shrunk->begin() + (found - listeners->begin()));
    listeners = std::move (shrunk);

    const int ownCalls = callsOnThisThread (listener.get());
    callEnded.wait (guard, [&] { return listener->activeCalls <= ownCalls; });
    return true;
}

void HostListenerList::call (int32_t event, int32_t index, float value)
{
    std::shared_ptr<const List> snapshot;
    {
        const std::lock_guard<std::mutex> guard (lock);
        snapshot = listeners;
    }

    for (const auto& listener : *snapshot)
    {
        if (! enter (*listener))
            continue;

        const ActiveCall call { listener.get(), innermostCall };
        innermostCall = &call;
        listener->proc (listener->userData, event, index, value);
        innermostCall = call.outer;

        leave (*listener);
    }
}

bool HostListenerList::enter (Listener& listener)
{
    const std::lock_guard<std::mutex> guard (lock);

    if (listener.removed)
        return false;

    ++listener.activeCalls;
    return true;
}

void HostListenerList::leave (Listener& listener)
{
    const std::lock_guard<std::mutex> guard (lock);

    --listener.activeCalls;

    // A remover may be waiting for the calls on other threads to end.
    if (listener.removed)
        callEnded.notify_all();
}
