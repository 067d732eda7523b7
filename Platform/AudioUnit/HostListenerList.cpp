#include "HostListenerList.h"

#include <algorithm>

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

    // Calls on this thread are the remover's own: waiting for them would never end.
    callEnded.wait (guard, [&] { return calledOnlyHere (*listener); });
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
        ActiveCall call { std::this_thread::get_id(), nullptr };

        if (! enter (*listener, call))
            continue;

        listener->proc (listener->userData, event, index, value);
        leave (*listener, call);
    }
}

bool HostListenerList::enter (Listener& listener, ActiveCall& call)
{
    const std::lock_guard<std::mutex> guard (lock);

    if (listener.removed)
        return false;

    call.next = listener.activeCalls;
    listener.activeCalls = &call;
    return true;
}

void HostListenerList::leave (Listener& listener, ActiveCall& call)
{
    const std::lock_guard<std::mutex> guard (lock);

    for (auto** link = &listener.activeCalls; *link != nullptr; link = &(*link)->next)
    {
        if (*link == &call)
        {
            *link = call.next;
            break;
        }
    }

    // A remover may be waiting for the calls on other threads to end.
    if (listener.removed)
        callEnded.notify_all();
}

bool HostListenerList::calledOnlyHere (const Listener& listener)
{
    const auto here = std::this_thread::get_id();

    for (auto* call = listener.activeCalls; call != nullptr; call = call->next)
        if (call->thread != here)
            return false;

    return true;
}
