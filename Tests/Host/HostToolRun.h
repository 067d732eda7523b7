#pragma once

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <sys/wait.h>

// The host stand-in run as a user runs it: a process of its own, in a folder,
// and what it leaves there.

struct ToolResult
{
    int exitCode = -1;      // -1 when it did not exit by itself
    std::string output;     // stdout and stderr
};

// Runs pellion-host in `folder` with `arguments`, where "{bundle}" stands for the
// built bundle, after the environment settings in `environment` ("NAME=value"
// or "-u NAME"); `shellFirst` runs in the same shell before it (a limit, say).
inline ToolResult runTool (const std::filesystem::path& folder, std::string arguments, const std::string& environment = {},
                           const std::string& shellFirst = {})
{
    for (auto at = arguments.find ("{bundle}"); at != std::string::npos; at = arguments.find ("{bundle}"))
        arguments.replace (at, 8, PELLION_BUNDLE_PATH);

    const auto command = "cd '" + folder.string() + "' || exit 1; " + shellFirst + " env " + environment
                       + " " PELLION_HOST_TOOL " " + arguments + " 2>&1";
    ToolResult result;
    FILE* pipe = popen (command.c_str(), "r");

    if (pipe == nullptr)
        return result;

    char buffer[512];
    while (fgets (buffer, sizeof (buffer), pipe) != nullptr)
        result.output += buffer;

    const int status = pclose (pipe);
    result.exitCode = WIFEXITED (status) ? WEXITSTATUS (status) : -1;
    return result;
}

// A file's bytes; empty when there is none.
inline std::string contents (const std::filesystem::path& file)
{
    std::ifstream in (file, std::ios::binary);
    return { std::istreambuf_iterator<char> (in), std::istreambuf_iterator<char>() };
}
