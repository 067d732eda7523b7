// The bundle's two entry points: creating and closing instances, the
// framework's lifetime and message loop, and handing every other call to the
// instance behind a live handle.

#include "AudioUnitInstance.h"
#include "HandleTable.h"
#include "KestrunAU.h"

#include <juce_events/juce_events.h>
#include <mutex>

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

void retainFramework()
{
    const std::lock_guard<std::mutex> lock (lifetimeLock);
    if (liveInstances++ == 0)
        juce::initialiseJuce_GUI();
}

void releaseFramework()
{
    const std::lock_guard<std::mutex> lock (lifetimeLock);
    if (--liveInstances == 0)
        juce::shutdownJuce_GUI();
}

bool onMessageThread()
{
    return juce::MessageManager::existsAndIsCurrentThread();
}

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
} // namespace

//==============================================================================
KESTRUN_EXPORT KAUInstance* KestrunAUFactory (const KAUFactoryArgs* args)
{
    if (args == nullptr || args->interfaceVersion != KAU_INTERFACE_VERSION)
        return nullptr;

    retainFramework();

    if (! onMessageThread())
    {
        // Instances belong to the thread that created the first of them.
        releaseFramework();
        return nullptr;
    }

    auto instance = std::make_unique<AudioUnitInstance>();
    const auto handle = instances().add (instance.get());

    if (handle == 0)
    {
        instance.reset();
        releaseFramework();
        return nullptr;
    }

    instance.release();
    return reinterpret_cast<KAUInstance*> (handle);
}

KESTRUN_EXPORT int32_t KestrunAUEntry (KAUInstance* instance, int32_t selector, void* args)
{
    if (selector == KAU_Idle)
    {
        if (! onMessageThread())
            return KAU_ErrWrongThread;

        for (int i = 0; i < maximumIdleMessages && juce::dispatchNextMessageOnSystemQueue (true); ++i)
        {
        }

        return KAU_OK;
    }

    auto* object = instances().find (toHandle (instance));

    if (object == nullptr)
        return KAU_ErrInvalidInstance;

    if (selector == KAU_Close)
    {
        if (! onMessageThread())
            return KAU_ErrWrongThread;

        delete instances().remove (toHandle (instance));
        releaseFramework();
        return KAU_OK;
    }

    return object->dispatch (selector, args);
}
