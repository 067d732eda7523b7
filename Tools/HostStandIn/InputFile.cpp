#include "InputFile.h"

#include <cerrno>
#include <fcntl.h>
#include <stdexcept>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>
#include <utility>

namespace
{
// Closes the descriptor however the read ends.
struct Descriptor
{
    int fd;
    ~Descriptor()
    {
        if (fd >= 0)
            close (fd);
    }
};

std::string kindOf (mode_t mode)
{
    if (S_ISDIR (mode))  return "it is a folder";
    if (S_ISCHR (mode) || S_ISBLK (mode)) return "it is a device, not a file";
    if (S_ISFIFO (mode)) return "it is a pipe, not a file";
    if (S_ISSOCK (mode)) return "it is a socket, not a file";
    return "it is not a regular file";
}

// "1073741824 bytes (1 GiB)": a cap as a user reads it.
std::string describeBytes (uint64_t bytes)
{
    auto text = std::to_string (bytes) + " bytes";

    for (const auto& [size, unit] : { std::pair { uint64_t (1) << 30, " GiB" }, { uint64_t (1) << 20, " MiB" },
                                      { uint64_t (1) << 10, " KiB" } })
        if (bytes >= size && bytes % size == 0)
            return text + " (" + std::to_string (bytes / size) + unit + ")";

    return text;
}
} // namespace

std::vector<uint8_t> readInputFile (const std::string& path, uint64_t maximumBytes, const std::string& what)
{
    const auto refuse = [&] (const std::string& reason)
    {
        return std::runtime_error ("cannot read " + what + " " + path + ": " + reason);
    };

    // Not blocking, so that opening a pipe nobody writes to returns at once and is refused.
    const Descriptor file { open (path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC) };

    if (file.fd < 0)
        throw refuse (errno == ENOENT ? "there is no such file" : std::generic_category().message (errno));

    struct stat status {};

    if (fstat (file.fd, &status) != 0)
        throw refuse (std::generic_category().message (errno));

    if (! S_ISREG (status.st_mode))
        throw refuse (kindOf (status.st_mode));

    if ((uint64_t) status.st_size > maximumBytes)
        throw refuse ("it holds more than " + describeBytes (maximumBytes) + ", the most read of a " + what);

    // What it holds now; what is added while it is read is left out.
    std::vector<uint8_t> bytes ((size_t) status.st_size);
    size_t filled = 0;

    while (filled < bytes.size())
    {
        const auto got = read (file.fd, bytes.data() + filled, bytes.size() - filled);

        if (got < 0 && errno == EINTR)
            continue;

        if (got < 0)
            throw refuse (std::generic_category().message (errno));

        if (got == 0)
            break;

        filled += (size_t) got;
    }

    bytes.resize (filled);
    return bytes;
}
