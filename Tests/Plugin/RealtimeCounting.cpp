#include "Support/RealtimeCounting.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <cstddef>
#include <new>
#include <pthread.h>

namespace
{
thread_local bool counting = false;
thread_local int locks = 0, allocated = 0;
thread_local size_t allocatedBytes = 0;
thread_local int watchedTaken = 0, watchedDepth = 0, locksHolding = 0, allocatedHolding = 0;
std::array<std::atomic<const void*>, 2> watched {};

bool isWatched (const void* mutex) noexcept
{
    return std::any_of (watched.begin(), watched.end(), [mutex] (const auto& w) { return w.load() == mutex; });
}

void count (int& total, int& holding) noexcept
{
    if (counting)
    {
        ++total;
        holding += watchedDepth > 0 ? 1 : 0;
    }
}

void countAllocation (size_t bytes) noexcept
{
    count (allocated, allocatedHolding);
    allocatedBytes += counting ? bytes : 0;
}
} // namespace

// The linker sends every call of these in the test program (the framework's
// included) to the __wrap_ versions, which count and call the real ones.
#define PELLION_COUNTED_ALLOCATION(name, parameters, arguments, bytes) \
    void* __real_##name parameters;                                    \
    void* __wrap_##name parameters                                     \
    {                                                                  \
        countAllocation (bytes);                                       \
        return __real_##name arguments;                                \
    }

extern "C"
{
PELLION_COUNTED_ALLOCATION (malloc, (size_t size), (size), size)
PELLION_COUNTED_ALLOCATION (calloc, (size_t n, size_t size), (n, size), n * size)
PELLION_COUNTED_ALLOCATION (realloc, (void* p, size_t size), (p, size), size)
PELLION_COUNTED_ALLOCATION (_Znwm, (size_t size), (size), size)
PELLION_COUNTED_ALLOCATION (_Znam, (size_t size), (size), size)
PELLION_COUNTED_ALLOCATION (_ZnwmRKSt9nothrow_t, (size_t size, const std::nothrow_t& t), (size, t), size)
PELLION_COUNTED_ALLOCATION (_ZnamRKSt9nothrow_t, (size_t size, const std::nothrow_t& t), (size, t), size)
PELLION_COUNTED_ALLOCATION (_ZnwmSt11align_val_t, (size_t size, std::align_val_t a), (size, a), size)
PELLION_COUNTED_ALLOCATION (_ZnamSt11align_val_t, (size_t size, std::align_val_t a), (size, a), size)

int __real_posix_memalign (void**, size_t, size_t);
int __wrap_posix_memalign (void** p, size_t alignment, size_t size)
{
    countAllocation (size);
    return __real_posix_memalign (p, alignment, size);
}

int __real_pthread_mutex_lock (pthread_mutex_t*);
int __real_pthread_mutex_unlock (pthread_mutex_t*);

int __wrap_pthread_mutex_lock (pthread_mutex_t* mutex)
{
    count (locks, locksHolding);
    const int result = __real_pthread_mutex_lock (mutex);

    if (result == 0 && isWatched (mutex))
    {
        ++watchedDepth;
        watchedTaken += counting ? 1 : 0;
    }

    return result;
}

int __wrap_pthread_mutex_unlock (pthread_mutex_t* mutex)
{
    watchedDepth -= watchedDepth > 0 && isWatched (mutex) ? 1 : 0;
    return __real_pthread_mutex_unlock (mutex);
}
}

RealtimeCounting::RealtimeCounting()
{
    locks = allocated = watchedTaken = locksHolding = allocatedHolding = 0;
    allocatedBytes = 0;
    counting = true;
}

RealtimeCounting::~RealtimeCounting() { counting = false; }
int RealtimeCounting::locksTaken() const { return locks; }
int RealtimeCounting::allocations() const { return allocated; }
size_t RealtimeCounting::bytesAllocated() const { return allocatedBytes; }
int RealtimeCounting::watchedLocksTaken() const { return watchedTaken; }

void RealtimeCounting::watch (const void* mutex, const void* other)
{
    watched[0].store (mutex);
    watched[1].store (other);
}

int RealtimeCounting::locksWhileHolding() const { return locksHolding; }
int RealtimeCounting::allocationsWhileHolding() const { return allocatedHolding; }
