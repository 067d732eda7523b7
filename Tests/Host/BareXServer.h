#pragma once

#include "Host/XSettingsOwner.h"
#include "Support/Waiting.h"

#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <optional>
#include <poll.h>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

// An X server of the test's own without a window manager, as xvfb-run starts
// one, with as many screens as asked of the size and depth given, and the
// desktop settings served on it (XSettingsOwner). Its display stays empty when
// none could be started. Stopped, and so gone for its clients, when destroyed.
class BareXServer
{
public:
    explicit BareXServer (const std::string& screen = "640x480x24", int screens = 1)
    {
        int ready[2];
        if (pipe (ready) != 0)
            return;

        // Xvfb writes its display number to this descriptor once it serves.
        const auto readyFd = std::to_string (ready[1]);
        std::vector<std::string> words { "Xvfb", "-displayfd", readyFd, "-nolisten", "tcp" };
        for (int number = 0; number < screens; ++number)
            words.insert (words.end(), { "-screen", std::to_string (number), screen });
        std::vector<char*> arguments;
        for (auto& word : words)
            arguments.push_back (word.data());
        arguments.push_back (nullptr);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init (&actions);
        posix_spawn_file_actions_addclose (&actions, ready[0]);
        posix_spawn_file_actions_addopen (&actions, 1, "/dev/null", O_WRONLY, 0);
        posix_spawn_file_actions_addopen (&actions, 2, "/dev/null", O_WRONLY, 0);
        const bool spawned = posix_spawnp (&pid, "Xvfb", &actions, nullptr, arguments.data(), environ) == 0;
        posix_spawn_file_actions_destroy (&actions);
        close (ready[1]);

        std::string number;
        const auto deadline = std::chrono::steady_clock::now() + patience;
        pollfd readable { ready[0], POLLIN, 0 };

        while (spawned && std::chrono::steady_clock::now() < deadline && poll (&readable, 1, 100) >= 0)
        {
            char c = 0;
            if ((readable.revents & (POLLIN | POLLHUP)) == 0)
                continue;
            if (read (ready[0], &c, 1) != 1 || c == '\n')
                break;
            number += c;
        }

        close (ready[0]);
        started = spawned;
        pid = spawned ? pid : -1;
        if (! number.empty())
            display = ":" + number;
        if (! display.empty())
            settings.emplace (display);
    }

    ~BareXServer()
    {
        if (pid > 0)
        {
            kill (pid, SIGTERM);
            waitpid (pid, nullptr, 0);
        }
    }

    bool started = false;   // Xvfb is there and was started
    std::string display;    // and this is the display it serves

private:
    pid_t pid = -1;
    std::optional<XSettingsOwner> settings;
};
