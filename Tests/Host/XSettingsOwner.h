#pragma once

#include "Support/Waiting.h"

#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

// xsettingsd serving the desktop settings on a display of the test's own, as
// scripts/display.sh does on its display (scripts/xsettingsd.conf says why).
// Where it cannot start, the test goes on without, and says so. Stopped when destroyed.
class XSettingsOwner
{
public:
    explicit XSettingsOwner (const std::string& display)
    {
        int said[2];
        if (display.empty() || pipe2 (said, O_CLOEXEC) != 0)
            return;

        std::vector<std::string> environment { "DISPLAY=" + display };
        for (char** variable = environ; *variable != nullptr; ++variable)
            if (std::strncmp (*variable, "DISPLAY=", 8) != 0)
                environment.emplace_back (*variable);
        std::vector<char*> environmentPointers;
        for (auto& variable : environment)
            environmentPointers.push_back (variable.data());
        environmentPointers.push_back (nullptr);

        const char* const arguments[] = { "xsettingsd", "-c", PELLION_XSETTINGS_CONF, nullptr };
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init (&actions);
        posix_spawn_file_actions_addclose (&actions, said[0]);
        posix_spawn_file_actions_addopen (&actions, 1, "/dev/null", O_WRONLY, 0);
        posix_spawn_file_actions_adddup2 (&actions, said[1], 2);
        const bool spawned = posix_spawnp (&pid, "xsettingsd", &actions, nullptr, const_cast<char* const*> (arguments),
                                           environmentPointers.data()) == 0;
        posix_spawn_file_actions_destroy (&actions);
        close (said[1]);
        if (! spawned)
            pid = -1;

        // It says so on its error output once it owns the settings; it ends where it cannot.
        std::string output;
        const auto deadline = std::chrono::steady_clock::now() + patience;
        pollfd readable { said[0], POLLIN, 0 };
        while (spawned && output.find (ownedLine) == std::string::npos && std::chrono::steady_clock::now() < deadline
               && poll (&readable, 1, 100) >= 0)
        {
            char buffer[256];
            if ((readable.revents & (POLLIN | POLLHUP)) == 0)
                continue;
            const auto got = read (said[0], buffer, sizeof (buffer));
            if (got <= 0)
                break;
            output.append (buffer, static_cast<size_t> (got));
        }
        // Kept open while it runs: a closed pipe would end it at its next line.
        saidFd = said[0];

        if (output.find (ownedLine) == std::string::npos)
            std::fprintf (stderr, "no xsettingsd serves the settings on %s (apt install xsettingsd): "
                                  "the first editor there forks to run gsettings\n", display.c_str());
    }

    ~XSettingsOwner()
    {
        if (pid > 0)
        {
            kill (pid, SIGTERM);
            waitpid (pid, nullptr, 0);
        }
        if (saidFd >= 0)
            close (saidFd);
    }

    XSettingsOwner (const XSettingsOwner&) = delete;
    XSettingsOwner& operator= (const XSettingsOwner&) = delete;

private:
    static constexpr const char* ownedLine = "Took ownership of selection";
    pid_t pid = -1;
    int saidFd = -1;
};
