#include "ProcessTree.h"

#include <algorithm>
#include <cctype>
#include <chrono>
#include <csignal>
#include <dirent.h>
#include <fstream>
#include <iterator>
#include <map>
#include <sstream>
#include <thread>

namespace
{
std::string readWhole (const std::string& path)
{
    std::ifstream file (path, std::ios::binary);
    return { std::istreambuf_iterator<char> (file), std::istreambuf_iterator<char>() };
}

// /proc/PID/stat is "pid (name) state parent ...", where the name may hold
// spaces and parentheses of its own: what follows the last ')' is read.
bool readProcess (pid_t pid, ProcessTree::Process& process)
{
    const auto stat = readWhole ("/proc/" + std::to_string (pid) + "/stat");
    const auto nameStart = stat.find ('(');
    const auto nameEnd = stat.rfind (')');
    if (nameStart == std::string::npos || nameEnd == std::string::npos || nameEnd < nameStart)
        return false;

    std::istringstream rest (stat.substr (nameEnd + 1));
    long parent = 0;
    if (! (rest >> process.state >> parent))
        return false;

    process.pid = pid;
    process.parent = static_cast<pid_t> (parent);

    auto arguments = readWhole ("/proc/" + std::to_string (pid) + "/cmdline");
    while (! arguments.empty() && arguments.back() == '\0')
        arguments.pop_back();
    std::replace (arguments.begin(), arguments.end(), '\0', ' ');
    process.commandLine = arguments.empty() ? "[" + stat.substr (nameStart + 1, nameEnd - nameStart - 1) + "]"
                                            : arguments;
    return true;
}

std::vector<ProcessTree::Process> allProcesses()
{
    std::vector<ProcessTree::Process> found;
    DIR* proc = opendir ("/proc");
    if (proc == nullptr)
        return found;

    while (const dirent* entry = readdir (proc))
    {
        const std::string name = entry->d_name;
        if (name.empty() || ! std::all_of (name.begin(), name.end(), [] (unsigned char c) { return std::isdigit (c) != 0; }))
            continue;

        ProcessTree::Process process;
        if (readProcess (static_cast<pid_t> (std::stol (name)), process))
            found.push_back (process);
    }

    closedir (proc);
    return found;
}

const char* meaningOf (char state)
{
    switch (state)
    {
        case 'R': return "running";
        case 'S': return "sleeping";
        case 'D': return "waiting in the kernel";
        case 'T': case 't': return "stopped";
        case 'Z': return "ended, not yet reaped";
        default: return "in state ?";
    }
}
}

std::vector<ProcessTree::Process> ProcessTree::below (pid_t root)
{
    const auto processes = allProcesses();
    std::multimap<pid_t, const Process*> children;
    for (const auto& process : processes)
        children.emplace (process.parent, &process);

    std::vector<Process> found;
    std::vector<pid_t> parents { root };
    while (! parents.empty())
    {
        const auto parent = parents.back();
        parents.pop_back();
        const auto [first, last] = children.equal_range (parent);
        for (auto child = first; child != last; ++child)
        {
            found.push_back (*child->second);
            parents.push_back (child->second->pid);
        }
    }

    return found;
}

std::string ProcessTree::describe (const Process& process)
{
    constexpr size_t longest = 400;
    auto commandLine = process.commandLine;
    if (commandLine.size() > longest)
        commandLine = commandLine.substr (0, longest) + "...";

    return "pid " + std::to_string (process.pid) + " (" + meaningOf (process.state) + ", child of "
           + std::to_string (process.parent) + "): " + commandLine;
}

bool ProcessTree::killAllBelow (pid_t root, int deadlineMilliseconds)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds (deadlineMilliseconds);

    for (;;)
    {
        auto living = below (root);
        living.erase (std::remove_if (living.begin(), living.end(), [] (const Process& p) { return p.state == 'Z'; }),
                      living.end());
        if (living.empty())
            return true;
        if (std::chrono::steady_clock::now() > deadline)
            return false;

        for (const auto& process : living)
            kill (process.pid, SIGKILL);
        std::this_thread::sleep_for (std::chrono::milliseconds (20));
    }
}
