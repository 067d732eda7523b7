#include "Emulation/VirtualMidiPorts.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>
#include <utility>
#include <vector>

namespace
{
// Process-wide, so a port remembered from an earlier registry never matches a new one.
std::atomic<int> nextPortNumber { 1 };

// The callback lives behind a shared pointer so a withdrawal from inside a call
// does not destroy the function that is running.
template <typename Callback>
struct Endpoint
{
    juce::String name;
    juce::String identifier;
    std::recursive_mutex callbackMutex; // recursive: an owner may withdraw from its own callback
    std::shared_ptr<const Callback> callback;

    template <typename... Args>
    void call (Args&&... args)
    {
        const std::lock_guard<std::recursive_mutex> lock (callbackMutex);
        if (auto held = callback; held != nullptr && *held)
            (*held) (std::forward<Args> (args)...);
    }

    void clear()
    {
        std::shared_ptr<const Callback> released;
        const std::lock_guard<std::recursive_mutex> lock (callbackMutex);
        released.swap (callback);
    }
};

using Source = Endpoint<VirtualMidiPorts::StartedCallback>;
using Destination = Endpoint<VirtualMidiPorts::ReceiveCallback>;

class VirtualInput;
} // namespace

struct VirtualMidiPorts::Core
{
    // Lock order: mutex, then an input's queue mutex, then pendingMutex. No
    // callback is ever called while mutex is held.
    mutable std::mutex mutex;
    std::vector<std::shared_ptr<Source>> sources;
    std::vector<std::shared_ptr<Destination>> destinations;
    std::vector<VirtualInput*> inputs;

    std::mutex pendingMutex;
    std::condition_variable pendingChanged;
    long pending = 0;

    void addPending (long delta)
    {
        {
            const std::lock_guard<std::mutex> lock (pendingMutex);
            pending += delta;
            jassert (pending >= 0);
        }

        pendingChanged.notify_all();
    }

    std::shared_ptr<Source> findSource (const juce::String& identifier) const
    {
        for (auto& source : sources)
            if (source->identifier == identifier)
                return source;

        return nullptr;
    }

    std::shared_ptr<Destination> findDestination (const juce::String& identifier) const
    {
        for (auto& destination : destinations)
            if (destination->identifier == identifier)
                return destination;

        return nullptr;
    }
};

namespace
{
using Core = VirtualMidiPorts::Core;

// A plug-in side input: its own queue and delivery thread, like a platform MIDI input.
class VirtualInput final : public MidiPorts::Input
{
public:
    VirtualInput (std::shared_ptr<Core> c, std::shared_ptr<Source> s, juce::MidiInputCallback* cb)
        : core (std::move (c)), source (std::move (s)), callback (cb)
    {
        deliveryThread = std::thread ([this] { run(); });
    }

    ~VirtualInput() override
    {
        // A handle destroyed from its own callback would join itself.
        jassert (std::this_thread::get_id() != deliveryThread.get_id());

        {
            const std::lock_guard<std::mutex> lock (core->mutex);
            auto& inputs = core->inputs;
            inputs.erase (std::remove (inputs.begin(), inputs.end(), this), inputs.end());
        }

        long dropped = 0;
        {
            const std::lock_guard<std::mutex> lock (queueMutex);
            quit = true;
            started = false;
            dropped = (long) queue.size();
            queue.clear();
        }

        wake.notify_all();
        deliveryThread.join();
        core->addPending (-dropped);
    }

    void start() override
    {
        bool wasStarted = false;
        {
            const std::lock_guard<std::mutex> lock (queueMutex);
            wasStarted = std::exchange (started, true);
        }

        if (! wasStarted)
            source->call();
    }

    void stop() override
    {
        long dropped = 0;
        {
            const std::lock_guard<std::mutex> lock (queueMutex);
            started = false;
            dropped = (long) queue.size();
            queue.clear();
        }

        core->addPending (-dropped);

        // Waits out a callback in progress, so none comes after stop() returns.
        if (std::this_thread::get_id() != deliveryThread.get_id())
        {
            const std::lock_guard<std::mutex> wait (deliveryMutex);
        }
    }

    // Called with core->mutex held.
    bool push (const juce::MidiMessage& message)
    {
        {
            const std::lock_guard<std::mutex> lock (queueMutex);
            if (! started || quit)
                return false;

            queue.push_back (message);
            core->addPending (1);
        }

        wake.notify_one();
        return true;
    }

    bool isStarted()
    {
        const std::lock_guard<std::mutex> lock (queueMutex);
        return started;
    }

    const juce::String& getSourceIdentifier() const noexcept { return source->identifier; }

private:
    void run()
    {
        for (;;)
        {
            std::unique_lock<std::mutex> lock (queueMutex);
            wake.wait (lock, [this] { return quit || ! queue.empty(); });

            if (quit)
                return;

            auto message = std::move (queue.front());
            queue.pop_front();

            // Taken before the queue is released, so stop() cannot slip in between.
            std::unique_lock<std::mutex> delivering (deliveryMutex);
            lock.unlock();

            callback->handleIncomingMidiMessage (nullptr, message);

            delivering.unlock();
            core->addPending (-1);
        }
    }

    std::shared_ptr<Core> core;
    std::shared_ptr<Source> source;
    juce::MidiInputCallback* const callback;

    std::mutex queueMutex;
    std::condition_variable wake;
    std::deque<juce::MidiMessage> queue;
    bool started = false;
    bool quit = false;

    std::mutex deliveryMutex;
    std::thread deliveryThread;
};

class VirtualOutput final : public MidiPorts::Output
{
public:
    explicit VirtualOutput (std::shared_ptr<Destination> d) : destination (std::move (d)) {}

    void sendMessageNow (const juce::MidiMessage& message) override { destination->call (message); }
    void clearAllPendingMessages() override {}

private:
    std::shared_ptr<Destination> destination;
};

template <typename Endpoints>
juce::Array<juce::MidiDeviceInfo> listOf (const Endpoints& endpoints)
{
    juce::Array<juce::MidiDeviceInfo> list;

    for (auto& endpoint : endpoints)
        list.add ({ endpoint->name, endpoint->identifier });

    return list;
}
} // namespace

VirtualMidiPorts::VirtualMidiPorts() : core (std::make_shared<Core>()) {}

VirtualMidiPorts::~VirtualMidiPorts()
{
    uninstall();
    withdrawAll();
}

void VirtualMidiPorts::install()
{
    MidiPorts::install (this);
}

void VirtualMidiPorts::uninstall()
{
    if (&MidiPorts::system() == this)
        MidiPorts::install (nullptr);
}

juce::String VirtualMidiPorts::publishInput (const juce::String& name, StartedCallback onStarted)
{
    auto source = std::make_shared<Source>();
    source->name = name;
    source->identifier = "virtual-in-" + juce::String (nextPortNumber++);
    source->callback = std::make_shared<const StartedCallback> (std::move (onStarted));

    const std::lock_guard<std::mutex> lock (core->mutex);
    core->sources.push_back (source);
    return source->identifier;
}

juce::String VirtualMidiPorts::publishOutput (const juce::String& name, ReceiveCallback onReceive)
{
    auto destination = std::make_shared<Destination>();
    destination->name = name;
    destination->identifier = "virtual-out-" + juce::String (nextPortNumber++);
    destination->callback = std::make_shared<const ReceiveCallback> (std::move (onReceive));

    const std::lock_guard<std::mutex> lock (core->mutex);
    core->destinations.push_back (destination);
    return destination->identifier;
}

void VirtualMidiPorts::withdraw (const juce::String& identifier)
{
    std::shared_ptr<Source> source;
    std::shared_ptr<Destination> destination;

    {
        const std::lock_guard<std::mutex> lock (core->mutex);
        auto& sources = core->sources;
        auto& destinations = core->destinations;

        if ((source = core->findSource (identifier)) != nullptr)
            sources.erase (std::find (sources.begin(), sources.end(), source));

        if ((destination = core->findDestination (identifier)) != nullptr)
            destinations.erase (std::find (destinations.begin(), destinations.end(), destination));
    }

    // Outside the registry lock: clearing waits for a callback that may be sending.
    if (source != nullptr)
        source->clear();

    if (destination != nullptr)
        destination->clear();
}

void VirtualMidiPorts::withdraw (std::mutex& ownerLock, juce::String& sourceIdentifier, juce::String& destinationIdentifier)
{
    juce::String source, destination;
    {
        const std::lock_guard<std::mutex> lock (ownerLock);
        std::swap (source, sourceIdentifier);
        std::swap (destination, destinationIdentifier);
    }

    if (source.isNotEmpty())
        withdraw (source);

    if (destination.isNotEmpty())
        withdraw (destination);
}

void VirtualMidiPorts::withdrawAll()
{
    juce::StringArray identifiers;

    {
        const std::lock_guard<std::mutex> lock (core->mutex);
        for (auto& source : core->sources)
            identifiers.add (source->identifier);
        for (auto& destination : core->destinations)
            identifiers.add (destination->identifier);
    }

    for (auto& identifier : identifiers)
        withdraw (identifier);
}

bool VirtualMidiPorts::sendToPlugin (const juce::String& sourceIdentifier, const juce::MidiMessage& message)
{
    auto stamped = message;
    stamped.setTimeStamp (juce::Time::getMillisecondCounterHiRes() * 0.001);

    const std::lock_guard<std::mutex> lock (core->mutex);

    if (sourceIdentifier.isEmpty() || core->findSource (sourceIdentifier) == nullptr)
        return false;

    bool taken = false;

    for (auto* input : core->inputs)
        if (input->getSourceIdentifier() == sourceIdentifier)
            taken = input->push (stamped) || taken;

    return taken;
}

bool VirtualMidiPorts::flush (int timeoutMs)
{
    std::unique_lock<std::mutex> lock (core->pendingMutex);
    return core->pendingChanged.wait_for (lock, std::chrono::milliseconds (timeoutMs),
                                          [this] { return core->pending == 0; });
}

int VirtualMidiPorts::getNumStartedInputs (const juce::String& sourceIdentifier) const
{
    const std::lock_guard<std::mutex> lock (core->mutex);
    int count = 0;

    for (auto* input : core->inputs)
        if (input->getSourceIdentifier() == sourceIdentifier && input->isStarted())
            ++count;

    return count;
}

juce::Array<juce::MidiDeviceInfo> VirtualMidiPorts::getInputs()
{
    const std::lock_guard<std::mutex> lock (core->mutex);
    return listOf (core->sources);
}

juce::Array<juce::MidiDeviceInfo> VirtualMidiPorts::getOutputs()
{
    const std::lock_guard<std::mutex> lock (core->mutex);
    return listOf (core->destinations);
}

std::unique_ptr<MidiPorts::Input> VirtualMidiPorts::openInput (const juce::String& identifier,
                                                               juce::MidiInputCallback* callback)
{
    if (callback == nullptr)
        return nullptr;

    const std::lock_guard<std::mutex> lock (core->mutex);
    auto source = core->findSource (identifier);

    if (source == nullptr)
        return nullptr;

    auto input = std::make_unique<VirtualInput> (core, std::move (source), callback);
    core->inputs.push_back (input.get());
    return input;
}

std::unique_ptr<MidiPorts::Output> VirtualMidiPorts::openOutput (const juce::String& identifier)
{
    const std::lock_guard<std::mutex> lock (core->mutex);
    auto destination = core->findDestination (identifier);
    return destination != nullptr ? std::make_unique<VirtualOutput> (std::move (destination)) : nullptr;
}
