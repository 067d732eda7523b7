#include "QuietBrokenPipes.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <pthread.h>
#include <unistd.h>

namespace
{
bool pipeSignalPending()
{
    sigset_t pending;
    sigemptyset (&pending);
    return sigpending (&pending) == 0 && sigismember (&pending, SIGPIPE) == 1;
}

bool pipeSignalBlocked()
{
    sigset_t mask;
    pthread_sigmask (SIG_BLOCK, nullptr, &mask);
    return sigismember (&mask, SIGPIPE) == 1;
}

// Writes to a pipe whose reading end has gone, which raises SIGPIPE on this thread.
int writeToAGonePipe()
{
    int ends[2];
    if (pipe (ends) != 0)
        return 0;
    close (ends[0]);
    const char byte = 0;
    const auto written = write (ends[1], &byte, 1);
    const int error = written < 0 ? errno : 0;
    close (ends[1]);
    return error;
}

// A host with SIGPIPE's default action, which ends it, writes through the guard twice.
[[noreturn]] void writeThroughTheGuard()
{
    std::signal (SIGPIPE, SIG_DFL);
    for (int i = 0; i < 2; ++i)
    {
        const QuietBrokenPipes guard;
        std::fprintf (stderr, "write: %s\n", writeToAGonePipe() == EPIPE ? "broken pipe" : "other");
    }
    std::fprintf (stderr, "afterwards: %s, %s\n", pipeSignalPending() ? "pending" : "none pending",
                  pipeSignalBlocked() ? "blocked" : "unblocked");
    std::exit (0);
}
} // namespace

TEST (QuietBrokenPipes, AWriteToAGonePeerLeavesTheHostAliveAndAsItWas)
{
    GTEST_FLAG_SET (death_test_style, "threadsafe");
    EXPECT_EXIT (writeThroughTheGuard(), testing::ExitedWithCode (0),
                 "write: broken pipe\nwrite: broken pipe\nafterwards: none pending, unblocked\n");
}

// A SIGPIPE the host itself keeps blocked and pending is the host's: it stays.
TEST (QuietBrokenPipes, ASignalPendingBeforeStaysPending)
{
    sigset_t pipeSignal, before;
    sigemptyset (&pipeSignal);
    sigaddset (&pipeSignal, SIGPIPE);
    ASSERT_EQ (pthread_sigmask (SIG_BLOCK, &pipeSignal, &before), 0);
    ASSERT_EQ (pthread_kill (pthread_self(), SIGPIPE), 0);

    {
        const QuietBrokenPipes guard;
        EXPECT_EQ (writeToAGonePipe(), EPIPE);
    }

    EXPECT_TRUE (pipeSignalPending());
    EXPECT_TRUE (pipeSignalBlocked());
    const timespec none {};
    EXPECT_EQ (sigtimedwait (&pipeSignal, nullptr, &none), SIGPIPE);
    EXPECT_FALSE (pipeSignalPending());
    pthread_sigmask (SIG_SETMASK, &before, nullptr);
}
