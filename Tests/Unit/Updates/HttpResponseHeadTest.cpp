#include "Updates/HttpResponseHead.h"
#include "Utilities/InputLimits.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace
{
using Lines = std::vector<std::string>;

struct Outcome
{
    bool complete = false, refused = false;
    int status = 0;
    std::string location;
};

// Each line is handed over with CR LF after it, as the client receives it.
Outcome read (const Lines& lines)
{
    HttpResponseHead head;
    bool accepted = true;
    for (const auto& line : lines)
    {
        const auto received = line + "\r\n";
        accepted = head.addLine (received.data(), received.size()) && accepted;
    }

    EXPECT_EQ (accepted, ! head.isRefused()) << "addLine answers false from the first refused line on";
    return { head.isComplete(), head.isRefused(), head.getStatusCode(), head.getLocation().toStdString() };
}

Lines withFields (size_t count)
{
    Lines lines { "HTTP/1.1 200 OK" };
    for (size_t i = 0; i < count; ++i)
        lines.push_back ("X-Field-" + std::to_string (i) + ": v");
    lines.push_back ("");
    return lines;
}

// A head of exactly this many bytes, line ends included.
Lines ofBytes (size_t bytes)
{
    const std::string start = "HTTP/1.1 200 OK", pad = "X-Pad: ";
    return { start, pad + std::string (bytes - start.size() - pad.size() - 3 * 2, 'p'), "" };
}

TEST (HttpResponseHead, ReadsTheFinalStatusAndOneLocation)
{
    const std::pair<const char*, Lines> cases[] = {
        { "plain", { "HTTP/1.1 302 Found", "Content-Length: 0", "Location:  /a?b=c  ", "" } },
        { "lower case, no reason", { "HTTP/1.0 302", "location:/a?b=c", "" } },
        { "as the client writes HTTP/2", { "HTTP/2 302 ", "location: /a?b=c", "" } },
        { "after an interim response", { "HTTP/1.1 100 Continue", "", "HTTP/1.1 302 Found", "Location: /a?b=c", "" } },
        { "an interim response's own", { "HTTP/1.1 103 Early Hints", "Location: /z", "", "HTTP/1.1 302 Found", "Location: /a?b=c", "" } },
        { "a folded line elsewhere", { "HTTP/1.1 302 Found", "X-A: 1", " 2", "Location: /a?b=c", "" } },
    };

    for (const auto& [what, lines] : cases)
    {
        const auto outcome = read (lines);
        EXPECT_TRUE (outcome.complete) << what;
        EXPECT_EQ (outcome.status, 302) << what;
        EXPECT_EQ (outcome.location, "/a?b=c") << what;
    }

    const auto longest = "/" + std::string (InputLimits::httpLocationBytes - 1, 'l');
    EXPECT_EQ (read ({ "HTTP/1.1 301 Moved", "Location: " + longest, "" }).location, longest);

    const auto incomplete = read ({ "HTTP/1.1 200 OK", "Content-Length: 3" });
    EXPECT_FALSE (incomplete.complete);
    EXPECT_FALSE (incomplete.refused);

    const auto interimOnly = read ({ "HTTP/1.1 100 Continue", "" });
    EXPECT_FALSE (interimOnly.complete) << "an interim head is not the response's";
    EXPECT_EQ (interimOnly.status, 0);
}

TEST (HttpResponseHead, RefusesWhatNoUpdateServerSends)
{
    const auto tooLong = "/" + std::string (InputLimits::httpLocationBytes, 'l');
    const auto fields = (size_t) InputLimits::httpHeaderFields;

    const std::pair<const char*, Lines> cases[] = {
        { "a second Location", { "HTTP/1.1 302 Found", "Location: /a", "Location: /a", "" } },
        { "a Location past its limit", { "HTTP/1.1 302 Found", "Location: " + tooLong, "" } },
        { "an empty Location", { "HTTP/1.1 302 Found", "Location:  ", "" } },
        { "a Location with a space", { "HTTP/1.1 302 Found", "Location: /a b", "" } },
        { "a Location with a tab", { "HTTP/1.1 302 Found", "Location: /a\tb", "" } },
        { "a Location beyond ASCII", { "HTTP/1.1 302 Found", "Location: /\xc3\xa4", "" } },
        { "a Location with a control byte", { "HTTP/1.1 302 Found", std::string ("Location: /a\0b", 14), "" } },
        { "a Location continued on a folded line", { "HTTP/1.1 302 Found", "Location: /a", " /b", "" } },
        { "a field before the status line", { "Location: /a", "HTTP/1.1 302 Found", "" } },
        { "a field without a colon", { "HTTP/1.1 200 OK", "Location /a", "" } },
        { "a field without a name", { "HTTP/1.1 200 OK", ": /a", "" } },
        { "a status of two digits", { "HTTP/1.1 20 OK", "" } },
        { "a status of four digits", { "HTTP/1.1 2000 OK", "" } },
        { "a status below 100", { "HTTP/1.1 099 Odd", "" } },
        { "a status above 599", { "HTTP/1.1 600 Odd", "" } },
        { "a status run into its reason", { "HTTP/1.1 200OK", "" } },
        { "another protocol", { "ICY 200 OK", "" } },
        { "no version", { "HTTP/ 200 OK", "" } },
        { "one field too many", withFields (fields + 1) },
        { "one byte too many", ofBytes (InputLimits::httpHeadBytes + 1) },
        { "a refused interim response", { "HTTP/1.1 100 Continue", "Location: /a", "Location: /b", "", "HTTP/1.1 200 OK", "" } },
    };

    for (const auto& [what, lines] : cases)
    {
        const auto outcome = read (lines);
        EXPECT_TRUE (outcome.refused) << what;
        EXPECT_FALSE (outcome.complete) << what;
        EXPECT_EQ (outcome.status, 0) << what;
        EXPECT_EQ (outcome.location, "") << what;
    }

    // The limits themselves are within.
    EXPECT_TRUE (read (withFields (fields)).complete);
    EXPECT_TRUE (read (ofBytes (InputLimits::httpHeadBytes)).complete);
}

TEST (HttpResponseHead, CountsTrailersAndTakesBareLineFeeds)
{
    HttpResponseHead head;
    for (const std::string line : { "HTTP/1.1 200 OK\n", "Transfer-Encoding: chunked\n", "\n" })
        ASSERT_TRUE (head.addLine (line.data(), line.size())) << line;
    ASSERT_TRUE (head.isComplete());

    // Trailers after a chunked body are counted towards the same limit.
    const std::string trailer = "X-Trailer: t\r\n";
    for (int i = 1; i < InputLimits::httpHeaderFields; ++i)
        ASSERT_TRUE (head.addLine (trailer.data(), trailer.size())) << i;

    EXPECT_FALSE (head.addLine (trailer.data(), trailer.size()));
    EXPECT_TRUE (head.isRefused());
    EXPECT_FALSE (head.isComplete());
}
} // namespace
