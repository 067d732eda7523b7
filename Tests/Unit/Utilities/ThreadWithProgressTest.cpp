#include "Support/JobRecorder.h"
#include "Support/Waiting.h"

#include <gtest/gtest.h>
#include <atomic>
#include <functional>
#include <memory>

namespace
{
using Events = std::vector<std::string>;

// A job whose body the test gives; it may pause at checkpoints until told to go on.
class ScriptedJob : public ThreadWithProgress
{
public:
    explicit ScriptedJob (std::function<void (ScriptedJob&)> b) : body (std::move (b)) {}
    ~ScriptedJob() override { stopThread (getStopTimeoutMs()); }

    void run() override { body (*this); }
    void status (const juce::String& text) { reportStatusMessage (text); }
    void progress (double value) { reportProgress (value); }
    void checkpoint() { reached.signal(); proceed.wait(); }

    juce::WaitableEvent proceed, reached;

private:
    std::function<void (ScriptedJob&)> body;
};

TEST (ThreadWithProgress, EachTickRelaysTheStatusOnceWrittenAndTheProgressThenTheCompletionOnce)
{
    ScriptedJob job ([] (ScriptedJob& j) {
        j.checkpoint();
        j.status ("working");
        j.progress (-1.0);
        j.checkpoint();
        j.status ("done");
        j.progress (0.5);
    });
    JobRecorder recorder;
    job.addListener (&recorder);
    job.launchThread();
    EXPECT_TRUE (job.isRelayRunning());

    // Before any status: the progress alone, every tick.
    ASSERT_TRUE (job.reached.wait ((int) patience.count())) << "the body reaches its checkpoint";
    job.timerCallback();
    EXPECT_EQ (recorder.events, (Events { "started", "progress 0.000" }));

    // Once written, the status is repeated at every tick.
    job.proceed.signal();
    ASSERT_TRUE (job.reached.wait ((int) patience.count())) << "the body reaches its checkpoint";
    recorder.events.clear();
    job.timerCallback();
    job.timerCallback();
    EXPECT_EQ (recorder.events, (Events { "status working", "progress -1.000", "status working", "progress -1.000" }));

    // The last tick carries what the body wrote before it returned, then the completion.
    recorder.events.clear();
    job.proceed.signal();
    ASSERT_TRUE (relayUntilComplete (job, recorder));
    EXPECT_EQ (recorder.events, (Events { "status done", "progress 0.500", "complete" }));
    EXPECT_FALSE (job.isRelayRunning());
}

TEST (ThreadWithProgress, ListenersAreCalledLastAddedFirstOnceEachAndNullIsRefused)
{
    struct Named : ThreadWithProgress::Listener
    {
        Named (Events& l, const char* n) : log (l), name (n) {}
        void threadStarted() override { log.push_back (name); }
        Events& log;
        const char* name;
    };

    ScriptedJob job ([] (ScriptedJob&) {});
    Events log;
    Named first (log, "first"), second (log, "second");
    job.addListener (&first);
    job.addListener (&second);
    job.addListener (&first);
    job.addListener (nullptr);
    job.launchThread();
    EXPECT_EQ (log, (Events { "second", "first" }));

    // Added after the launch: everything but the start.
    JobRecorder late;
    job.addListener (&late);
    ASSERT_TRUE (relayUntilComplete (job, late));
    EXPECT_EQ (late.events, (Events { "progress 0.000", "complete" }));
}

TEST (ThreadWithProgress, AListenerMayDeleteTheJobFromInsideARelayCall)
{
    // When the job goes, and what the listener called after the deleting one heard by then.
    const std::pair<std::string, Events> cases[] = {
        { "status bye", { "started" } },
        { "progress 0.000", { "started", "status bye" } },
        { "complete", { "started", "status bye", "progress 0.000" } },
    };

    for (const auto& [when, heard] : cases)
    {
        auto job = std::make_unique<ScriptedJob> ([] (ScriptedJob& j) { j.status ("bye"); });

        struct Deleting : JobRecorder
        {
            void threadComplete (bool) override { events.push_back ("complete"); check(); }
            void setStatusMessage (const juce::String& t) override { JobRecorder::setStatusMessage (t); check(); }
            void setProgress (double p) override { JobRecorder::setProgress (p); check(); }
            void check() { if (events.back() == when) owner.reset(); }
            std::unique_ptr<ScriptedJob>& owner;
            std::string when;
            Deleting (std::unique_ptr<ScriptedJob>& o, std::string w) : owner (o), when (std::move (w)) {}
        } deleting (job, when);
        JobRecorder other;

        job->addListener (&other);
        job->addListener (&deleting);
        job->launchThread();
        ASSERT_TRUE (job->waitForThreadToExit ((int) patience.count())) << "the body ends";
        job->timerCallback();

        EXPECT_EQ (job, nullptr) << when;
        EXPECT_EQ (other.events, heard) << when;
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
    ASSERT_TRUE (job->reached.wait ((int) patience.count())) << "the body starts";
    job.reset();
    EXPECT_TRUE (sawExit);
}
} // namespace
