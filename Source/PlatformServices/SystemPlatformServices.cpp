#include "PlatformServices/SystemPlatformServices.h"

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace
{
// The program's path as execve needs it: given with a slash, or the first
// executable of that name on the PATH.
std::string findProgram (const juce::String& program)
{
    auto name = program.toStdString();
    if (name.empty() || name.find ('/') != std::string::npos)
        return name;

    const char* path = std::getenv ("PATH");
    const std::string folders = path != nullptr && *path != 0 ? path : "/usr/local/bin:/usr/bin:/bin";

    for (size_t start = 0; start <= folders.size();)
    {
        const auto end = std::min (folders.find (':', start), folders.size());
        const auto folder = folders.substr (start, end - start);
        auto candidate = (folder.empty() ? std::string (".") : folder) + "/" + name;

        if (access (candidate.c_str(), X_OK) == 0)
            return candidate;

        start = end + 1;
    }

    return {};
}
} // namespace

SystemPlatformServices::SystemPlatformServices (const juce::String& openerProgram) : opener (openerProgram)
{
}

bool SystemPlatformServices::launchWebPage (const juce::String& address)
{
    return startDetached (opener, { address });
}

bool SystemPlatformServices::revealInFileManager (const juce::File& fileOrFolder)
{
    if (fileOrFolder == juce::File())
        return false;

    const auto folder = fileOrFolder.isDirectory() ? fileOrFolder : fileOrFolder.getParentDirectory();
    return startDetached (opener, { folder.getFullPathName() });
}

juce::File SystemPlatformServices::getDesktopFolder()
{
    return juce::File::getSpecialLocation (juce::File::userDesktopDirectory);
}

juce::File SystemPlatformServices::getHostApplicationFolder()
{
    return juce::File::getSpecialLocation (juce::File::hostApplicationPath).getParentDirectory();
}

bool SystemPlatformServices::startDetached (const juce::String& program, const juce::StringArray& arguments)
{
    // Everything the children need is made before forking: a host is a threaded
    // process, and after fork only async-signal-safe calls are allowed.
    const auto path = findProgram (program);
    if (path.empty() || access (path.c_str(), X_OK) != 0)
        return false;

    std::vector<std::string> strings { path };
    for (const auto& argument : arguments)
        strings.push_back (argument.toStdString());

    std::vector<char*> argv;
    argv.reserve (strings.size() + 1);
    for (auto& s : strings)
        argv.push_back (s.data());
    argv.push_back (nullptr);

    // The grandchild reports a failed exec through this pipe; a successful one
    // closes it, and so does the grandchild's end.
    int report[2];
    if (pipe2 (report, O_CLOEXEC) != 0)
        return false;

    const auto child = fork();
    if (child < 0)
    {
        close (report[0]);
        close (report[1]);
        return false;
    }

    if (child == 0)
    {
        // The intermediate child leaves at once, so the program is nobody's
        // child to wait for and never lingers as a zombie.
        close (report[0]);
        const auto grandchild = fork();
        if (grandchild == 0)
        {
            setsid();
            execve (argv[0], argv.data(), environ);
            const int error = errno;
            [[maybe_unused]] const auto written = write (report[1], &error, sizeof (error));
            _exit (127);
        }
        _exit (grandchild < 0 ? 1 : 0);
    }

    close (report[1]);
    int status = 0;
    while (waitpid (child, &status, 0) < 0 && errno == EINTR)
    {
    }

    int execError = 0;
    ssize_t got;
    while ((got = read (report[0], &execError, sizeof (execError))) < 0 && errno == EINTR)
    {
    }
    close (report[0]);

    const bool childOk = WIFEXITED (status) && WEXITSTATUS (status) == 0;
    return childOk && got == 0;
}
