#include "Support/LoopbackHttpServer.h"

#include <arpa/inet.h>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <limits>
#include <sstream>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace
{
// The client closed its end (or reset it): a peek finds the end of the stream.
bool hasHungUp (juce::StreamingSocket& client)
{
    pollfd events { client.getRawSocketHandle(), POLLIN, 0 };
    if (::poll (&events, 1, 0) <= 0)
        return false;

    char byte;
    return ::recv (client.getRawSocketHandle(), &byte, 1, MSG_PEEK | MSG_DONTWAIT) <= 0;
}
} // namespace

std::vector<std::string> LoopbackHttpServer::Request::header (const std::string& name) const
{
    std::vector<std::string> values;
    for (const juce::String line : headers)
        if (line.upToFirstOccurrenceOf (":", false, false).equalsIgnoreCase (juce::String (name)))
            values.push_back (line.fromFirstOccurrenceOf (":", false, false).trim().toStdString());
    return values;
}

LoopbackHttpServer::Reply LoopbackHttpServer::text (std::string body, int status)
{
    Reply reply;
    reply.status = status;
    reply.body = std::move (body);
    return reply;
}

LoopbackHttpServer::Reply LoopbackHttpServer::redirect (const std::string& location, int status)
{
    Reply reply;
    reply.status = status;
    reply.location = location;
    return reply;
}

LoopbackHttpServer::Reply LoopbackHttpServer::trickle (size_t bytes, size_t pieceBytes, int pauseMs)
{
    auto reply = text (std::string (bytes, ' '));
    reply.trickleBytes = pieceBytes;
    reply.tricklePauseMs = pauseMs;
    return reply;
}

LoopbackHttpServer::LoopbackHttpServer()
{
    if (listener.createListener (0, "127.0.0.1"))
        port = listener.getBoundPort();

    acceptor = std::thread ([this] { acceptConnections(); });
}

LoopbackHttpServer::~LoopbackHttpServer()
{
    {
        const std::lock_guard<std::mutex> lock (mutex);
        stopping = true;
    }

    changed.notify_all();
    listener.close(); // wakes the acceptor
    acceptor.join();

    for (auto& handler : handlers)
        handler.join();
}

std::string LoopbackHttpServer::address (const std::string& path) const
{
    return "http://127.0.0.1:" + std::to_string (port) + path;
}

void LoopbackHttpServer::serve (const std::string& path, Reply reply)
{
    const std::lock_guard<std::mutex> lock (mutex);
    replies[path] = std::move (reply);
}

void LoopbackHttpServer::release()
{
    {
        const std::lock_guard<std::mutex> lock (mutex);
        ++releases;
    }

    changed.notify_all();
}

std::vector<LoopbackHttpServer::Request> LoopbackHttpServer::getRequests() const
{
    const std::lock_guard<std::mutex> lock (mutex);
    return requests;
}

::testing::AssertionResult LoopbackHttpServer::waitForRequests (size_t count, std::chrono::milliseconds timeout) const
{
    std::unique_lock<std::mutex> lock (mutex);
    if (changed.wait_for (lock, timeout, [&] { return requests.size() >= count; }))
        return ::testing::AssertionSuccess();

    return ::testing::AssertionFailure() << "the server had " << requests.size() << " of " << count
                                         << " requests after " << timeout.count() << " ms";
}

::testing::AssertionResult LoopbackHttpServer::waitForHolds (size_t count, std::chrono::milliseconds timeout) const
{
    return waitFor (holds, count, timeout, "replies held");
}

::testing::AssertionResult LoopbackHttpServer::waitForHangUps (size_t count, std::chrono::milliseconds timeout) const
{
    return waitFor (hangUps, count, timeout, "clients hung up mid-reply");
}

::testing::AssertionResult LoopbackHttpServer::waitFor (const size_t& counter, size_t count, std::chrono::milliseconds timeout,
                                                        const char* what) const
{
    std::unique_lock<std::mutex> lock (mutex);
    if (changed.wait_for (lock, timeout, [&] { return counter >= count; }))
        return ::testing::AssertionSuccess();

    return ::testing::AssertionFailure() << "the server had " << counter << " of " << count << " " << what
                                         << " after " << timeout.count() << " ms";
}

void LoopbackHttpServer::note (size_t& counter)
{
    {
        const std::lock_guard<std::mutex> lock (mutex);
        ++counter;
    }
    changed.notify_all();
}

// Until the release-th release(); false when the client hangs up first or the server stops.
bool LoopbackHttpServer::hold (juce::StreamingSocket& client, size_t releaseCount)
{
    note (holds);

    for (;;)
    {
        {
            std::unique_lock<std::mutex> lock (mutex);
            if (changed.wait_for (lock, std::chrono::milliseconds (20), [&] { return releases >= releaseCount || stopping; }))
                return ! stopping;
        }

        if (hasHungUp (client))
        {
            note (hangUps);
            return false;
        }
    }
}

// Lets this long pass; false when the client hangs up meanwhile or the server stops.
bool LoopbackHttpServer::pause (juce::StreamingSocket& client, int milliseconds)
{
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds (milliseconds);

    for (;;)
    {
        {
            std::unique_lock<std::mutex> lock (mutex);
            const auto until = std::min (end, std::chrono::steady_clock::now() + std::chrono::milliseconds (20));
            if (changed.wait_until (lock, until, [&] { return stopping; }))
                return false;
        }

        if (hasHungUp (client))
        {
            note (hangUps);
            return false;
        }

        if (std::chrono::steady_clock::now() >= end)
            return true;
    }
}

// The body's bytes from..to, whole or as a trickle.
bool LoopbackHttpServer::sendBody (juce::StreamingSocket& client, const Reply& reply, size_t from, size_t to)
{
    if (reply.trickleBytes == 0)
        return send (client, reply.body.substr (from, to - from));

    for (; from < to; from += reply.trickleBytes)
        if (! send (client, reply.body.substr (from, std::min (reply.trickleBytes, to - from)))
            || ! pause (client, reply.tricklePauseMs))
            return false;

    return true;
}

// Never SIGPIPE: a client that gave up must not end the test program.
bool LoopbackHttpServer::send (juce::StreamingSocket& client, const std::string& bytes)
{
    for (size_t sent = 0; sent < bytes.size();)
    {
        const auto n = ::send (client.getRawSocketHandle(), bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
        if (n <= 0)
        {
            note (hangUps);
            return false;
        }
        sent += (size_t) n;
    }

    return true;
}

void LoopbackHttpServer::acceptConnections()
{
    for (;;)
    {
        std::unique_ptr<juce::StreamingSocket> client (listener.waitForNextConnection());

        const std::lock_guard<std::mutex> lock (mutex);
        if (stopping)
            return;

        if (client != nullptr)
            handlers.emplace_back ([this, c = client.release()] { handle (std::unique_ptr<juce::StreamingSocket> (c)); });
    }
}

void LoopbackHttpServer::handle (std::unique_ptr<juce::StreamingSocket> client)
{
    std::string head;
    char buffer[1024];

    while (head.find ("\r\n\r\n") == std::string::npos && head.size() < 16384)
    {
        {
            const std::lock_guard<std::mutex> lock (mutex);
            if (stopping)
                return;
        }

        if (client->waitUntilReady (true, 50) <= 0)
            continue;

        const auto n = client->read (buffer, (int) sizeof (buffer), false);
        if (n <= 0)
            return;
        head.append (buffer, (size_t) n);
    }

    const auto lines = juce::StringArray::fromLines (juce::String (head).upToFirstOccurrenceOf ("\r\n\r\n", false, false));
    Request request { lines[0].toStdString(), {} };
    for (int i = 1; i < lines.size(); ++i)
        request.headers.push_back (lines[i].toStdString());

    const auto path = lines[0].fromFirstOccurrenceOf (" ", false, false).upToFirstOccurrenceOf (" ", false, false).toStdString();
    Reply reply = text ("not found", 404);
    {
        const std::lock_guard<std::mutex> lock (mutex);
        requests.push_back (request);
        if (auto found = replies.find (path); found != replies.end())
            reply = found->second;
    }
    changed.notify_all();

    if (reply.stall)
        hold (*client, std::numeric_limits<size_t>::max());
    else
        this->reply (*client, reply);
}

bool LoopbackHttpServer::reply (juce::StreamingSocket& client, const Reply& reply)
{
    std::string head = "HTTP/1.1 " + std::to_string (reply.status) + " Status\r\n";
    if (! reply.closeDelimited)
        head += "Content-Length: " + std::to_string (reply.announcedLength >= 0 ? (size_t) reply.announcedLength : reply.body.size()) + "\r\n";
    if (! reply.location.empty())
        head += "Location: " + reply.location + "\r\n";
    head += "Connection: close\r\n";
    for (const auto& line : reply.headers)
        head += line + "\r\n";

    size_t releaseCount = 0;

    // The repeated lines in batches, so that a client meets a head that keeps coming.
    for (size_t i = 0; i < reply.repeats; ++i)
    {
        head += reply.repeatedHeader + std::to_string (i) + "\r\n";

        if (i + 1 == reply.holdInHead || head.size() >= 16384)
        {
            if (! send (client, head) || (i + 1 == reply.holdInHead && ! hold (client, ++releaseCount)))
                return false;
            head.clear();
        }
    }

    if (! send (client, head + "\r\n"))
        return false;

    // The body in pieces that end at each hold.
    size_t sent = 0;
    for (size_t i = 0; i <= reply.holdAt.size(); ++i)
    {
        const auto end = i < reply.holdAt.size() ? std::min (reply.holdAt[i], reply.body.size()) : reply.body.size();
        if (! sendBody (client, reply, sent, end))
            return false;

        sent = end;
        if (i < reply.holdAt.size() && ! hold (client, ++releaseCount))
            return false;
    }

    return true;
}

UnansweredPort::UnansweredPort()
{
    sockaddr_in local {};
    local.sin_family = AF_INET;
    local.sin_addr.s_addr = htonl (INADDR_LOOPBACK);
    socklen_t size = sizeof (local);

    listener = ::socket (AF_INET, SOCK_STREAM, 0);
    if (listener < 0 || ::bind (listener, (sockaddr*) &local, size) != 0 || ::listen (listener, 0) != 0
        || ::getsockname (listener, (sockaddr*) &local, &size) != 0)
        return;

    port = ntohs (local.sin_port);

    // One connection completed fills the queue; later requests are dropped rather than refused.
    const auto client = ::socket (AF_INET, SOCK_STREAM, 0);
    ::connect (client, (sockaddr*) &local, size);
    queued.push_back (client);
}

UnansweredPort::~UnansweredPort()
{
    for (const auto client : queued)
        ::close (client);

    if (listener >= 0)
        ::close (listener);
}

std::string UnansweredPort::address (const std::string& path) const
{
    return "http://127.0.0.1:" + std::to_string (port) + path;
}

int UnansweredPort::countWaitingConnections() const
{
    // Each line: slot, local and remote address (hex address:port), state; SYN_SENT is 02.
    char remote[32];
    std::snprintf (remote, sizeof (remote), "0100007F:%04X", port);

    std::ifstream table ("/proc/net/tcp");
    std::string line;
    std::getline (table, line);

    int count = 0;
    while (std::getline (table, line))
    {
        std::istringstream fields (line);
        std::string slot, local, to, state;
        fields >> slot >> local >> to >> state;
        count += to == remote && state == "02" ? 1 : 0;
    }

    return count;
}

::testing::AssertionResult UnansweredPort::waitForWaitingConnections (int count, std::chrono::milliseconds timeout) const
{
    return waitUntil (std::to_string (count) + " unanswered connection requests to port " + std::to_string (port),
                      [this, count] { return countWaitingConnections() == count; }, timeout);
}
