// pellion-test-guard: runs one test command so that it can neither hold the
// run nor leave anything behind. CTest runs every test through it.
//
// A process a test leaves running (a forked copy of a host that never reached
// its exec, say) keeps the test's output open, and whatever reads that output
// to its end waits for ever. The guard adopts every process the test starts,
// whatever becomes of their parents, and fails the test, naming each one, when
// any is still there after the test ended, or when the test itself runs past
// its limit; then it ends them all, so the run goes on.

#include "ProcessTree.h"

#include <atomic>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <spawn.h>
#include <string>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <system_error>
#include <thread>
#include <unistd.h>

namespace
{
using Clock = std::chrono::steady_clock;

std::atomic<int> stopSignal { 0 };

void noteStop (int signalNumber)
{
    stopSignal = signalNumber;
}

int usage()
{
    std::fprintf (stderr, "usage: pellion-test-guard --limit SECONDS [--grace SECONDS] -- COMMAND [ARGUMENTS...]\n"
                          "  runs COMMAND; fails when it runs longer than --limit, or when a process it started\n"
                          "  is still running --grace seconds (default 5) after it ended, naming what was left\n");
    return 2;
}

std::optional<int> secondsFrom (const char* text)
{
    char* end = nullptr;
    errno = 0;
    const long value = std::strtol (text, &end, 10);
    if (errno != 0 || end == text || *end != '\0' || value < 1 || value > 86400)
        return std::nullopt;
    return static_cast<int> (value);
}

std::string commandName (char* const* command)
{
    std::string name = command[0];
    if (const auto slash = name.rfind ('/'); slash != std::string::npos)
        name = name.substr (slash + 1);
    for (auto* argument = command + 1; *argument != nullptr; ++argument)
        name += std::string (" ") + *argument;
    return name;
}

void listBelowUs (const char* heading)
{
    std::fprintf (stderr, "%s\n", heading);
    for (const auto& process : ProcessTree::below (getpid()))
        std::fprintf (stderr, "  %s\n", ProcessTree::describe (process).c_str());
}

// Reaps every child that has ended; returns the test's own status once it has.
void reapEnded (pid_t test, std::optional<int>& testStatus)
{
    int status = 0;
    for (pid_t ended; (ended = waitpid (-1, &status, WNOHANG)) > 0;)
        if (ended == test)
            testStatus = status;
}

bool anyChildLeft()
{
    siginfo_t info {};
    return waitid (P_ALL, 0, &info, WEXITED | WNOHANG | WNOWAIT) == 0;
}

// Ends everything below the guard and reaps it, so that nothing keeps the output open.
void endEverything (pid_t test, std::optional<int>& testStatus)
{
    if (! ProcessTree::killAllBelow (getpid(), 10000))
        listBelowUs ("pellion-test-guard: these would not end within 10 s of SIGKILL:");
    reapEnded (test, testStatus);
}

// The guard ends as the test did: with its exit code, or by its signal.
int endAs (int status)
{
    if (WIFEXITED (status))
        return WEXITSTATUS (status);
    if (WIFSIGNALED (status))
    {
        std::signal (WTERMSIG (status), SIG_DFL);
        std::raise (WTERMSIG (status));
        return 128 + WTERMSIG (status);
    }
    return 1;
}
}

int main (int argc, char** argv)
{
    int limitSeconds = 0;
    int graceSeconds = 5;
    int first = 1;
    for (; first < argc && std::strcmp (argv[first], "--") != 0; first += 2)
    {
        const auto value = first + 1 < argc ? secondsFrom (argv[first + 1]) : std::nullopt;
        if (! value.has_value())
            return usage();
        if (std::strcmp (argv[first], "--limit") == 0)
            limitSeconds = *value;
        else if (std::strcmp (argv[first], "--grace") == 0)
            graceSeconds = *value;
        else
            return usage();
    }
    if (limitSeconds == 0 || first + 1 >= argc)
        return usage();

    char* const* command = argv + first + 1;
    const auto name = commandName (command);

    // Orphans below the guard become its children instead of init's.
    if (prctl (PR_SET_CHILD_SUBREAPER, 1) != 0)
    {
        std::perror ("pellion-test-guard: cannot adopt the test's orphans");
        return 1;
    }

    for (const int signalNumber : { SIGINT, SIGTERM, SIGHUP })
        std::signal (signalNumber, noteStop);

    pid_t test = 0;
    if (const int error = posix_spawnp (&test, command[0], nullptr, nullptr, command, environ); error != 0)
    {
        std::fprintf (stderr, "pellion-test-guard: cannot start %s: %s\n", command[0], std::generic_category().message (error).c_str());
        return 127;
    }

    const auto poll = std::chrono::milliseconds (20);
    const auto deadline = Clock::now() + std::chrono::seconds (limitSeconds);
    std::optional<int> testStatus;

    for (reapEnded (test, testStatus); ! testStatus.has_value(); reapEnded (test, testStatus))
    {
        if (const int signalNumber = stopSignal; signalNumber != 0)
        {
            endEverything (test, testStatus);
            std::signal (signalNumber, SIG_DFL);
            std::raise (signalNumber);
            return 128 + signalNumber;
        }
        if (Clock::now() > deadline)
        {
            const auto heading = "pellion-test-guard: " + name + "\n  was still running after " + std::to_string (limitSeconds)
                                 + " s, the limit for one test, so it fails; what was running then, now ended:";
            listBelowUs (heading.c_str());
            endEverything (test, testStatus);
            return 1;
        }
        std::this_thread::sleep_for (poll);
    }

    // The test has ended: what it started must end too, by itself, soon.
    const auto graceEnd = Clock::now() + std::chrono::seconds (graceSeconds);
    std::optional<int> unused;
    for (reapEnded (test, unused); anyChildLeft(); reapEnded (test, unused))
    {
        if (Clock::now() > graceEnd)
        {
            const auto heading = "pellion-test-guard: " + name + "\n  ended, but left processes running "
                                 + std::to_string (graceSeconds) + " s after it, so it fails; now ended:";
            listBelowUs (heading.c_str());
            endEverything (test, unused);
            const int code = endAs (*testStatus);
            return code != 0 ? code : 1;
        }
        std::this_thread::sleep_for (poll);
    }

    return endAs (*testStatus);
}
