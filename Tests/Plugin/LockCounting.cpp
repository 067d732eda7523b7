#include "Support/LockCounting.h"

#include <pthread.h>

namespace
{
thread_local bool counting = false;
thread_local int taken = 0;
} // namespace

extern "C" int __real_pthread_mutex_lock (pthread_mutex_t* mutex);

extern "C" int __wrap_pthread_mutex_lock (pthread_mutex_t* mutex)
{
    if (counting)
        ++taken;

    return __real_pthread_mutex_lock (mutex);
}

LockCounting::LockCounting()
{
    taken = 0;
    counting = true;
}

LockCounting::~LockCounting()
{
    counting = false;
}

int LockCounting::locksTaken() const
{
    return taken;
}
