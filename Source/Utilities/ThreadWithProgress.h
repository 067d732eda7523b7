#pragma once

#include <juce_events/juce_events.h>
#include <atomic>

// A background job that reports a status text and a progress value. Its body,
// run(), works on a thread of its own; a 100 ms timer on the message thread
// relays the latest status and progress to the listeners and, once the body has
// returned, tells them the job is complete. A job runs once: its owner creates
// it, adds its listeners, launches it and deletes it afterwards.
//
// A derived job must stop the thread at the start of its own destructor
// (stopThread (getStopTimeoutMs())), so the body never outlives the fields it uses.
class ThreadWithProgress : public juce::Thread
{
public:
    // Every call reaches a listener on the message thread.
    class Listener
    {
    public:
        virtual ~Listener() = default;
        virtual void setProgress (double) {}
        virtual void setStatusMessage (const juce::String&) {}
        virtual void threadStarted() {}
        virtual void threadComplete (bool) {}
    };

    static constexpr int relayIntervalMs = 100;
    static constexpr int defaultStopTimeoutMs = 10000;

    explicit ThreadWithProgress (int stopTimeoutMs = defaultStopTimeoutMs);
    ~ThreadWithProgress() override;

    // Starts the body and the relay, then tells the listeners; message thread, once.
    void launchThread();

    // A null listener is refused, and none is added twice. Message thread only.
    void addListener (Listener* listener);
    void removeListener (Listener* listener);

    // The relay: status (once one was written), progress, and after the body has
    // returned, the completion, always reported as false. A listener may delete
    // the job from inside any of these calls.
    virtual void timerCallback();

    bool isRelayRunning() const noexcept { return relay.isTimerRunning(); }
    int getStopTimeoutMs() const noexcept { return stopTimeoutMs; }

protected:
    // For the body only.
    void reportStatusMessage (const juce::String& message);
    void reportProgress (double newProgress);

private:
    struct Relay : juce::Timer
    {
        explicit Relay (ThreadWithProgress& o) : owner (o) {}
        void timerCallback() override { owner.timerCallback(); }
        ThreadWithProgress& owner;
    };

    std::atomic<double> progress { 0.0 };
    juce::String status;
    bool statusSet = false;
    juce::CriticalSection lock;
    juce::ListenerList<Listener> listeners;
    const int stopTimeoutMs;
    Relay relay { *this };

    JUCE_DECLARE_WEAK_REFERENCEABLE (ThreadWithProgress)
    JUCE_DECLARE_NON_COPYABLE (ThreadWithProgress)
};
