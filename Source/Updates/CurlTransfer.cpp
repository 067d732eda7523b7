#include "Updates/CurlTransfer.h"

#include <cstring>

namespace
{
// The longest the driving thread sleeps in one wait, besides libcurl's own
// timers; a cancel wakes it at once whatever this is.
constexpr int longestWaitMs = 1000;

CURLM* createMulti()
{
    // libcurl initialises itself once for the whole process (thread-safe in the versions we build with).
    static const auto initialised = curl_global_init (CURL_GLOBAL_DEFAULT);
    return initialised == CURLE_OK ? curl_multi_init() : nullptr;
}
} // namespace

CurlTransfer::CurlTransfer (const juce::String& extraHeaders, int timeoutMs)
    : multi (createMulti()),
      easy (multi != nullptr ? curl_easy_init() : nullptr)
{
    if (easy == nullptr)
        return;

    for (const auto& line : juce::StringArray::fromLines (extraHeaders))
        if (line.isNotEmpty())
            requestHeaders = curl_slist_append (requestHeaders, line.toRawUTF8());

    const long seconds = ((long) timeoutMs + 999) / 1000;

    curl_easy_setopt (easy, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt (easy, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt (easy, CURLOPT_FOLLOWLOCATION, 0L);
    curl_easy_setopt (easy, CURLOPT_HTTP_VERSION, (long) CURL_HTTP_VERSION_1_1);
    curl_easy_setopt (easy, CURLOPT_HTTPHEADER, requestHeaders);
    curl_easy_setopt (easy, CURLOPT_CONNECTTIMEOUT_MS, (long) timeoutMs);
    curl_easy_setopt (easy, CURLOPT_LOW_SPEED_LIMIT, 100L);
    curl_easy_setopt (easy, CURLOPT_LOW_SPEED_TIME, seconds);
    curl_easy_setopt (easy, CURLOPT_HEADERFUNCTION, receiveHead);
    curl_easy_setopt (easy, CURLOPT_HEADERDATA, this);
    curl_easy_setopt (easy, CURLOPT_WRITEFUNCTION, receiveBody);
    curl_easy_setopt (easy, CURLOPT_WRITEDATA, this);
    // A name still being looked up is left to its lookup thread rather than waited for.
    curl_easy_setopt (easy, CURLOPT_QUICK_EXIT, 1L);
}

CurlTransfer::~CurlTransfer()
{
    stop();

    if (easy != nullptr)
        curl_easy_cleanup (easy);

    curl_slist_free_all (requestHeaders);

    if (multi != nullptr)
        curl_multi_cleanup (multi);
}

void CurlTransfer::cancel() noexcept
{
    cancelled = true;

    // The one libcurl call meant for another thread: a write to the transfer's wake-up socket.
    if (multi != nullptr)
        curl_multi_wakeup (multi);
}

void CurlTransfer::stop()
{
    if (added)
        curl_multi_remove_handle (multi, easy);

    added = finished = false;
    outcome = CURLE_OK;
    head = {};
    announcedLength = -1;
    body.clear();
    bodyRead = 0;
}

bool CurlTransfer::fetchHead (const juce::String& address, int timeLimitMs)
{
    stop();

    // A limit of 0 would mean none.
    if (easy == nullptr || cancelled || timeLimitMs <= 0
        || curl_easy_setopt (easy, CURLOPT_URL, address.toRawUTF8()) != CURLE_OK
        || curl_easy_setopt (easy, CURLOPT_TIMEOUT_MS, (long) timeLimitMs) != CURLE_OK
        || curl_multi_add_handle (multi, easy) != CURLM_OK)
        return false;

    added = true;
    runUntil ([this] { return head.isComplete(); });

    if (cancelled || ! head.isComplete())
        return false;

    curl_off_t length = -1;
    if (curl_easy_getinfo (easy, CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &length) == CURLE_OK)
        announcedLength = (juce::int64) length;

    return true;
}

int CurlTransfer::read (void* destination, int maximumBytes)
{
    if (! head.isComplete() || maximumBytes <= 0)
        return 0;

    if (bodyRead == body.size())
    {
        body.clear();
        bodyRead = 0;
        runUntil ([this] { return ! body.empty(); });
    }

    const auto n = std::min ((size_t) maximumBytes, body.size() - bodyRead);
    if (cancelled || n == 0)
        return 0;

    std::memcpy (destination, body.data() + bodyRead, n);
    bodyRead += n;
    return (int) n;
}

bool CurlTransfer::endedCleanly() const noexcept
{
    return finished && outcome == CURLE_OK && ! cancelled && bodyRead == body.size();
}

template <typename Predicate>
void CurlTransfer::runUntil (Predicate done)
{
    while (! cancelled && ! finished && ! done())
    {
        int active = 0;
        if (curl_multi_perform (multi, &active) != CURLM_OK)
        {
            outcome = CURLE_FAILED_INIT;
            finished = true;
            return;
        }

        if (active == 0)
        {
            int left = 0;
            outcome = CURLE_RECV_ERROR;
            while (const auto* message = curl_multi_info_read (multi, &left))
                if (message->msg == CURLMSG_DONE && message->easy_handle == easy)
                    outcome = message->data.result;

            finished = true;
            return;
        }

        if (! done())
            curl_multi_poll (multi, nullptr, 0, longestWaitMs, nullptr);
    }
}

size_t CurlTransfer::receiveHead (char* text, size_t size, size_t count, void* userData)
{
    auto& transfer = *static_cast<CurlTransfer*> (userData);
    const auto bytes = size * count;

    // Anything but the count given aborts the transfer.
    return ! transfer.cancelled && transfer.head.addLine (text, bytes) ? bytes : 0;
}

size_t CurlTransfer::receiveBody (char* bytes, size_t size, size_t count, void* userData)
{
    auto& transfer = *static_cast<CurlTransfer*> (userData);
    const auto n = size * count;

    if (transfer.cancelled)
        return 0;

    transfer.body.insert (transfer.body.end(), bytes, bytes + n);
    return n;
}
