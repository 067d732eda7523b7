#pragma once

#include "KestrunAU.h"

#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

// The host's listeners of one instance.
//
// An event goes to a snapshot of the list, called outside the lock: a listener
// may add or remove listeners (itself too) and may take its host's own locks
// while another host thread adds or removes. A listener added during an event
// first hears the next one; one removed during an event is not called again.
// remove() returns only once no other thread is still inside the listener, so
// the host may free its user data; from within the listener it does not wait.
class HostListenerList
{
public:
    HostListenerList();

    void add (KAUListenerProc proc, void* userData);
    // False when no such listener was added.
    bool remove (KAUListenerProc proc, void* userData);

    void call (int32_t event, int32_t index, float value);

private:
    // One call in progress, on the caller's stack.
    struct ActiveCall
    {
        std::thread::id thread;
        ActiveCall* next;
    };

    struct Listener
    {
        KAUListenerProc proc;
        void* userData;
        bool removed = false;           // both guarded by lock
        ActiveCall* activeCalls = nullptr;
    };

    using List = std::vector<std::shared_ptr<Listener>>;

    bool enter (Listener& listener, ActiveCall& call);
    void leave (Listener& listener, ActiveCall& call);
    static bool calledOnlyHere (const Listener& listener);

    std::mutex lock;
    std::condition_variable callEnded;
    std::shared_ptr<const List> listeners;
};
