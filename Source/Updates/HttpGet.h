#pragma once

#include <juce_core/juce_core.h>
#include <memory>

class CurlTransfer;

// One HTTP GET as the update jobs make it: with the plug-in's extra header, a
// finite connection time-out, and redirects followed here rather than by the
// HTTP client, so that every address on the way is checked: https anywhere,
// plain http only on this computer, and never from https down to http. A
// response head past its limits, or a redirect with more than one Location or
// one too long, is refused before it is whole.
//
// The whole fetch, every redirect and the body included, fails once its
// deadline has passed, however steadily the server keeps sending.
//
// When the owning thread is asked to exit, the transfer is cancelled at once,
// whatever the server does (stalls, or keeps sending): the cancel takes no
// lock and wakes the transfer wherever it waits.
class HttpGet : private juce::Thread::Listener
{
public:
    static constexpr int maximumRedirects = 5;
    static constexpr int chunkBytes = 8192;

    // deadlineMs: from open() to the body's end. owner: the thread whose exit
    // request cancels the transfer (may be null).
    HttpGet (const juce::URL& address, const juce::String& extraHeaders, int connectionTimeoutMs, int deadlineMs,
             juce::Thread* owner);
    ~HttpGet() override;

    // Connects, following allowed redirects; true once a 200 response is open.
    bool open();

    // The status of the last response (0 without one).
    int getStatusCode() const noexcept { return statusCode; }

    // Up to maximumBytes of the body; 0 once it has ended (or was cancelled).
    int read (void* destination, int maximumBytes);

    // Whether the body ended as announced: no transfer error, and as many bytes
    // as a Content-Length header promised.
    bool endedCleanly() const;

    // The whole body, when it fits in maximumBytes and ends cleanly.
    bool readAll (juce::MemoryBlock& into, size_t maximumBytes);

    // Makes open() and read() return at once; any thread.
    void cancel();

    // https anywhere, http only to the loopback host; no user name, no odd characters.
    static bool isAllowedAddress (const juce::String& address);
    static bool isAllowedRedirect (const juce::String& from, const juce::String& to);

    // A Location header's target against the address that sent it.
    static juce::String resolveLocation (const juce::String& base, const juce::String& location);

private:
    void exitSignalSent() override { cancel(); }

    const std::unique_ptr<CurlTransfer> transfer;
    juce::Thread* const owner;
    const int deadlineMs;
    juce::String current;

    bool opened = false;
    int statusCode = 0;
    juce::int64 received = 0;

    JUCE_DECLARE_NON_COPYABLE (HttpGet)
};
