#pragma once

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
// this status shows. False when the body ended first.
inline bool relayUntilStatus (ThreadWithProgress& job, JobRecorder& recorder, const std::string& status,
                              int timeoutMs = 10000)
{
    for (int waited = 0; waited < timeoutMs && job.isThreadRunning(); waited += 5)
    {
        job.timerCallback();
        if (recorder.lastStatus() == status)
            return true;
        juce::Thread::sleep (5);
    }

    return false;
}

// Drives a job's relay by hand, as its timer would, until it reports completion.
inline bool relayUntilComplete (ThreadWithProgress& job, JobRecorder& recorder, int timeoutMs = 20000)
{
    if (! job.waitForThreadToExit (timeoutMs))
        return false;

    job.timerCallback();
    return recorder.completions == 1;
}
