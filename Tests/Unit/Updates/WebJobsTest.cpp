#include "Support/JobRecorder.h"
#include "Support/LoopbackHttpServer.h"
#include "Support/ZipMaker.h"
#include "Updates/FirmwareDownloadController.h"
#include "Updates/VersionQueryController.h"
#include "Utilities/InputLimits.h"

#include <gtest/gtest.h>
#include <chrono>

namespace
{
using Reply = LoopbackHttpServer::Reply;
using Strings = std::vector<std::string>;

const std::string versionPath = "/QZR/latest.json";
const std::string currentFile = R"({"pluginVersion":"0.2.0","firmwareVersion":"0.1.5","firmwareURL":"https://assets.example.com/fw.zip"})";

// Every query of a case fetches from the test's own server.
class WebJobsTest : public ::testing::Test
{
protected:
    WebJobsTest() { VersionQueryController::setVersionFileAddress (server.url (versionPath)); }
    ~WebJobsTest() override { VersionQueryController::setVersionFileAddress (juce::URL ("http://127.0.0.1:1/QZR/latest.json")); }

    // Runs a query against the reply and answers for a pedal with this firmware.
    VersionQuery query (const Reply& reply, juce::uint32 deviceFirmware = 0, int timeoutMs = 10000)
    {
        server.serve (versionPath, reply);
        VersionQueryController job;
        job.setConnectionTimeoutMs (timeoutMs);
        JobRecorder recorder;
        job.addListener (&recorder);

        EXPECT_EQ (job.getResult (VersionNumber (0x000100)).status, VersionQuery::queryFailed) << "failed until fetched";
        job.launchThread();
        EXPECT_TRUE (relayUntilComplete (job, recorder));
        EXPECT_TRUE (recorder.statuses().empty()) << "the query writes no status";
        return job.getResult (VersionNumber (deviceFirmware));
    }

    struct Download
    {
        int result;
        Strings statuses;
        std::string data;
    };

    Download download (const Reply& reply, const std::string& path = "/fw.zip")
    {
        server.serve (path, reply);
        FirmwareDownloadController job (server.url (path));
        JobRecorder recorder;
        job.addListener (&recorder);
        EXPECT_EQ (job.getResult(), FirmwareDownloadController::downloadFailed) << "a failure until it succeeds";

        job.launchThread();
        EXPECT_TRUE (relayUntilComplete (job, recorder));
        return { job.getResult(), recorder.statuses(), toString (job.getData()) };
    }

    static Reply zipReply (const std::vector<std::pair<juce::String, std::string>>& entries)
    {
        return LoopbackHttpServer::text (toString (makeZip (entries)));
    }

    LoopbackHttpServer server;
};

//==============================================================================
TEST_F (WebJobsTest, TheQueryAsksForTheVersionFileWithOneUserAgentHeader)
{
    EXPECT_EQ (query (LoopbackHttpServer::text (currentFile)).status, VersionQuery::queryUpToDate);

    const auto requests = server.getRequests();
    ASSERT_EQ (requests.size(), 1u);
    EXPECT_EQ (requests[0].line, "GET /QZR/latest.json HTTP/1.1");
    EXPECT_EQ (requests[0].header ("User-Agent"), Strings { "zvk-plugin" });
}

TEST_F (WebJobsTest, TheQueryComparesTheFetchedVersionsWithThePluginAndThePedal)
{
    const auto file = [] (const char* plugin, const char* firmware) {
        return LoopbackHttpServer::text (std::string (R"({"pluginVersion":")") + plugin + R"(","firmwareVersion":")" + firmware + "\"}");
    };

    const std::tuple<Reply, juce::uint32, int, juce::uint32> cases[] = {
        { file ("0.2.0", "0.1.5"), 0x000105, VersionQuery::queryUpToDate, 0 },
        { file ("0.1.0", "0.1.5"), 0, VersionQuery::queryUpToDate, 0 },
        { file ("0.2.1", "0.1.5"), 0x000105, VersionQuery::queryPluginAvailable, 0x000201 },
        { file ("0.2.0", "0.1.7"), 0x000105, VersionQuery::queryFirmwareAvailable, 0x000107 },
        { file ("0.2.0", "0.1.7"), 0x000104, VersionQuery::queryFirmwareRequired, 0x000105 },
    };

    for (const auto& [reply, device, status, version] : cases)
    {
        const auto answer = query (reply, device);
        EXPECT_EQ (answer.status, status) << reply.body;
        EXPECT_EQ ((juce::uint32) answer.version, version) << reply.body;
    }
}

TEST_F (WebJobsTest, EveryBrokenAnswerIsAFailedQuery)
{
    Reply shortBody = LoopbackHttpServer::text (currentFile);
    shortBody.announcedLength = (long) currentFile.size() + 10;

    Reply oversized = LoopbackHttpServer::text (currentFile + std::string (InputLimits::versionFileBytes, ' '));

    Reply chainTooLong = LoopbackHttpServer::redirect ("/r1");
    for (int i = 1; i <= 5; ++i)
        server.serve ("/r" + std::to_string (i), LoopbackHttpServer::redirect ("/r" + std::to_string (i + 1)));
    server.serve ("/r6", LoopbackHttpServer::text (currentFile));

    const std::pair<const char*, Reply> cases[] = {
        { "missing key", LoopbackHttpServer::text (R"({"firmwareVersion":"0.1.5"})") },
        { "wrong type", LoopbackHttpServer::text (R"({"pluginVersion":0.2})") },
        { "root array", LoopbackHttpServer::text (R"([{"pluginVersion":"0.2.0"}])") },
        { "empty body", LoopbackHttpServer::text ("") },
        { "malformed", LoopbackHttpServer::text (R"({"pluginVersion":)") },
        { "404 with a version file", LoopbackHttpServer::text (currentFile, 404) },
        { "500", LoopbackHttpServer::text ("oops", 500) },
        { "body shorter than announced", shortBody },
        { "oversized body", oversized },
        { "six redirects", chainTooLong },
        { "redirect to plain http elsewhere", LoopbackHttpServer::redirect ("http://192.0.2.1/QZR/latest.json") },
        { "redirect to another scheme", LoopbackHttpServer::redirect ("ftp://127.0.0.1/QZR/latest.json") },
    };

    for (const auto& [what, reply] : cases)
    {
        auto answer = query (reply, 0x000100);
        EXPECT_EQ (answer.status, VersionQuery::queryFailed) << what;
        EXPECT_EQ (answer.properties.getAllProperties().size(), 0) << what;
    }

    for (const auto& request : server.getRequests())
        EXPECT_EQ (juce::String (request.line).contains ("192.0.2.1"), false);
}

TEST_F (WebJobsTest, RedirectsOnThisComputerAreFollowedUpToFive)
{
    for (int i = 1; i <= 4; ++i)
        server.serve ("/hop" + std::to_string (i), LoopbackHttpServer::redirect ("/hop" + std::to_string (i + 1)));
    server.serve ("/hop5", LoopbackHttpServer::text (currentFile));

    EXPECT_EQ (query (LoopbackHttpServer::redirect (server.address ("/hop1"), 301)).status, VersionQuery::queryUpToDate);
    EXPECT_EQ (server.getRequests().size(), 6u);
}

TEST_F (WebJobsTest, AStalledServerFailsTheQueryAfterTheTimeOutAndNeverHoldsUpItsDeletion)
{
    Reply stall;
    stall.stall = true;
    EXPECT_EQ (query (stall, 0, 1000).status, VersionQuery::queryFailed);

    // Deleted while blocked in the transfer: the exit request cancels it.
    server.serve (versionPath, stall);
    auto job = std::make_unique<VersionQueryController>();
    job->launchThread();
    ASSERT_TRUE (server.waitForRequests (2));

    const auto before = std::chrono::steady_clock::now();
    job.reset();
    EXPECT_LT (std::chrono::steady_clock::now() - before, std::chrono::milliseconds (VersionQueryController::defaultConnectionTimeoutMs / 2));
}

//==============================================================================
TEST_F (WebJobsTest, ADownloadReportsItsProgressAndTakesTheSyxEntry)
{
    // Stored, not compressed, so the transfer spans several chunks.
    auto reply = LoopbackHttpServer::text (toString (makeZip ({ { "readme.txt", std::string (20000, 'r') }, { "FW/Pedal.SYX", "\xF0\x01\xF7" } }, 0)));
    reply.holdAt = { 0, 8192, 16384 };
    server.serve ("/fw.zip", reply);

    FirmwareDownloadController job (server.url ("/fw.zip"));
    JobRecorder recorder;
    job.addListener (&recorder);
    job.launchThread();

    // The server holds the body back at each point while the relay shows where the transfer stands.
    for (const auto* status : { "Downloading...", "Downloading... 8.0 KB", "Downloading... 16.0 KB" })
    {
        EXPECT_TRUE (relayUntilStatus (job, recorder, status)) << status;
        server.release();
    }

    ASSERT_TRUE (relayUntilComplete (job, recorder));
    EXPECT_EQ (recorder.statuses(), (Strings { "Downloading...", "Downloading... 8.0 KB", "Downloading... 16.0 KB", "Download complete" }));
    EXPECT_EQ (job.getResult(), FirmwareDownloadController::downloadSucceeded);
    EXPECT_EQ (toString (job.getData()), "\xF0\x01\xF7");
    EXPECT_EQ (server.getRequests()[0].header ("User-Agent"), Strings { "zvk-plugin" });
}

TEST_F (WebJobsTest, EveryFailedDownloadEndsWithItsTextAndNoData)
{
    const std::string syx = "\xF0\x01\xF7";
    Reply shortBody = zipReply ({ { "a.syx", syx } });
    shortBody.announcedLength = (long) shortBody.body.size() + 100;

    Reply oversized = LoopbackHttpServer::text (std::string (InputLimits::firmwareArchiveBytes + 1, 'x'));

    const std::tuple<const char*, Reply, const char*> cases[] = {
        { "no syx entry", zipReply ({ { "readme.txt", "x" } }), "Downloaded file is not valid" },
        { "two syx entries", zipReply ({ { "a.syx", syx }, { "b.SYX", syx } }), "Downloaded file is not valid" },
        { "an empty syx entry", zipReply ({ { "a.syx", "" } }), "File content is not valid" },
        { "not an archive", LoopbackHttpServer::text ("<html>"), "Downloaded file is not valid" },
        { "404", LoopbackHttpServer::text (toString (makeZip ({ { "a.syx", syx } })), 404), "Download failed" },
        { "nothing", LoopbackHttpServer::text (""), "Download failed" },
        { "cut short of its length", shortBody, "Download failed" },
        { "larger than any firmware archive", oversized, "Download failed" },
        { "redirected to plain http elsewhere", LoopbackHttpServer::redirect ("http://192.0.2.1/fw.zip"), "Download failed" },
    };

    for (const auto& [what, reply, text] : cases)
    {
        SCOPED_TRACE (what);
        const auto outcome = download (reply);
        EXPECT_EQ (outcome.result, FirmwareDownloadController::downloadFailed);
        EXPECT_EQ (outcome.statuses, Strings { text });
        EXPECT_TRUE (outcome.data.empty());
    }
}

TEST_F (WebJobsTest, AnAbortMidTransferEndsPromptlyAsAFailedDownload)
{
    auto reply = LoopbackHttpServer::text (std::string (30000, 'z'));
    reply.holdAt = { 8192 };
    server.serve ("/fw.zip", reply);

    FirmwareDownloadController job (server.url ("/fw.zip"));
    JobRecorder recorder;
    job.addListener (&recorder);
    job.launchThread();

    ASSERT_TRUE (relayUntilStatus (job, recorder, "Downloading... 8.0 KB"));

    const auto before = std::chrono::steady_clock::now();
    job.stopThread (job.getStopTimeoutMs());
    EXPECT_LT (std::chrono::steady_clock::now() - before, std::chrono::milliseconds (FirmwareDownloadController::defaultConnectionTimeoutMs));

    ASSERT_TRUE (relayUntilComplete (job, recorder));
    EXPECT_EQ (recorder.lastStatus(), "Download failed");
    EXPECT_EQ (job.getResult(), FirmwareDownloadController::downloadFailed);
    EXPECT_EQ (job.getData().getSize(), 0u);
}
} // namespace
