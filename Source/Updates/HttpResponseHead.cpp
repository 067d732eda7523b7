#include "Updates/HttpResponseHead.h"

#include "Utilities/InputLimits.h"

namespace
{
bool isDigit (char c) { return c >= '0' && c <= '9'; }
bool isSpace (char c) { return c == ' ' || c == '\t'; }

bool equalsIgnoringCase (const char* text, size_t size, const char* lowerCase)
{
    for (size_t i = 0; i < size; ++i, ++lowerCase)
    {
        const char c = text[i] >= 'A' && text[i] <= 'Z' ? (char) (text[i] - 'A' + 'a') : text[i];
        if (*lowerCase == 0 || c != *lowerCase)
            return false;
    }

    return *lowerCase == 0;
}
} // namespace

bool HttpResponseHead::addLine (const char* text, size_t size)
{
    if (refused)
        return false;

    bytes += size;
    if (bytes > InputLimits::httpHeadBytes)
        return refuse();

    // Without its line end (LF, or CR LF).
    if (size > 0 && text[size - 1] == '\n')
        --size;
    if (size > 0 && text[size - 1] == '\r')
        --size;

    if (! complete && status == 0)
        return readStatusLine (text, size) || refuse();

    if (size == 0)
    {
        // An interim response's head is followed by another status line.
        if (! complete && status < 200)
        {
            status = 0;
            location = {};
            return true;
        }

        complete = true;
        return true;
    }

    if (++fields > InputLimits::httpHeaderFields)
        return refuse();

    // Trailers after the body count, and are not read.
    if (complete)
        return true;

    if (isSpace (text[0]))
        return ! locationLast || refuse();

    return readField (text, size) || refuse();
}

bool HttpResponseHead::readStatusLine (const char* text, size_t size)
{
    // "HTTP/" version, one space, three digits, then the end or a space and a reason.
    if (size < 5 || ! equalsIgnoringCase (text, 5, "http/"))
        return false;

    size_t i = 5;
    while (i < size && text[i] != ' ')
        ++i;

    if (i == 5 || i + 4 > size || ! isDigit (text[i + 1]) || ! isDigit (text[i + 2]) || ! isDigit (text[i + 3])
        || (i + 4 < size && text[i + 4] != ' '))
        return false;

    const int code = (text[i + 1] - '0') * 100 + (text[i + 2] - '0') * 10 + (text[i + 3] - '0');
    if (code < 100 || code > 599)
        return false;

    status = code;
    locationLast = false;
    return true;
}

bool HttpResponseHead::readField (const char* text, size_t size)
{
    size_t colon = 0;
    while (colon < size && text[colon] != ':')
        ++colon;

    if (colon == 0 || colon == size)
        return false;

    locationLast = equalsIgnoringCase (text, colon, "location");
    if (! locationLast)
        return true;

    size_t start = colon + 1, end = size;
    while (start < end && isSpace (text[start]))
        ++start;
    while (end > start && isSpace (text[end - 1]))
        --end;

    if (location.isNotEmpty() || start == end || end - start > InputLimits::httpLocationBytes)
        return false;

    // Plain printable ASCII only, so the text is the same however it is decoded.
    for (size_t i = start; i < end; ++i)
        if (text[i] <= ' ' || text[i] > '~')
            return false;

    location = juce::String (text + start, end - start);
    return true;
}

bool HttpResponseHead::refuse()
{
    refused = true;
    complete = false;
    status = 0;
    location = {};
    return false;
}
