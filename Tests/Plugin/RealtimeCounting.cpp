#include "Support/RealtimeCounting.h"

#include <atomic>
#include <cstddef>
#include <cstdlib>
#include <new>
#include <pthread.h>

namespace
{
thread_local bool counting = false;
thread_local int locks = 0, allocated = 0;
thread_local int watchedDepth = 0, locksHolding = 0, allocatedHolding = 0;
std::atomic<const void*> watched { nullptr };

void countAllocation() noexcept
{
    if (counting)
    {
        ++allocated;
        allocatedHolding += watchedDepth > 0 ? 1 : 0;
    }
}
} // namespace

// The linker sends every call of these in the test program (the framework's
// included) to the __wrap_ versions, which count and call the real ones.
extern "C"
{
int __real_pthread_mutex_lock (pthread_mutex_t*);
void* __real_malloc (size_t);
void* __real_calloc (size_t, size_t);
void* __real_realloc (void*, size_t);
int __real_posix_memalign (void**, size_t, size_t);
void* __real__Znwm (size_t);
void* __real__Znam (size_t);
void* __real__ZnwmRKSt9nothrow_t (size_t, const std::nothrow_t&);
void* __real__ZnamRKSt9nothrow_t (size_t, const std::nothrow_t&);
void* __real__ZnwmSt11align_val_t (size_t, std::align_val_t);
void* __real__ZnamSt11align_val_t (size_t, std::align_val_t);

int __real_pthread_mutex_unlock (pthread_mutex_t*);

int __wrap_pthread_mutex_lock (pthread_mutex_t* mutex)
{
    if (counting)
    {
        ++locks;
        locksHolding += watchedDepth > 0 ? 1 : 0;
    }

    const int result = __real_pthread_mutex_lock (mutex);
    watchedDepth += result == 0 && mutex == watched.load() ? 1 : 0;
    return result;
}

int __wrap_pthread_mutex_unlock (pthread_mutex_t* mutex)
{
    watchedDepth -= mutex == watched.load() && watchedDepth > 0 ? 1 : 0;
    return __real_pthread_mutex_unlock (mutex);
}

void* __wrap_malloc (size_t size) { countAllocation(); return __real_malloc (size); }
void* __wrap_calloc (size_t count, size_t size) { countAllocation(); return __real_calloc (count, size); }
void* __wrap_realloc (void* p, size_t size) { countAllocation(); return __real_realloc (p, size); }
int __wrap_posix_memalign (void** p, size_t alignment, size_t size) { countAllocation(); return __real_posix_memalign (p, alignment, size); }
void* __wrap__Znwm (size_t size) { countAllocation(); return __real__Znwm (size); }
void* __wrap__Znam (size_t size) { countAllocation(); return __real__Znam (size); }
void* __wrap__ZnwmRKSt9nothrow_t (size_t size, const std::nothrow_t& t) { countAllocation(); return __real__ZnwmRKSt9nothrow_t (size, t); }
void* __wrap__ZnamRKSt9nothrow_t (size_t size, const std::nothrow_t& t) { countAllocation(); return __real__ZnamRKSt9nothrow_t (size, t); }
void* __wrap__ZnwmSt11align_val_t (size_t size, std::align_val_t a) { countAllocation(); return __real__ZnwmSt11align_val_t (size, a); }
void* __wrap__ZnamSt11align_val_t (size_t size, std::align_val_t a) { countAllocation(); return __real__ZnamSt11align_val_t (size, a); }
}

RealtimeCounting::RealtimeCounting()
{
    locks = allocated = locksHolding = allocatedHolding = 0;
    counting = true;
}

void RealtimeCounting::watch (const void* mutex)
{
    watched.store (mutex);
}

int RealtimeCounting::locksWhileHolding() const
{
    return locksHolding;
}

int RealtimeCounting::allocationsWhileHolding() const
{
    return allocatedHolding;
}

RealtimeCounting::~RealtimeCounting()
{
    counting = false;
}

int RealtimeCounting::locksTaken() const
{
    return locks;
}

int RealtimeCounting::allocations() const
{
    return allocated;
}

RealtimeCounting::Pause::Pause() : wasCounting (counting)
{
    counting = false;
}

RealtimeCounting::Pause::~Pause()
{
    counting = wasCounting;
}
