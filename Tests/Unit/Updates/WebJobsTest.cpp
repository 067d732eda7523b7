#include "Devices/FirmwareImage.h"
#include "Support/HostileFirmware.h"
#include "Support/JobRecorder.h"
#include "Support/LoopbackHttpServer.h"
#include "Support/Waiting.h"
#include "Updates/FirmwareDownloadController.h"
#include "Updates/VersionQueryController.h"
#include "Utilities/InputLimits.h"

#include <gtest/gtest.h>
#include <algorithm>

namespace
{
using Server = LoopbackHttpServer;
using Reply = Server::Reply;
using Strings = std::vector<std::string>;

const std::string versionPath = "/QZR/latest.json";
const std::string currentFile = R"({"pluginVersion":"0.2.0","firmwareVersion":"0.1.7","firmwareURL":"https://assets.example.com/fw.zip"})";
const std::string syx = toString (FirmwareImage::getPayload());

Reply withLength (Reply reply, long length)
{
    reply.announcedLength = length;
    return reply;
}

Reply closeDelimited (Reply reply)
{
    reply.closeDelimited = true;
    return reply;
}

// The reply with more header lines: these as they stand, then count lines of repeated, numbered.
Reply withHeaders (Reply reply, Strings lines, const std::string& repeated = {}, size_t count = 0)
{
    reply.headers = std::move (lines);
    reply.repeatedHeader = repeated;
    reply.repeats = count;
    return reply;
}

// The server's own header fields: Content-Length and Connection.
constexpr size_t ownFields = 2;

// Every job of a case fetches from the test's own server; the relay is driven by hand.
class WebJobsTest : public ::testing::Test
{
protected:
    WebJobsTest() { VersionQueryController::setVersionFileAddress (server.url (versionPath)); }
    ~WebJobsTest() override { VersionQueryController::setVersionFileAddress (juce::URL ("http://127.0.0.1:1/QZR/latest.json")); }

    VersionQuery query (const Reply& reply, juce::uint32 deviceFirmware, int timeoutMs = 10000)
    {
        server.serve (versionPath, reply);
        VersionQueryController job;
        job.setConnectionTimeoutMs (timeoutMs);
        job.addListener (&recorder);
        EXPECT_EQ (job.getResult (VersionNumber (0x000100)).status, VersionQuery::queryFailed) << "failed until fetched";

        job.launchThread();
        EXPECT_TRUE (relayUntilComplete (job, recorder));
        EXPECT_TRUE (recorder.statuses().empty()) << "the query writes no status";
        recorder = {};
        return job.getResult (VersionNumber (deviceFirmware));
    }

    // The statuses of a download of this reply, which must fail unless the data is expected.
    Strings download (const Reply& reply, const std::string& expectedData = {})
    {
        server.serve ("/fw.zip", reply);
        FirmwareDownloadController job (server.url ("/fw.zip"));
        job.addListener (&recorder);
        job.launchThread();
        EXPECT_TRUE (relayUntilComplete (job, recorder));
        EXPECT_EQ (job.getResult(), expectedData.empty() ? FirmwareDownloadController::downloadFailed : FirmwareDownloadController::downloadSucceeded);
        EXPECT_EQ (toString (job.getData()), expectedData);

        const auto statuses = recorder.statuses();
        recorder = {};
        return statuses;
    }

    Server server;
    JobRecorder recorder;
};

//==============================================================================
TEST_F (WebJobsTest, TheQueryFetchesTheVersionFileWithOneUserAgentAndAnswersFromIt)
{
    const auto answer = query (Server::text (currentFile), 0x000105);
    EXPECT_EQ (answer.status, VersionQuery::queryFirmwareAvailable);
    EXPECT_EQ ((juce::uint32) answer.version, 0x000107u);
    EXPECT_EQ (answer.properties.getValue ("firmwareURL"), "https://assets.example.com/fw.zip");

    const auto requests = server.getRequests();
    ASSERT_EQ (requests.size(), 1u);
    EXPECT_EQ (requests[0].line, "GET /QZR/latest.json HTTP/1.1");
    EXPECT_EQ (requests[0].header ("User-Agent"), Strings { "zvk-plugin" });
}

TEST_F (WebJobsTest, EveryBrokenAnswerIsAFailedQuery)
{
    for (int i = 1; i <= 6; ++i)
        server.serve ("/r" + std::to_string (i), Server::redirect ("/r" + std::to_string (i + 1)));
    server.serve ("/r6", Server::text (currentFile));

    const auto fields = (size_t) InputLimits::httpHeaderFields;
    const auto longLocation = "/" + std::string (InputLimits::httpLocationBytes, 'l');

    // What the server is sent: a refused redirect is never followed.
    const std::tuple<const char*, Reply, size_t> cases[] = {
        { "missing key", Server::text (R"({"firmwareVersion":"0.1.5"})"), 1 },
        { "wrong type", Server::text (R"({"pluginVersion":0.2})"), 1 },
        { "root array", Server::text (R"([{"pluginVersion":"0.2.0"}])"), 1 },
        { "empty body", Server::text (""), 1 },
        { "malformed", Server::text (R"({"pluginVersion":)"), 1 },
        { "404 with a version file", Server::text (currentFile, 404), 1 },
        { "500", Server::text ("oops", 500), 1 },
        { "body shorter than announced", withLength (Server::text (currentFile), (long) currentFile.size() + 10), 1 },
        { "oversized body", Server::text (currentFile + std::string (InputLimits::versionFileBytes, ' ')), 1 },
        { "six redirects", Server::redirect ("/r1"), 6 },
        { "redirect to plain http elsewhere", Server::redirect ("http://192.0.2.1/QZR/latest.json"), 1 },
        { "redirect to another scheme", Server::redirect ("ftp://127.0.0.1/QZR/latest.json"), 1 },
        { "100,000 Location lines", withHeaders (Server::redirect ({}), {}, "Location: /ok", 100000), 1 },
        { "a Location line twice", withHeaders (Server::redirect ("/r6"), { "Location: /r6" }), 1 },
        { "a Location past its limit", Server::redirect (longLocation), 1 },
        { "a Location with a space", Server::redirect ("/r6 /r5"), 1 },
        { "400,000 header lines", withHeaders (Server::text (currentFile), {}, "X-Filler: ", 400000), 1 },
        { "one header field past the limit", withHeaders (Server::text (currentFile), {}, "X-Filler: ", fields - ownFields + 1), 1 },
        { "a head past its limit in one line", withHeaders (Server::text (currentFile), { "X-Pad: " + std::string (InputLimits::httpHeadBytes, 'p') }), 1 },
        { "a head past its limit in short lines", withHeaders (Server::text (currentFile), {}, "X-Pad: " + std::string (600, 'p'), 60), 1 },
    };

    for (const auto& [what, reply, requests] : cases)
    {
        const auto before = server.getRequests().size();
        auto answer = query (reply, 0x000100);
        EXPECT_EQ (answer.status, VersionQuery::queryFailed) << what;
        EXPECT_EQ (answer.properties.getAllProperties().size(), 0) << what;
        EXPECT_EQ (server.getRequests().size() - before, requests) << what;
    }

    // Five redirects on this computer are followed.
    EXPECT_EQ (query (Server::redirect (server.address ("/r2"), 301), 0).status, VersionQuery::queryUpToDate);
}

TEST_F (WebJobsTest, HeadsWithinTheLimitsAreReadAndRedirectsFollowedHoweverTheirBodyEnds)
{
    const std::string moved = "/moved", longest = "/moved?" + std::string (InputLimits::httpLocationBytes - 7, 'q');
    server.serve (moved, Server::text (currentFile));
    server.serve (longest, Server::text (currentFile));
    auto withBody = Server::redirect (moved);
    withBody.body = "<html>moved</html>";

    // The path the version file finally came from.
    const std::tuple<const char*, Reply, std::string> cases[] = {
        { "a redirect announcing no body", Server::redirect (moved), moved },
        { "a redirect whose empty body ends with the connection", closeDelimited (Server::redirect (moved)), moved },
        { "a redirect with a body", withBody, moved },
        { "a redirect to the longest Location", Server::redirect (longest), longest },
        { "a version file that ends with the connection", closeDelimited (Server::text (currentFile)), versionPath },
        { "as many header fields as allowed", withHeaders (Server::text (currentFile), {}, "X-Filler: ", (size_t) InputLimits::httpHeaderFields - ownFields), versionPath },
        { "a long header line within the limit", withHeaders (Server::text (currentFile), { "X-Pad: " + std::string (InputLimits::httpHeadBytes - 200, 'p') }), versionPath },
    };

    for (const auto& [what, reply, path] : cases)
    {
        const auto before = server.getRequests().size();
        EXPECT_EQ (query (reply, 0x000105).status, VersionQuery::queryFirmwareAvailable) << what;

        const auto requests = server.getRequests();
        ASSERT_EQ (requests.size() - before, path == versionPath ? 1u : 2u) << what;
        EXPECT_TRUE (requests.back().line == "GET " + path + " HTTP/1.1") << what;
    }
}

TEST_F (WebJobsTest, AStalledServerFailsTheQueryAfterTheTimeOut)
{
    Reply stall;
    stall.stall = true;
    EXPECT_EQ (query (stall, 0, 1000).status, VersionQuery::queryFailed);
    EXPECT_EQ (server.getRequests().size(), 1u);
}

//==============================================================================
TEST_F (WebJobsTest, ADownloadReportsItsProgressAndTakesTheSyxEntry)
{
    // Stored, not compressed, so the transfer spans several chunks; held at each while the relay shows it.
    auto reply = Server::text (toString (makeZip ({ { "readme.txt", std::string (20000, 'r') }, { "FW/Pedal.SYX", syx } }, 0)));
    reply.holdAt = { 0, 8192, 16384 };
    server.serve ("/fw.zip", reply);

    FirmwareDownloadController job (server.url ("/fw.zip"));
    job.addListener (&recorder);
    EXPECT_EQ (job.getResult(), FirmwareDownloadController::downloadFailed) << "a failure until it succeeds";
    job.launchThread();

    for (const auto* status : { "Downloading...", "Downloading... 8.0 KB", "Downloading... 16.0 KB" })
    {
        EXPECT_TRUE (relayUntilStatus (job, recorder, status)) << status;
        server.release();
    }

    ASSERT_TRUE (relayUntilComplete (job, recorder));
    EXPECT_EQ (recorder.statuses(), (Strings { "Downloading...", "Downloading... 8.0 KB", "Downloading... 16.0 KB", "Download complete" }));
    EXPECT_EQ (job.getResult(), FirmwareDownloadController::downloadSucceeded);
    EXPECT_EQ (toString (job.getData()), syx);
    EXPECT_EQ (server.getRequests()[0].header ("User-Agent"), Strings { "zvk-plugin" });
}

TEST_F (WebJobsTest, EveryFailedDownloadEndsWithItsTextAndNoData)
{
    const auto archive = [] (const std::vector<std::pair<juce::String, std::string>>& entries) { return Server::text (toString (makeZip (entries))); };
    const auto good = archive ({ { "a.syx", syx } });

    const std::tuple<const char*, Reply, const char*> cases[] = {
        { "no syx entry", archive ({ { "readme.txt", "x" } }), "Downloaded file is not valid" },
        { "two syx entries", archive ({ { "a.syx", syx }, { "b.SYX", syx } }), "Downloaded file is not valid" },
        { "an empty syx entry", archive ({ { "a.syx", "" } }), "File content is not valid" },
        { "not an archive", Server::text ("<html>"), "Downloaded file is not valid" },
        { "404", Server::text (good.body, 404), "Download failed" },
        { "nothing", Server::text (""), "Download failed" },
        { "cut short of its length", withLength (good, (long) good.body.size() + 100), "Download failed" },
        { "larger than any firmware archive", Server::text (std::string (InputLimits::firmwareArchiveBytes + 1, 'x')), "Download failed" },
        { "redirected to plain http elsewhere", Server::redirect ("http://192.0.2.1/fw.zip"), "Download failed" },
        { "100,000 Location lines", withHeaders (Server::redirect ({}), {}, "Location: /ok", 100000), "Download failed" },
        { "400,000 header lines", withHeaders (good, {}, "X-Filler: ", 400000), "Download failed" },
    };

    for (const auto& [what, reply, text] : cases)
        EXPECT_EQ (download (reply), Strings { text }) << what;
}

TEST_F (WebJobsTest, OnlyAnIntactArchiveHoldingAWholeFirmwareIsADownload)
{
    for (const auto& c : HostileFirmware::archives (syx))
    {
        SCOPED_TRACE (c.what);
        const bool complete = c.status == "Download complete";
        EXPECT_EQ (download (Server::text (c.archive), complete ? syx : std::string()), Strings { c.status });
    }

    // Intact archives of files that are no whole firmware.
    for (const auto& c : HostileFirmware::syxFiles (syx))
    {
        SCOPED_TRACE (c.what);
        EXPECT_EQ (download (Server::text (toString (makeZip ({ { "pedal.syx", c.bytes } })))), Strings { "File content is not valid" });
    }
}

// Wherever a job waits, only its exit request can end it here: the server
// holds its reply (answering nothing, or stopping after 64 lines of a head of
// 400,000 until a release that never comes), or the computer never takes the
// connection; and the jobs' time-out and deadline are ten minutes. Each ends on the request
// alone, and lets go of its connection.
TEST_F (WebJobsTest, AnExitRequestEndsAJobWhereverItWaitsWithoutWaitingForATimeOut)
{
    constexpr int tenMinutes = 10 * 60 * 1000;
    Reply stall;
    stall.stall = true;
    auto hugeHead = withHeaders (Server::text (currentFile), {}, "X-Filler: ", 400000);
    hugeHead.holdInHead = 64;
    UnansweredPort unanswered;

    const std::pair<const char*, const Reply*> replies[] = { { "a stalled server", &stall },
                                                             { "a huge head held", &hugeHead },
                                                             { "an unanswered connection", nullptr } };
    size_t held = 0;

    for (const auto& [what, reply] : replies)
    {
        for (const bool download : { false, true })
        {
            SCOPED_TRACE (std::string (what) + (download ? ", the download" : ", the query"));
            const auto address = reply != nullptr ? server.address ("/held") : unanswered.address ("/held");
            if (reply != nullptr)
                server.serve ("/held", *reply);

            VersionQueryController::setVersionFileAddress (juce::URL (address));
            VersionQueryController query;
            query.setConnectionTimeoutMs (tenMinutes);
            query.setDeadlineMs (tenMinutes);
            FirmwareDownloadController fetch ((juce::URL (address)));
            fetch.setConnectionTimeoutMs (tenMinutes);
            fetch.setDeadlineMs (tenMinutes);
            auto& job = download ? static_cast<ThreadWithProgress&> (fetch) : static_cast<ThreadWithProgress&> (query);

            job.launchThread();
            if (reply != nullptr)
                ASSERT_TRUE (server.waitForHolds (++held));
            else
                ASSERT_TRUE (unanswered.waitForWaitingConnections (1));

            job.signalThreadShouldExit();
            ASSERT_TRUE (job.waitForThreadToExit ((int) patience.count())) << "the job ends on its exit request";
            if (reply != nullptr)
                EXPECT_TRUE (server.waitForHangUps (held));
            else
                EXPECT_TRUE (unanswered.waitForWaitingConnections (0)) << "the connection request is withdrawn";

            EXPECT_EQ (query.getResult (VersionNumber (0x000100)).status, VersionQuery::queryFailed);
            EXPECT_EQ (fetch.getResult(), FirmwareDownloadController::downloadFailed);
        }
    }

    EXPECT_EQ (server.getRequests().size(), 4u);
}

// Held mid-body until a release that never comes, with a time-out and a deadline of ten minutes.
TEST_F (WebJobsTest, AnAbortMidTransferEndsAtOnceAsAFailedDownload)
{
    auto reply = Server::text (std::string (30000, 'z'));
    reply.holdAt = { 8192 };
    server.serve ("/fw.zip", reply);

    FirmwareDownloadController job (server.url ("/fw.zip"));
    job.setConnectionTimeoutMs (10 * 60 * 1000);
    job.setDeadlineMs (10 * 60 * 1000);
    job.addListener (&recorder);
    job.launchThread();
    ASSERT_TRUE (relayUntilStatus (job, recorder, "Downloading... 8.0 KB"));

    job.signalThreadShouldExit();
    ASSERT_TRUE (relayUntilComplete (job, recorder)) << "the download ends on its exit request";
    EXPECT_TRUE (server.waitForHangUps (1));
    EXPECT_EQ (recorder.lastStatus(), "Download failed");
    EXPECT_EQ (job.getResult(), FirmwareDownloadController::downloadFailed);
}

// A body that drips in at 150 bytes a second, above the speed floor, and would
// last for hours, with a time-out of ten minutes: the deadline alone ends each
// job, with no exit request, as the failure it is, and the job lets go of its
// connection.
TEST_F (WebJobsTest, ATransferThatNeverEndsFailsAtItsDeadline)
{
    const auto endsByItself = [this] (auto& job)
    {
        job.setConnectionTimeoutMs (10 * 60 * 1000);
        job.setDeadlineMs (1000);
        job.addListener (&recorder);
        job.launchThread();
        return relayUntilComplete (job, recorder);
    };

    server.serve (versionPath, Server::trickle (InputLimits::versionFileBytes - 1, 150, 1000));
    VersionQueryController query;
    ASSERT_TRUE (endsByItself (query)) << "the query ends at its deadline";
    EXPECT_TRUE (server.waitForHangUps (1));
    EXPECT_EQ (query.getResult (VersionNumber (0x000100)).status, VersionQuery::queryFailed);
    EXPECT_TRUE (recorder.statuses().empty());
    recorder = {};

    server.serve ("/fw.zip", Server::trickle (InputLimits::firmwareArchiveBytes - 1, 150, 1000));
    FirmwareDownloadController download (server.url ("/fw.zip"));
    ASSERT_TRUE (endsByItself (download)) << "the download ends at its deadline";
    EXPECT_TRUE (server.waitForHangUps (2));
    const auto statuses = recorder.statuses();
    EXPECT_EQ (recorder.lastStatus(), "Download failed");
    EXPECT_EQ (std::count (statuses.begin(), statuses.end(), "Aborted"), 0) << "no exit request ended it";
    EXPECT_EQ (download.getResult(), FirmwareDownloadController::downloadFailed);
    EXPECT_TRUE (download.getData().isEmpty());
    EXPECT_EQ (server.getRequests().size(), 2u);
}
} // namespace
