#include "Updates/HttpGet.h"

#include "Updates/CurlTransfer.h"

#include <chrono>

namespace
{
struct Address
{
    juce::String scheme, authority, host, path;
};

bool isSchemeCharacter (juce::juce_wchar c, bool first)
{
    return juce::CharacterFunctions::isLetter (c) || (! first && (juce::CharacterFunctions::isDigit (c) || c == '+' || c == '-' || c == '.'));
}

// scheme://authority/path, with nothing in it that a client might read another way.
bool split (const juce::String& text, Address& address)
{
    for (auto p = text.getCharPointer(); ! p.isEmpty(); ++p)
        if (*p <= ' ' || *p > '~' || *p == '\\')
            return false;

    const auto schemeEnd = text.indexOf ("://");
    if (schemeEnd <= 0)
        return false;

    address.scheme = text.substring (0, schemeEnd).toLowerCase();
    for (int i = 0; i < address.scheme.length(); ++i)
        if (! isSchemeCharacter (address.scheme[i], i == 0))
            return false;

    const auto rest = text.substring (schemeEnd + 3);
    auto authorityEnd = rest.indexOfAnyOf ("/?#");
    if (authorityEnd < 0)
        authorityEnd = rest.length();

    address.authority = rest.substring (0, authorityEnd);
    address.path = rest.substring (authorityEnd);

    if (address.authority.isEmpty() || address.authority.containsChar ('@'))
        return false;

    juce::String port;
    if (address.authority.startsWithChar ('['))
    {
        const auto close = address.authority.indexOfChar (']');
        if (close < 0)
            return false;
        address.host = address.authority.substring (0, close + 1);
        port = address.authority.substring (close + 1);
    }
    else
    {
        address.host = address.authority.upToFirstOccurrenceOf (":", false, false);
        port = address.authority.substring (address.host.length());
    }

    if (port.isNotEmpty() && (port.length() < 2 || ! port.substring (1).containsOnly ("0123456789")))
        return false;

    return address.host.isNotEmpty();
}

bool isLoopbackHost (const juce::String& host)
{
    if (host.equalsIgnoreCase ("localhost") || host == "[::1]")
        return true;

    const auto parts = juce::StringArray::fromTokens (host, ".", "");
    if (parts.size() != 4 || parts[0] != "127")
        return false;

    for (const auto& part : parts)
        if (part.isEmpty() || part.length() > 3 || ! part.containsOnly ("0123456789") || part.getIntValue() > 255)
            return false;

    return true;
}

bool isRedirectStatus (int status)
{
    return status == 301 || status == 302 || status == 303 || status == 307 || status == 308;
}
} // namespace

HttpGet::HttpGet (const juce::URL& address, const juce::String& extraHeaders, int connectionTimeoutMs, int deadline,
                  juce::Thread* owningThread)
    : transfer (std::make_unique<CurlTransfer> (extraHeaders, juce::jmax (1, connectionTimeoutMs))),
      owner (owningThread),
      deadlineMs (deadline),
      current (address.toString (true))
{
    if (owner != nullptr)
    {
        owner->addListener (this);
        if (owner->threadShouldExit())
            transfer->cancel();
    }
}

HttpGet::~HttpGet()
{
    // First, so that no exit request reaches a half-destroyed transfer.
    if (owner != nullptr)
        owner->removeListener (this);
}

void HttpGet::cancel()
{
    transfer->cancel();
}

bool HttpGet::open()
{
    opened = false;
    statusCode = 0;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds (deadlineMs);

    for (int hop = 0;; ++hop)
    {
        // Each hop gets what is left of the deadline; the last one's body runs out of it too.
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds> (deadline - std::chrono::steady_clock::now());

        // The very text checked is the text the client is handed.
        const auto address = current;
        if (! isAllowedAddress (address) || ! transfer->fetchHead (address, (int) left.count()))
            return false;

        const auto& head = transfer->getHead();
        statusCode = head.getStatusCode();

        if (! isRedirectStatus (statusCode))
        {
            received = 0;
            opened = statusCode == 200;
            return opened;
        }

        // Its body, announced or ended by the connection, is never read.
        const auto target = resolveLocation (address, head.getLocation());

        if (hop >= maximumRedirects || ! isAllowedRedirect (address, target))
            return false;

        current = target;
    }
}

int HttpGet::read (void* destination, int maximumBytes)
{
    if (! opened)
        return 0;

    const auto n = transfer->read (destination, maximumBytes);
    received += n;
    return n;
}

bool HttpGet::endedCleanly() const
{
    const auto announced = transfer->getAnnouncedLength();
    return opened && transfer->endedCleanly() && (announced < 0 || received == announced);
}

bool HttpGet::readAll (juce::MemoryBlock& into, size_t maximumBytes)
{
    into.reset();
    juce::HeapBlock<char> chunk (chunkBytes);

    for (;;)
    {
        const auto n = read (chunk.get(), chunkBytes);
        if (n == 0)
            return endedCleanly();

        if (into.getSize() + (size_t) n > maximumBytes)
        {
            into.reset();
            return false;
        }

        into.append (chunk.get(), (size_t) n);
    }
}

bool HttpGet::isAllowedAddress (const juce::String& text)
{
    Address address;
    if (! split (text, address))
        return false;

    return address.scheme == "https" || (address.scheme == "http" && isLoopbackHost (address.host));
}

bool HttpGet::isAllowedRedirect (const juce::String& from, const juce::String& to)
{
    Address source, target;
    if (! split (from, source) || ! split (to, target) || ! isAllowedAddress (to))
        return false;

    return ! (source.scheme == "https" && target.scheme == "http");
}

juce::String HttpGet::resolveLocation (const juce::String& base, const juce::String& location)
{
    auto target = location.trim();
    Address address;

    if (target.isEmpty() || ! split (base, address))
        return {};

    const auto colon = target.indexOfChar (':');
    const auto firstSeparator = target.indexOfAnyOf ("/?#");
    if (colon > 0 && (firstSeparator < 0 || colon < firstSeparator))
        return target;

    if (target.startsWith ("//"))
        return address.scheme + ":" + target;

    const auto root = address.scheme + "://" + address.authority;

    if (target.startsWithChar ('/'))
        return root + target;

    const auto path = address.path.upToFirstOccurrenceOf ("?", false, false).upToFirstOccurrenceOf ("#", false, false);

    if (target.startsWithChar ('?'))
        return root + path + target;

    return root + path.upToLastOccurrenceOf ("/", true, false) + (path.isEmpty() ? "/" : "") + target;
}
