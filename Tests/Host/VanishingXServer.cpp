#include "Host/VanishingXServer.h"

#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <utility>
#include <vector>

namespace
{
using Bytes = std::vector<uint8_t>;

uint32_t word16 (const Bytes& bytes, size_t at) { return bytes[at] | (uint32_t) bytes[at + 1] << 8; }
uint32_t word32 (const Bytes& bytes, size_t at) { return word16 (bytes, at) | word16 (bytes, at + 2) << 16; }
size_t padded (uint32_t size) { return (size + 3u) & ~3u; }

// The size of the whole message at the front, or 0 while it has not all come.
// In the X protocol's client byte order, which is this machine's ('l').
size_t setupRequestSize (const Bytes& b) { return b.size() < 12 ? 0 : 12 + padded (word16 (b, 6)) + padded (word16 (b, 8)); }
size_t setupReplySize (const Bytes& b) { return b.size() < 8 ? 0 : 8 + 4 * (size_t) word16 (b, 6); }

size_t requestSize (const Bytes& b)
{
    if (b.size() < 4)
        return 0;
    if (word16 (b, 2) != 0)
        return 4 * (size_t) word16 (b, 2);
    return b.size() < 8 ? 0 : 4 * (size_t) word32 (b, 4); // a big request
}

// Replies and generic events carry more than the 32 bytes of every message.
size_t serverMessageSize (const Bytes& b)
{
    if (b.size() < 32)
        return 0;
    const bool longer = b[0] == 1 || (b[0] & 0x7f) == 35;
    return 32 + (longer ? 4 * (size_t) word32 (b, 4) : 0);
}

bool asksForGenericEvents (const Bytes& request)
{
    constexpr uint8_t queryExtension = 98;
    const std::string name = "Generic Event Extension";
    return request[0] == queryExtension && request.size() >= 8 + name.size() && word16 (request, 4) == name.size()
           && std::memcmp (request.data() + 8, name.data(), name.size()) == 0;
}

bool sendAll (int socket, const uint8_t* data, size_t size)
{
    while (size > 0)
    {
        const auto sent = send (socket, data, size, MSG_NOSIGNAL);
        if (sent <= 0)
            return false;
        data += sent;
        size -= (size_t) sent;
    }
    return true;
}

// Takes the whole messages at the front of `pending`, by `sizeOf`.
template <typename Use>
void eachWhole (Bytes& pending, size_t (*sizeOf) (const Bytes&), bool& first, size_t (*firstSize) (const Bytes&), Use use)
{
    for (;;)
    {
        const auto size = first ? firstSize (pending) : sizeOf (pending);
        if (size == 0 || size > pending.size())
            return;
        const Bytes message (pending.begin(), pending.begin() + (long) size);
        pending.erase (pending.begin(), pending.begin() + (long) size);
        first = false;
        if (! use (message))
            return;
    }
}
} // namespace

VanishingXServer::VanishingXServer (const std::string& realDisplay, int messages)
    : realSocket ("/tmp/.X11-unix/X" + realDisplay.substr (realDisplay.find (':') + 1)), messagesBeforeGoing (messages)
{
    listener = socket (AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    for (int number = 100; listener >= 0 && number < 200 && display.empty(); ++number)
    {
        const auto name = "/tmp/.X11-unix/X" + std::to_string (number);
        sockaddr_un address {};
        address.sun_family = AF_UNIX;
        std::memcpy (address.sun_path + 1, name.data(), name.size()); // abstract: after a NUL byte
        const auto length = (socklen_t) (offsetof (sockaddr_un, sun_path) + 1 + name.size());
        if (bind (listener, reinterpret_cast<sockaddr*> (&address), length) == 0 && listen (listener, 4) == 0)
            display = ":" + std::to_string (number);
    }

    if (display.empty())
        return;

    relaying = std::thread ([this]
    {
        pollfd waiting { listener, POLLIN, 0 };
        while (! stopping && poll (&waiting, 1, 50) >= 0)
            if ((waiting.revents & POLLIN) != 0)
            {
                const int client = accept4 (listener, nullptr, nullptr, SOCK_CLOEXEC);
                close (std::exchange (listener, -1)); // one client only: the next finds no server
                if (client >= 0)
                    relay (client);
                return;
            }
    });
}

VanishingXServer::~VanishingXServer()
{
    stopping = true;
    if (relaying.joinable())
        relaying.join();
    if (listener >= 0)
        close (listener);
}

void VanishingXServer::relay (int client)
{
    const int server = socket (AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_un address {};
    address.sun_family = AF_UNIX;
    std::strncpy (address.sun_path, realSocket.c_str(), sizeof (address.sun_path) - 1);
    const bool connected = server >= 0 && connect (server, reinterpret_cast<sockaddr*> (&address), sizeof (address)) == 0;

    Bytes fromClient, fromServer;
    bool setupRequest = true, setupReply = true, asked = false, open = connected;
    int messagesSinceAsked = 0;
    uint8_t buffer[65536];

    // Whole messages either way, until the one at which the server goes.
    const auto passes = [&] (int to, const Bytes& message)
    {
        gone = gone || (asked && messagesSinceAsked++ == messagesBeforeGoing);
        return ! gone && sendAll (to, message.data(), message.size());
    };

    while (open && ! stopping)
    {
        pollfd sides[] = { { client, POLLIN, 0 }, { server, POLLIN, 0 } };
        if (poll (sides, 2, 50) < 0)
            break;

        if ((sides[0].revents & (POLLIN | POLLHUP | POLLERR)) != 0)
        {
            const auto got = recv (client, buffer, sizeof (buffer), 0);
            open = got > 0;
            fromClient.insert (fromClient.end(), buffer, buffer + std::max<ssize_t> (got, 0));
            eachWhole (fromClient, requestSize, setupRequest, setupRequestSize, [&] (const Bytes& request)
            {
                open = open && passes (server, request);
                asked = asked || asksForGenericEvents (request);
                return open;
            });
        }

        if (open && (sides[1].revents & (POLLIN | POLLHUP | POLLERR)) != 0)
        {
            const auto got = recv (server, buffer, sizeof (buffer), 0);
            open = got > 0;
            fromServer.insert (fromServer.end(), buffer, buffer + std::max<ssize_t> (got, 0));
            eachWhole (fromServer, serverMessageSize, setupReply, setupReplySize, [&] (const Bytes& message)
            {
                open = open && passes (client, message);
                return open;
            });
        }
    }

    shutdown (client, SHUT_RDWR);
    close (client);
    if (server >= 0)
        close (server);
}
