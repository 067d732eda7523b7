#pragma once

#include <cstddef>

// Counts the mutexes the calling thread locks and the heap allocations it makes
// while one of these lives. The Plugin tests are linked with every
// pthread_mutex_lock, malloc and operator new of the system and the framework
// routed through counters (Tests/Plugin/RealtimeCounting.cpp).
class RealtimeCounting
{
public:
    RealtimeCounting();
    ~RealtimeCounting();

    int locksTaken() const;
    int allocations() const;
    size_t bytesAllocated() const;

    // The mutexes watched (a juce::CriticalSection is its mutex): how often
    // the thread took one, and what it did while it held one: locks taken and
    // allocations made inside. Two at most at a time; null watches none.
    static void watch (const void* mutex, const void* other = nullptr);
    int watchedLocksTaken() const;
    int locksWhileHolding() const;
    int allocationsWhileHolding() const;

    RealtimeCounting (const RealtimeCounting&) = delete;
    RealtimeCounting& operator= (const RealtimeCounting&) = delete;
};
