#pragma once

#include "Updates/HttpResponseHead.h"

#include <juce_core/juce_core.h>
#include <curl/curl.h>

#include <atomic>
#include <vector>

// One HTTP GET at a time through libcurl, driven by the thread that calls
// fetchHead() and read(). cancel() ends it from any thread without waiting for
// it: it takes no lock, and wakes the transfer wherever it waits for the
// network. The response's head is checked line by line as it arrives, so a
// hostile head is refused before it is whole, and redirects are left to the
// caller. The connection time-out is the one given; a transfer that moves
// fewer than 100 bytes a second for that long (in whole seconds) fails, and so
// does one still running when the time it was given has passed.
class CurlTransfer
{
public:
    CurlTransfer (const juce::String& extraHeaders, int timeoutMs);
    ~CurlTransfer();

    // Ends the previous transfer, starts a GET of the address that must end,
    // body and all, within timeLimitMs, and waits for the final response's
    // head; false without one (no connection, a time-out, a refused head, a cancel).
    bool fetchHead (const juce::String& address, int timeLimitMs);

    const HttpResponseHead& getHead() const noexcept { return head; }

    // The Content-Length of the response; -1 without one.
    juce::int64 getAnnouncedLength() const noexcept { return announcedLength; }

    // Up to maximumBytes of the body; 0 once it has ended, failed or been cancelled.
    int read (void* destination, int maximumBytes);

    // The body came to its end with no transfer error (one cut short of its
    // Content-Length is an error), and nothing was cancelled.
    bool endedCleanly() const noexcept;

    // Any thread; never waits.
    void cancel() noexcept;

private:
    template <typename Predicate>
    void runUntil (Predicate done);
    void stop();

    static size_t receiveHead (char* text, size_t size, size_t count, void* transfer);
    static size_t receiveBody (char* bytes, size_t size, size_t count, void* transfer);

    CURLM* const multi;
    CURL* const easy;
    curl_slist* requestHeaders = nullptr;
    std::atomic<bool> cancelled { false };

    // The current transfer's, on the driving thread only.
    bool added = false, finished = false;
    CURLcode outcome = CURLE_OK;
    HttpResponseHead head;
    juce::int64 announcedLength = -1;
    std::vector<char> body;
    size_t bodyRead = 0;

    JUCE_DECLARE_NON_COPYABLE (CurlTransfer)
};
