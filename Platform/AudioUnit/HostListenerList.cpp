#include "HostListenerList.h"

namespace
{
std::pair<uintptr_t, uintptr_t> keyOf (KAUListenerProc proc, void* userData)
{
    return { reinterpret_cast<uintptr_t> (proc), reinterpret_cast<uintptr_t> (userData) };
}
} // namespace

void HostListenerList::add (KAUListenerProc proc, void* userData)
{
    const std::lock_guard<std::mutex> guard (lock);
    const auto position = listeners.insert (listeners.end(), Listener { proc, userData, ++lastSerial });
    // A multimap puts an equal key after those already there.
    byKey.emplace (keyOf (proc, userData), position);
}

bool HostListenerList::remove (KAUListenerProc proc, void* userData)
{
    std::unique_lock<std::mutex> guard (lock);
    const auto found = byKey.find (keyOf (proc, userData));

    if (found == byKey.end())
        return false;

    const auto position = found->second;
    byKey.erase (found);

    auto& listener = *position;
    listener.removed = true;
    ++listener.removersWaiting;

    // Calls on this thread are the remover's own: waiting for them would never end.
    callEnded.wait (guard, [&] { return calledOnlyHere (listener); });

    --listener.removersWaiting;
    eraseIfUnused (position);
    return true;
}

void HostListenerList::call (int32_t event, int32_t index, float value)
{
    std::unique_lock<std::mutex> guard (lock);
    // Listeners added from here on are later in the list and hear the next event.
    const auto last = lastSerial;

    for (auto position = listeners.begin(); position != listeners.end() && position->serial <= last;)
    {
        auto& listener = *position;

        if (listener.removed)
        {
            ++position;
            continue;
        }

        // While this call is active the listener stays in the list, so the walk
        // can go on from it however the list changes meanwhile.
        ActiveCall call { std::this_thread::get_id(), listener.activeCalls };
        listener.activeCalls = &call;

        guard.unlock();
        listener.proc (listener.userData, event, index, value);
        guard.lock();

        const auto next = std::next (position);
        leave (position, call);
        position = next;
    }
}

void HostListenerList::leave (Position position, ActiveCall& call)
{
    auto& listener = *position;

    for (auto** link = &listener.activeCalls; *link != nullptr; link = &(*link)->next)
    {
        if (*link == &call)
        {
            *link = call.next;
            break;
        }
    }

    if (! listener.removed)
        return;

    // A remover may be waiting for the calls on other threads to end.
    callEnded.notify_all();
    eraseIfUnused (position);
}

void HostListenerList::eraseIfUnused (Position position)
{
    if (position->removed && position->activeCalls == nullptr && position->removersWaiting == 0)
        listeners.erase (position);
}

bool HostListenerList::calledOnlyHere (const Listener& listener)
{
    const auto here = std::this_thread::get_id();

    for (auto* call = listener.activeCalls; call != nullptr; call = call->next)
        if (call->thread != here)
            return false;

    return true;
}
