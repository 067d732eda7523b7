#pragma once

#include <string>
#include <sys/types.h>
#include <vector>

// The processes below one process, as /proc shows them at the moment asked.
class ProcessTree
{
public:
    struct Process
    {
        pid_t pid = 0;
        pid_t parent = 0;
        char state = '?';        // R running, S sleeping, D in the kernel, T stopped, Z ended
        std::string commandLine; // its arguments, or its name where it has none to show
    };

    // Every living process whose chain of parents leads to root (root left out).
    static std::vector<Process> below (pid_t root);

    // One line for a person: pid, state, parent and command line.
    static std::string describe (const Process& process);

    // Sends SIGKILL to everything below root until nothing living is left or
    // the deadline passes; true when nothing is left.
    static bool killAllBelow (pid_t root, int deadlineMilliseconds);
};
