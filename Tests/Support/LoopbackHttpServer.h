#pragma once

#include "Support/Waiting.h"

#include <juce_core/juce_core.h>

#include <condition_variable>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

// A small HTTP server on 127.0.0.1 (an ephemeral port) inside the test process.
// It records every request's line and headers and answers each path as a test
// asked: a body, an error, a redirect, a stall, a body shorter than its
// announced length or ended by closing the connection, a head of many lines,
// a reply held back at given points until release(), or a body that trickles
// in, too slowly ever to end but never slowly enough for a time-out. It notes
// every client
// that hangs up before its whole reply was sent. Other paths get 404. One
// thread per connection.
class LoopbackHttpServer
{
public:
    struct Reply
    {
        int status = 200;
        std::string location;             // sent as a Location header when set
        std::string body;
        long announcedLength = -1;        // Content-Length; -1: the body's size
        bool closeDelimited = false;      // no Content-Length: the body ends as the connection closes
        bool stall = false;               // read the request, then answer nothing
        std::vector<size_t> holdAt;       // body offsets, ascending, each waiting for the next release()

        // Header lines after the others: first these as they stand, then
        // repeatedHeader, each line ending in its index: "Location: /ok"
        // gives "Location: /ok0", "Location: /ok1"...; the head holds after
        // holdInHead of them until the next release().
        std::vector<std::string> headers;
        std::string repeatedHeader;
        size_t repeats = 0;
        size_t holdInHead = std::string::npos;
        size_t trickleBytes = 0;          // the body in pieces of this size,
        int tricklePauseMs = 0;           // each followed by this pause
    };

    struct Request
    {
        std::string line;
        std::vector<std::string> headers;

        // The values of every header of this name (case-insensitive).
        std::vector<std::string> header (const std::string& name) const;
    };

    static Reply text (std::string body, int status = 200);
    static Reply redirect (const std::string& location, int status = 302);
    // A body of `bytes` blanks sent in pieces of pieceBytes, each followed by a pause of pauseMs.
    static Reply trickle (size_t bytes, size_t pieceBytes, int pauseMs);

    LoopbackHttpServer();
    ~LoopbackHttpServer();

    std::string address (const std::string& path) const;
    juce::URL url (const std::string& path) const { return juce::URL (address (path)); }

    void serve (const std::string& path, Reply reply);
    void release();

    std::vector<Request> getRequests() const;

    // Until this many requests have come, this many replies have reached a hold
    // point, or this many clients have hung up before their whole reply was
    // sent; for ASSERT_TRUE.
    ::testing::AssertionResult waitForRequests (size_t count, std::chrono::milliseconds timeout = patience) const;
    ::testing::AssertionResult waitForHolds (size_t count, std::chrono::milliseconds timeout = patience) const;
    ::testing::AssertionResult waitForHangUps (size_t count, std::chrono::milliseconds timeout = patience) const;

private:
    void acceptConnections();
    void handle (std::unique_ptr<juce::StreamingSocket> client);
    bool reply (juce::StreamingSocket& client, const Reply& reply);
    bool send (juce::StreamingSocket& client, const std::string& bytes);
    bool sendBody (juce::StreamingSocket& client, const Reply& reply, size_t from, size_t to);
    bool hold (juce::StreamingSocket& client, size_t releaseCount);
    bool pause (juce::StreamingSocket& client, int milliseconds);
    ::testing::AssertionResult waitFor (const size_t& counter, size_t count, std::chrono::milliseconds timeout,
                                        const char* what) const;
    void note (size_t& counter);

    juce::StreamingSocket listener;
    int port = 0;

    mutable std::mutex mutex;
    mutable std::condition_variable changed;
    std::map<std::string, Reply> replies;
    std::vector<Request> requests;
    size_t releases = 0, holds = 0, hangUps = 0;
    bool stopping = false;

    std::vector<std::thread> handlers;
    std::thread acceptor;
};

// A port on 127.0.0.1 whose connections never complete: its listener's queue
// is full and nothing accepts, so a client's connection request goes
// unanswered, as behind a firewall that drops packets.
class UnansweredPort
{
public:
    UnansweredPort();
    ~UnansweredPort();

    std::string address (const std::string& path) const;

    // Connection requests to this port still unanswered (SYN_SENT, as the
    // kernel lists this computer's connections), and waits for their number.
    int countWaitingConnections() const;
    ::testing::AssertionResult waitForWaitingConnections (int count, std::chrono::milliseconds timeout = patience) const;

private:
    int listener = -1;
    int port = 0;
    std::vector<int> queued;
};
