// How long deleting a web job takes (what closing the update dialog or the
// plug-in waits for) while a hostile server on this computer keeps it busy: a
// head of 400,000 lines streamed as fast as the client takes it, the same head
// held after 64 lines, a large body streamed, and a computer that never takes
// the connection. The deletions land at moments spread over the first 200 ms
// after the server took the request (or began to hold, or the job started);
// each iteration's time is the deletion alone, "max_ms" the longest.

#include "Support/LoopbackHttpServer.h"
#include "Updates/FirmwareDownloadController.h"
#include "Updates/VersionQueryController.h"
#include "Utilities/InputLimits.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <memory>

namespace
{
const std::string versionPath = "/QZR/latest.json";

enum Scene
{
    headStreams,
    headHeld,
    bodyStreams,
    connectionUnanswered
};

LoopbackHttpServer::Reply hostileReply (Scene scene)
{
    auto reply = LoopbackHttpServer::text (std::string (scene == bodyStreams ? InputLimits::firmwareArchiveBytes - 1 : 16, 'z'));

    if (scene != bodyStreams)
    {
        reply.repeatedHeader = "X-Filler: ";
        reply.repeats = 400000;
    }

    if (scene == headHeld)
        reply.holdInHead = 64;

    return reply;
}

template <typename Job>
std::unique_ptr<Job> makeJob (LoopbackHttpServer& server);

template <>
std::unique_ptr<VersionQueryController> makeJob (LoopbackHttpServer&)
{
    return std::make_unique<VersionQueryController>();
}

template <>
std::unique_ptr<FirmwareDownloadController> makeJob (LoopbackHttpServer& server)
{
    return std::make_unique<FirmwareDownloadController> (server.url (versionPath));
}

// The job has met its hostile server (or, unanswered, has started).
bool waitUntilBusy (Scene scene, LoopbackHttpServer& server, size_t launched)
{
    switch (scene)
    {
        case headHeld: return server.waitForHolds (launched);
        case connectionUnanswered: return true;
        case headStreams:
        case bodyStreams: break;
    }

    return server.waitForRequests (launched);
}

template <typename Job>
void DeleteWebJob (benchmark::State& state)
{
    const juce::ScopedJuceInitialiser_GUI framework; // the jobs' relay timers need a message thread
    const auto scene = (Scene) state.range (0);
    LoopbackHttpServer server;
    server.serve (versionPath, hostileReply (scene));
    VersionQueryController::setVersionFileAddress (server.url (versionPath));

    UnansweredPort unanswered;
    if (scene == connectionUnanswered)
        VersionQueryController::setVersionFileAddress (juce::URL (unanswered.address (versionPath)));

    double longest = 0.0;
    size_t launched = 0;

    for (auto _ : state)
    {
        auto job = makeJob<Job> (server);
        job->launchThread();

        if (! waitUntilBusy (scene, server, ++launched))
        {
            state.SkipWithError ("the server never saw the job");
            break;
        }

        juce::Thread::sleep ((int) (launched % 20) * 10);

        const auto before = std::chrono::steady_clock::now();
        job.reset();
        const std::chrono::duration<double> took = std::chrono::steady_clock::now() - before;

        state.SetIterationTime (took.count());
        longest = std::max (longest, took.count() * 1000.0);
    }

    state.counters["max_ms"] = longest;
    VersionQueryController::setVersionFileAddress (juce::URL ("http://127.0.0.1:1/QZR/latest.json"));
}
} // namespace

BENCHMARK_TEMPLATE (DeleteWebJob, VersionQueryController)
    ->ArgName ("scene")->Arg (headStreams)->Arg (headHeld)->Arg (connectionUnanswered)
    ->Iterations (20)->UseManualTime()->Unit (benchmark::kMillisecond);

BENCHMARK_TEMPLATE (DeleteWebJob, FirmwareDownloadController)
    ->ArgName ("scene")->Arg (headStreams)->Arg (headHeld)->Arg (bodyStreams)
    ->Iterations (20)->UseManualTime()->Unit (benchmark::kMillisecond);
