#include "OutputFile.h"

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <filesystem>
#include <random>
#include <stdexcept>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>

namespace
{
namespace fs = std::filesystem;

// What is replaced: the file an existing symbolic link leads to, so that the link stays.
std::string targetOf (const std::string& path)
{
    std::error_code error;

    if (fs::is_symlink (path, error))
        if (auto resolved = fs::canonical (path, error); ! error)
            return resolved.string();

    return path;
}

// A name beside the target that no file has yet: hidden, and kept short
// enough for the folder whatever the target's name.
std::string candidateBeside (const std::string& target)
{
    static std::mt19937 random { std::random_device {}() };
    static const char letters[] = "abcdefghijklmnopqrstuvwxyz0123456789";
    std::uniform_int_distribution<size_t> pick (0, sizeof (letters) - 2);

    const fs::path file (target);
    auto name = "." + file.filename().string().substr (0, 200) + ".";

    for (int i = 0; i < 8; ++i)
        name += letters[pick (random)];

    return (file.parent_path() / name).string();
}

bool writeAll (int fd, const std::vector<uint8_t>& bytes)
{
    size_t written = 0;

    while (written < bytes.size())
    {
        const auto done = write (fd, bytes.data() + written, bytes.size() - written);

        if (done < 0 && errno == EINTR)
            continue;

        if (done <= 0)
        {
            errno = done < 0 ? errno : EIO;
            return false;
        }

        written += (size_t) done;
    }

    return true;
}
} // namespace

OutputFile::OutputFile (const std::string& pathToWrite, const std::vector<uint8_t>& bytes)
    : path (pathToWrite), target (targetOf (pathToWrite))
{
    struct stat existing {};
    const bool exists = stat (target.c_str(), &existing) == 0;

    const auto failure = [&] (const std::string& reason)
    {
        return std::runtime_error ("cannot write " + path + ": " + reason
                                   + (exists ? "; the file that was there is kept" : ""));
    };

    if (exists && ! S_ISREG (existing.st_mode))
        throw failure ("it is not a regular file");

    int fd = -1;

    for (int attempt = 0; fd < 0; ++attempt)
    {
        temporary = candidateBeside (target);
        fd = open (temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);

        if (fd < 0 && (errno != EEXIST || attempt == 100))
        {
            const int cause = errno;
            temporary.clear();
            throw failure (std::generic_category().message (cause));
        }
    }

    // Written, its permissions those of the file it replaces, on the disk, and closed, each checked.
    const bool whole = writeAll (fd, bytes)
                    && (! exists || fchmod (fd, existing.st_mode & 07777) == 0)
                    && fsync (fd) == 0;
    const int cause = errno;

    if (close (fd) != 0 || ! whole)
    {
        const int reported = whole ? errno : cause;
        unlink (temporary.c_str());
        temporary.clear();
        throw failure (std::generic_category().message (reported));
    }
}

OutputFile::~OutputFile()
{
    if (! temporary.empty())
        unlink (temporary.c_str());
}

std::string OutputFile::putInPlace()
{
    if (std::rename (temporary.c_str(), target.c_str()) != 0)
    {
        const int cause = errno;
        const bool kept = access (target.c_str(), F_OK) == 0;
        throw std::runtime_error ("cannot put " + path + " in place: " + std::generic_category().message (cause)
                                  + (kept ? "; the file that was there is kept" : ""));
    }

    temporary.clear();
    return fs::absolute (path).lexically_normal().string();
}

std::string writeWholeFile (const std::string& path, const std::vector<uint8_t>& bytes)
{
    OutputFile file (path, bytes);
    return file.putInPlace();
}
