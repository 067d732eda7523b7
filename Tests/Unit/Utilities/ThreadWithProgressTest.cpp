#include "Support/JobRecorder.h"

#include <gtest/gtest.h>
#include <atomic>
#include <functional>
#include <memory>

namespace
{
// A job whose body is given by the test.
class ScriptedJob : public ThreadWithProgress
{
public:
    using Body = std::function<void (ScriptedJob&)>;

    explicit ScriptedJob (Body b) : body (std::move (b)) {}
    ~ScriptedJob() override { stopThread (getStopTimeoutMs()); }

    void run() override { body (*this); }

    void status (const juce::String& text) { reportStatusMessage (text); }
    void progress (double value) { reportProgress (value); }

    juce::WaitableEvent proceed, reached;

private:
    Body body;
};

using Events = std::vector<std::string>;

TEST (ThreadWithProgress, ABodyThatEndsBeforeTheFirstTickGivesOneTickWithStatusProgressAndCompletion)
{
    ScriptedJob job ([] (ScriptedJob& j) { j.status ("done"); j.progress (0.5); });
    JobRecorder recorder;
    job.addListener (&recorder);
    job.launchThread();
    EXPECT_TRUE (job.isRelayRunning());

    ASSERT_TRUE (relayUntilComplete (job, recorder));
    EXPECT_EQ (recorder.events, (Events { "started", "status done", "progress 0.500", "complete" }));
    EXPECT_FALSE (job.isRelayRunning());
}

TEST (ThreadWithProgress, EveryTickRepeatsTheStatusOnceWrittenAndAlwaysTheProgress)
{
    ScriptedJob job ([] (ScriptedJob& j) {
        j.reached.signal();
        j.proceed.wait();
        j.status ("working");
        j.progress (-1.0);
        j.reached.signal();
        j.proceed.wait();
    });
    JobRecorder recorder;
    job.addListener (&recorder);
    job.launchThread();

    // No status written yet: progress only.
    ASSERT_TRUE (job.reached.wait (5000));
    job.timerCallback();
    job.timerCallback();
    EXPECT_EQ (recorder.events, (Events { "started", "progress 0.000", "progress 0.000" }));

    recorder.events.clear();
    job.proceed.signal();
    ASSERT_TRUE (job.reached.wait (5000));
    job.timerCallback();
    job.timerCallback();
    EXPECT_EQ (recorder.events, (Events { "status working", "progress -1.000", "status working", "progress -1.000" }));

    recorder.events.clear();
    job.proceed.signal();
    ASSERT_TRUE (relayUntilComplete (job, recorder));
    EXPECT_EQ (recorder.events, (Events { "status working", "progress -1.000", "complete" }));
}

TEST (ThreadWithProgress, ListenersAreCalledLastAddedFirstOnceEachAndNullIsRefused)
{
    ScriptedJob job ([] (ScriptedJob&) {});
    Events order;
    struct Named : ThreadWithProgress::Listener
    {
        Named (Events& o, std::string n) : out (o), name (std::move (n)) {}
        void threadStarted() override { out.push_back (name); }
        void threadComplete (bool) override { out.push_back (name); }
        Events& out;
        std::string name;
    } first (order, "first"), second (order, "second");

    job.addListener (&first);
    job.addListener (&second);
    job.addListener (&first);
    job.addListener (nullptr);
    job.launchThread();
    EXPECT_EQ (order, (Events { "second", "first" }));

    // A listener added after the launch hears everything from then on but the start.
    JobRecorder late;
    job.addListener (&late);
    job.removeListener (&first);
    order.clear();
    ASSERT_TRUE (job.waitForThreadToExit (5000));
    job.timerCallback();
    EXPECT_EQ (order, (Events { "second" }));
    EXPECT_EQ (late.events, (Events { "progress 0.000", "complete" }));
}

TEST (ThreadWithProgress, AListenerMayDeleteTheJobFromInsideARelayCall)
{
    // When the job goes, and what the other listener, called after the deleting one, heard by then.
    const std::pair<const char*, Events> cases[] = {
        { "status", { "started" } },
        { "progress", { "started", "status bye" } },
        { "complete", { "started", "status bye", "progress 0.000" } },
    };

    for (const auto& [when, heard] : cases)
    {
        SCOPED_TRACE (when);
        auto job = std::make_unique<ScriptedJob> ([] (ScriptedJob& j) { j.status ("bye"); });

        struct Deleting : ThreadWithProgress::Listener
        {
            void setStatusMessage (const juce::String&) override { act ("status"); }
            void setProgress (double) override { act ("progress"); }
            void threadComplete (bool) override { act ("complete"); }
            void act (const std::string& now) { calls++; if (now == when) owner.reset(); }
            std::unique_ptr<ScriptedJob>& owner;
            std::string when;
            int calls = 0;
            Deleting (std::unique_ptr<ScriptedJob>& o, std::string w) : owner (o), when (std::move (w)) {}
        } deleting (job, when);
        JobRecorder other;

        job->addListener (&other);
        job->addListener (&deleting); // called first
        job->launchThread();
        ASSERT_TRUE (job->waitForThreadToExit (5000));
        job->timerCallback();

        EXPECT_EQ (job, nullptr);
        EXPECT_EQ (other.events, heard);
    }
}

TEST (ThreadWithProgress, DeletingARunningJobRaisesTheExitRequestAndWaitsForTheBody)
{
    std::atomic<bool> sawExit { false };
    auto job = std::make_unique<ScriptedJob> ([&sawExit] (ScriptedJob& j) {
        j.reached.signal();
        while (! j.threadShouldExit())
            j.wait (10);
        sawExit = true;
    });

    job->launchThread();
    ASSERT_TRUE (job->reached.wait (5000));
    job.reset();
    EXPECT_TRUE (sawExit);
}
} // namespace
