#pragma once

#include "Support/Waiting.h"
#include "Utilities/ThreadWithProgress.h"

#include <string>
#include <vector>

// Records what a job relays, in order: "started", "status <text>",
// "progress <value>", "complete".
struct JobRecorder : ThreadWithProgress::Listener
{
    void threadStarted() override { events.push_back ("started"); }
    void setStatusMessage (const juce::String& text) override { events.push_back ("status " + text.toStdString()); }
    void setProgress (double value) override { events.push_back ("progress " + juce::String (value, 3).toStdString()); }
    void threadComplete (bool) override { events.push_back ("complete"); ++completions; }

    // The status texts, each as often as it changed.
    std::vector<std::string> statuses() const
    {
        std::vector<std::string> texts;
        for (const auto& e : events)
            if (e.rfind ("status ", 0) == 0 && (texts.empty() || texts.back() != e.substr (7)))
                texts.push_back (e.substr (7));
        return texts;
    }

    std::string lastStatus() const
    {
        const auto texts = statuses();
        return texts.empty() ? std::string() : texts.back();
    }

    std::vector<std::string> events;
    int completions = 0;
};

// Drives a job's relay by hand, as its timer would, while the body runs, until
// this status shows; fails when the body ended first. For ASSERT_TRUE.
inline ::testing::AssertionResult relayUntilStatus (ThreadWithProgress& job, JobRecorder& recorder, const std::string& status,
                                                    std::chrono::milliseconds timeout = patience)
{
    bool running = true;
    auto shown = waitUntil ("the status \"" + status + "\"", [&]
    {
        running = job.isThreadRunning();
        job.timerCallback();
        return recorder.lastStatus() == status || ! running;
    }, timeout);

    if (shown && recorder.lastStatus() != status)
        return ::testing::AssertionFailure() << "the job ended at \"" << recorder.lastStatus() << "\" before \"" << status << "\"";

    return shown;
}

// Drives a job's relay by hand, as its timer would, until it reports completion.
inline ::testing::AssertionResult relayUntilComplete (ThreadWithProgress& job, JobRecorder& recorder,
                                                      std::chrono::milliseconds timeout = patience)
{
    if (! job.waitForThreadToExit ((int) timeout.count()))
        return ::testing::AssertionFailure() << "the job's body was still running after " << timeout.count() << " ms";

    job.timerCallback();
    if (recorder.completions != 1)
        return ::testing::AssertionFailure() << "the relay reported " << recorder.completions << " completions, not one";

    return ::testing::AssertionSuccess();
}
