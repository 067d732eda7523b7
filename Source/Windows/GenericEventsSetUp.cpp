#include "Windows/GenericEventsSetUp.h"

#include <pthread.h>
#include <unistd.h>

#include <condition_variable>
#include <csignal>
#include <mutex>
#include <system_error>
#include <thread>

namespace
{
struct SetUpState
{
    std::mutex lock;
    std::condition_variable changed;
    bool finished = false;
    bool parked = false;
};

// Static: a parked thread may still be leaving the lock when the opening goes on.
SetUpState state;
thread_local bool settingUp = false;
} // namespace

bool GenericEventsSetUp::make (Display* connection, QueryVersion queryVersion)
{
    if (queryVersion == nullptr)
        return true;

    {
        const std::lock_guard<std::mutex> held (state.lock);
        state.finished = false;
        state.parked = false;
    }

    std::thread setUp;
    try
    {
        setUp = std::thread ([connection, queryVersion]
        {
            // Once parked, nothing runs on it again, also after an unload of the bundle.
            sigset_t every;
            sigfillset (&every);
            pthread_sigmask (SIG_BLOCK, &every, nullptr);
            settingUp = true;

            int major = 0, minor = 0;
            queryVersion (connection, &major, &minor);

            const std::lock_guard<std::mutex> held (state.lock);
            state.finished = true;
            state.changed.notify_all();
        });
    }
    catch (const std::system_error&)
    {
        return false;
    }

    std::unique_lock<std::mutex> held (state.lock);
    state.changed.wait (held, [] { return state.finished || state.parked; });
    const bool parked = state.parked;
    held.unlock();

    if (parked)
        setUp.detach();
    else
        setUp.join();

    return ! parked;
}

void GenericEventsSetUp::parkIfSettingUp()
{
    if (! settingUp)
        return;

    {
        const std::lock_guard<std::mutex> held (state.lock);
        state.parked = true;
        state.changed.notify_all();
    }

    for (;;)
        pause();
}
