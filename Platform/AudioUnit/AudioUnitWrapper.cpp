// The bundle's two entry points: creating and closing instances, the
// framework's lifetime and message loop, and handing every other call to the
// instance behind a live handle.

#include "AudioUnitInstance.h"
#include "HandleTable.h"
#include "KestrunAU.h"
#include "MessageThread.h"
#include "QuietBrokenPipes.h"
#include "Utilities/ThreadIdentity.h"
#include "Windows/DisplayConnection.h"

#include <juce_events/juce_events.h>
#include <atomic>
#include <mutex>
#include <optional>

#define KESTRUN_EXPORT extern "C" __attribute__ ((visibility ("default")))

namespace juce
{
bool dispatchNextMessageOnSystemQueue (bool returnIfNoPendingMessages);
}

namespace
{
constexpr int maximumIdleMessages = 10000;

// The first instance initialises the plug-in's copy of the framework on the
// calling thread, which so becomes the message thread; the last one shuts it down.
std::mutex lifetimeLock;
int liveInstances = 0;

// Every call into the bundle asks whether it came on the message thread, a
// render's and an automated parameter's too. The framework's own check locks
// a mutex that the host's message and automation threads also take, so the
// message thread is remembered here and compared without a lock.
ThreadIdentity messageThread;

void recordMessageThread()
{
    const auto* messages = juce::MessageManager::getInstanceWithoutCreating();
    messageThread.record (messages != nullptr ? messages->getCurrentMessageThread() : nullptr);
}

void retainFramework()
{
    const std::lock_guard<std::mutex> lock (lifetimeLock);
    if (liveInstances++ == 0)
    {
        juce::initialiseJuce_GUI();
        recordMessageThread();
    }
}

void releaseFramework()
{
    const std::lock_guard<std::mutex> lock (lifetimeLock);
    if (--liveInstances == 0)
    {
        juce::shutdownJuce_GUI();
        recordMessageThread();
    }
}
} // namespace

bool isPluginMessageThread() noexcept
{
    return messageThread.isCurrentThread();
}

namespace
{
// Calls into the bundle under way on the message thread, so that an exit from
// inside one of them leaves the instances alone.
std::atomic<int> messageThreadCalls { 0 };

struct MessageThreadCall
{
    MessageThreadCall()
    {
        if (counted)
            ++messageThreadCalls;
    }

    ~MessageThreadCall()
    {
        if (counted)
            --messageThreadCalls;
    }

    const bool counted = isPluginMessageThread();
};

// Hosts hold handles, never pointers: a closed or made-up handle finds nothing.
using Instances = HandleTable<AudioUnitInstance, KAU_MAX_INSTANCES>;

Instances& instances()
{
    static Instances table;
    return table;
}

Instances::Handle toHandle (KAUInstance* instance)
{
    return reinterpret_cast<Instances::Handle> (instance);
}

// A host may exit, or unload the bundle, with instances still open. Then the
// bundle's static objects are destroyed, the framework's among them (its timer
// lock), while the framework's threads still run and use them. So whatever was
// left open is closed first, and the framework shut down, on the thread that
// exits: by then no other host thread may be calling in. An exit from within a
// call (a host listener's, the window system's error handler) leaves them:
// closing would pull the objects out from under that call.
void closeInstancesLeftOpen()
{
    if (messageThreadCalls.load() > 0)
        return;

    if (auto* messages = juce::MessageManager::getInstanceWithoutCreating())
    {
        if (! messages->isThisTheMessageThread())
            messages->setCurrentThreadAsMessageThread();

        recordMessageThread();
    }

    const QuietBrokenPipes closingTheDisplay;
    DisplayConnection::checkForLoss();

    while (auto* instance = instances().removeAny())
    {
        delete instance;
        releaseFramework();
    }
}

// Static objects go in the reverse order of their making. One of these is made
// once the first instance is open, again after the first idle call (which
// starts the framework's timer thread) and after the first editor opens, so
// that one goes before every static object made on the way (the framework's
// record of its threads, its leak counters). Whichever goes first closes what
// is left.
struct ClosesInstancesLeftOpen
{
    ~ClosesInstancesLeftOpen() { closeInstancesLeftOpen(); }
};
} // namespace

//==============================================================================
KESTRUN_EXPORT KAUInstance* KestrunAUFactory (const KAUFactoryArgs* args)
{
    if (args == nullptr || args->interfaceVersion != KAU_INTERFACE_VERSION)
        return nullptr;

    retainFramework();

    if (! isPluginMessageThread())
    {
        // Instances belong to the thread that created the first of them.
        releaseFramework();
        return nullptr;
    }

    const MessageThreadCall call;
    auto instance = std::make_unique<AudioUnitInstance>();
    const auto handle = instances().add (instance.get());

    if (handle == 0)
    {
        instance.reset();
        releaseFramework();
        return nullptr;
    }

    // The table owns the instance from here: closing its handle deletes it.
    instance.release(); // NOLINT(bugprone-unused-return-value)
    // Made now, as the framework's threads would make it later.
    juce::Thread::getCurrentThread();
    static const ClosesInstancesLeftOpen afterTheFirstInstance;
    // The host holds the handle as its instance pointer; nothing dereferences it.
    return reinterpret_cast<KAUInstance*> (handle); // NOLINT(performance-no-int-to-ptr)
}

KESTRUN_EXPORT int32_t KestrunAUEntry (KAUInstance* instance, int32_t selector, void* args)
{
    const MessageThreadCall call;

    // A server gone since the last call is noticed before the framework speaks
    // to it: Xlib would call the host's I/O error handler, by default an exit.
    // It may still go while the framework speaks, and the framework's writes
    // then must not end the host. Only these calls make the framework speak to
    // the server there and then.
    std::optional<QuietBrokenPipes> speakingToTheServer;
    if (call.counted && (selector == KAU_Idle || selector == KAU_Close || selector == KAU_CreateEditor
                         || selector == KAU_DestroyEditor))
    {
        speakingToTheServer.emplace();
        DisplayConnection::checkForLoss();
    }

    if (selector == KAU_Idle)
    {
        if (! isPluginMessageThread())
            return KAU_ErrWrongThread;

        for (int i = 0; i < maximumIdleMessages && juce::dispatchNextMessageOnSystemQueue (true); ++i)
            DisplayConnection::checkForLoss();

        static const ClosesInstancesLeftOpen afterTheFirstIdle;
        return KAU_OK;
    }

    auto* object = instances().find (toHandle (instance));

    if (object == nullptr)
        return KAU_ErrInvalidInstance;

    if (selector == KAU_Close)
    {
        if (! isPluginMessageThread())
            return KAU_ErrWrongThread;

        delete instances().remove (toHandle (instance));
        releaseFramework();
        return KAU_OK;
    }

    const auto result = object->dispatch (selector, args);

    if (selector == KAU_CreateEditor && result == KAU_OK)
    {
        static const ClosesInstancesLeftOpen afterTheFirstEditor;
    }

    return result;
}
