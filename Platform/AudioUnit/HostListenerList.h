#pragma once

#include "KestrunAU.h"

#include <condition_variable>
#include <cstdint>
#include <list>
#include <map>
#include <mutex>
#include <thread>
#include <utility>

// The host's listeners of one instance.
//
// Listeners are called outside the lock: a listener may add or remove
// listeners (itself too) and may take its host's own locks while another host
// thread adds or removes. A listener added during an event first hears the
// next one; one removed during an event is not called again. remove() returns
// only once no other thread is still inside the listener, so the host may free
// its user data; from within the listener it does not wait.
//
// Adding and removing cost the same however many listeners there are: nothing
// is copied, the list is walked only by events.
class HostListenerList
{
public:
    void add (KAUListenerProc proc, void* userData);
    // False when no such listener was added. Of several equal ones, the first added goes.
    bool remove (KAUListenerProc proc, void* userData);

    void call (int32_t event, int32_t index, float value);

private:
    // One call in progress, on the caller's stack.
    struct ActiveCall
    {
        std::thread::id thread;
        ActiveCall* next;
    };

    // Everything but proc and userData is guarded by lock.
    struct Listener
    {
        KAUListenerProc proc;
        void* userData;
        uint64_t serial;                    // order of adding
        bool removed = false;
        ActiveCall* activeCalls = nullptr;  // a listener being called stays in the list
        int removersWaiting = 0;            // and so does one a remover waits for
    };

    using Position = std::list<Listener>::iterator;
    using Key = std::pair<uintptr_t, uintptr_t>;

    void leave (Position position, ActiveCall& call);
    void eraseIfUnused (Position position);
    static bool calledOnlyHere (const Listener& listener);

    std::mutex lock;
    std::condition_variable callEnded;
    std::list<Listener> listeners;          // in order of adding; removed ones only while in use
    std::multimap<Key, Position> byKey;     // the listeners not removed; equal keys in order of adding
    uint64_t lastSerial = 0;
};
