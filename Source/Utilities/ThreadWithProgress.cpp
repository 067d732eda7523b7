#include "Utilities/ThreadWithProgress.h"

namespace
{
// Ends a walk over the listeners once one of them has deleted the job.
struct JobDeleted
{
    const juce::WeakReference<ThreadWithProgress>& job;
    bool shouldBailOut() const noexcept { return job == nullptr; }
};

bool onMessageThread()
{
    auto* manager = juce::MessageManager::getInstanceWithoutCreating();
    return manager != nullptr && manager->isThisTheMessageThread();
}
} // namespace

ThreadWithProgress::ThreadWithProgress (int timeoutMs)
    : juce::Thread ("ThreadWithProgress"), stopTimeoutMs (timeoutMs)
{
}

ThreadWithProgress::~ThreadWithProgress()
{
    stopThread (stopTimeoutMs);
    relay.stopTimer();
}

void ThreadWithProgress::launchThread()
{
    startThread (juce::Thread::Priority::normal);
    relay.startTimer (relayIntervalMs);

    const juce::WeakReference<ThreadWithProgress> self (this);
    listeners.callChecked (JobDeleted { self }, [] (Listener& l) { l.threadStarted(); });
}

void ThreadWithProgress::addListener (Listener* listener)
{
    jassert (listener != nullptr);
    if (listener != nullptr)
        listeners.add (listener);
}

void ThreadWithProgress::removeListener (Listener* listener)
{
    if (listener != nullptr)
        listeners.remove (listener);
}

void ThreadWithProgress::reportStatusMessage (const juce::String& message)
{
    jassert (! onMessageThread());
    const juce::ScopedLock sl (lock);
    status = message;
    statusSet = true;
}

void ThreadWithProgress::reportProgress (double newProgress)
{
    jassert (! onMessageThread());
    progress.store (newProgress);
}

void ThreadWithProgress::timerCallback()
{
    // Noted first, so the last tick carries what the body wrote before it returned.
    const bool ended = ! isThreadRunning();

    juce::String text;
    bool hasText;
    {
        // Copied out: a listener never holds up the body's next status.
        const juce::ScopedLock sl (lock);
        hasText = statusSet;
        text = status;
    }

    const auto value = progress.load();
    const juce::WeakReference<ThreadWithProgress> self (this);
    const JobDeleted deleted { self };

    if (hasText)
        listeners.callChecked (deleted, [&text] (Listener& l) { l.setStatusMessage (text); });

    if (deleted.shouldBailOut())
        return;

    listeners.callChecked (deleted, [value] (Listener& l) { l.setProgress (value); });

    if (deleted.shouldBailOut() || ! ended)
        return;

    relay.stopTimer();
    stopThread (stopTimeoutMs);
    listeners.callChecked (deleted, [] (Listener& l) { l.threadComplete (false); });
}
