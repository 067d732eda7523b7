#pragma once

#include <cerrno>
#include <csignal>
#include <ctime>
#include <pthread.h>

// While one lives, a write of this thread to a socket whose other end has
// gone (the X server's, when it goes away) raises no SIGPIPE, whose default
// action ends the host: the signal is blocked on this thread, and one that it
// raised meanwhile is taken back when it goes. The host's handlers and its
// other threads are left as they are; a SIGPIPE pending before stays pending.
class QuietBrokenPipes
{
public:
    QuietBrokenPipes()
    {
        sigemptyset (&brokenPipe);
        sigaddset (&brokenPipe, SIGPIPE);
        sigset_t pending;
        sigemptyset (&pending);
        pendingBefore = sigpending (&pending) == 0 && sigismember (&pending, SIGPIPE) == 1;
        pthread_sigmask (SIG_BLOCK, &brokenPipe, &maskBefore);
    }

    ~QuietBrokenPipes()
    {
        const int errorBefore = errno;
        const timespec none {};
        if (! pendingBefore)
            while (sigtimedwait (&brokenPipe, nullptr, &none) < 0 && errno == EINTR) {}

        pthread_sigmask (SIG_SETMASK, &maskBefore, nullptr);
        errno = errorBefore;
    }

    QuietBrokenPipes (const QuietBrokenPipes&) = delete;
    QuietBrokenPipes& operator= (const QuietBrokenPipes&) = delete;

private:
    sigset_t brokenPipe {};
    sigset_t maskBefore {};
    bool pendingBefore = false;
};
