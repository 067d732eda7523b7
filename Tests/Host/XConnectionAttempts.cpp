#include "Host/XConnectionAttempts.h"

#include <dlfcn.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/un.h>

#include <atomic>
#include <cstddef>
#include <cstring>
#include <mutex>
#include <string>

namespace
{
std::atomic<int> attempts { 0 };
std::mutex lastLock;
std::string lastTarget;

std::string xServerAt (const sockaddr* address, socklen_t length)
{
    if (address == nullptr)
        return {};

    if (address->sa_family == AF_UNIX && length > offsetof (sockaddr_un, sun_path))
    {
        const char* name = reinterpret_cast<const sockaddr_un*> (address)->sun_path;
        auto size = length - offsetof (sockaddr_un, sun_path);
        if (name[0] == '\0') // an abstract name, after a NUL byte
            ++name, --size;

        const std::string path (name, strnlen (name, size));
        const std::string folder = "/.X11-unix/";
        const auto at = path.find (folder);
        return at == std::string::npos ? std::string() : path.substr (at + folder.size());
    }

    const int port = address->sa_family == AF_INET    ? ntohs (reinterpret_cast<const sockaddr_in*> (address)->sin_port)
                     : address->sa_family == AF_INET6 ? ntohs (reinterpret_cast<const sockaddr_in6*> (address)->sin6_port)
                                                      : 0;
    return port >= 6000 && port < 6100 ? "port " + std::to_string (port) : std::string();
}
} // namespace

int XConnectionAttempts::count()
{
    return attempts.load();
}

std::string XConnectionAttempts::last()
{
    const std::lock_guard<std::mutex> held (lastLock);
    return lastTarget;
}

// Found before the C library's by every library of the process (-Wl,--export-dynamic-symbol=connect).
extern "C" int connect (int socket, const sockaddr* address, socklen_t length)
{
    using Connect = int (*) (int, const sockaddr*, socklen_t);
    static const auto next = reinterpret_cast<Connect> (dlsym (RTLD_NEXT, "connect"));

    if (const auto target = xServerAt (address, length); ! target.empty())
    {
        ++attempts;
        const std::lock_guard<std::mutex> held (lastLock);
        lastTarget = target;
    }

    return next (socket, address, length);
}
