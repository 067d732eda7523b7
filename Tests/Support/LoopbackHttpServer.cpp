#include "Support/LoopbackHttpServer.h"

#include <chrono>
#include <limits>
#include <sys/socket.h>

namespace
{
constexpr size_t largestRequestHead = 16 * 1024;

std::string reasonFor (int status)
{
    switch (status)
    {
        case 200: return "OK";
        case 301: return "Moved Permanently";
        case 302: return "Found";
        case 307: return "Temporary Redirect";
        case 404: return "Not Found";
        case 500: return "Internal Server Error";
        default: return "Status";
    }
}

std::string lower (std::string text)
{
    for (auto& c : text)
        c = (char) std::tolower ((unsigned char) c);
    return text;
}
} // namespace

std::vector<std::string> LoopbackHttpServer::Request::header (const std::string& name) const
{
    std::vector<std::string> values;

    for (const auto& line : headers)
    {
        const auto colon = line.find (':');
        if (colon != std::string::npos && lower (line.substr (0, colon)) == lower (name))
            values.push_back (juce::String (line.substr (colon + 1)).trim().toStdString());
    }

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
    reply.headers.push_back ({ "Location", location });
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

bool LoopbackHttpServer::waitForRequests (size_t count, int timeoutMs) const
{
    std::unique_lock<std::mutex> lock (mutex);
    return changed.wait_for (lock, std::chrono::milliseconds (timeoutMs), [&] { return requests.size() >= count; });
}

bool LoopbackHttpServer::waitForRelease (size_t count)
{
    std::unique_lock<std::mutex> lock (mutex);
    changed.wait (lock, [&] { return releases >= count || stopping; });
    return ! stopping;
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

bool LoopbackHttpServer::sendAll (juce::StreamingSocket& client, const std::string& bytes)
{
    // Never SIGPIPE: a client that gave up must not end the test program.
    for (size_t sent = 0; sent < bytes.size();)
    {
        const auto n = ::send (client.getRawSocketHandle(), bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
        if (n <= 0)
            return false;
        sent += (size_t) n;
    }

    return true;
}

void LoopbackHttpServer::handle (std::unique_ptr<juce::StreamingSocket> client)
{
    std::string head;
    char buffer[1024];

    while (head.find ("\r\n\r\n") == std::string::npos && head.size() < largestRequestHead)
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

    Request request;
    const auto lines = juce::StringArray::fromLines (juce::String (head).upToFirstOccurrenceOf ("\r\n\r\n", false, false));
    request.line = lines[0].toStdString();
    for (int i = 1; i < lines.size(); ++i)
        request.headers.push_back (lines[i].toStdString());

    const auto path = juce::String (request.line).fromFirstOccurrenceOf (" ", false, false)
                          .upToFirstOccurrenceOf (" ", false, false).toStdString();

    Reply reply = text ("not found", 404);
    {
        const std::lock_guard<std::mutex> lock (mutex);
        requests.push_back (request);
        if (auto found = replies.find (path); found != replies.end())
            reply = found->second;
    }

    changed.notify_all();

    if (reply.stall)
    {
        waitForRelease (std::numeric_limits<size_t>::max());
        return;
    }

    std::string response = "HTTP/1.1 " + std::to_string (reply.status) + " " + reasonFor (reply.status) + "\r\n";
    if (reply.announcedLength != -2)
        response += "Content-Length: "
                    + std::to_string (reply.announcedLength >= 0 ? (size_t) reply.announcedLength : reply.body.size()) + "\r\n";
    for (const auto& [name, value] : reply.headers)
        response += name + ": " + value + "\r\n";
    response += "Connection: close\r\n\r\n";

    if (! sendAll (*client, response))
        return;

    const auto chunk = reply.trickleChunk > 0 ? reply.trickleChunk : reply.body.size();
    size_t holdsPassed = 0;

    for (size_t sent = 0; sent < reply.body.size();)
    {
        auto piece = std::min (chunk, reply.body.size() - sent);

        for (size_t i = holdsPassed; i < reply.holdAt.size(); ++i)
        {
            if (reply.holdAt[i] == sent && ! waitForRelease (++holdsPassed))
                return;

            if (reply.holdAt[i] > sent)
                piece = std::min (piece, reply.holdAt[i] - sent);
        }

        if (reply.trickleDelayMs > 0)
            std::this_thread::sleep_for (std::chrono::milliseconds (reply.trickleDelayMs));

        if (! sendAll (*client, reply.body.substr (sent, piece)))
            return;

        sent += piece;
    }
}
