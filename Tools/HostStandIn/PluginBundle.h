#pragma once

#include "KestrunAU.h"

#include <string>

// A loaded plug-in bundle: the shared library and its two entry points.
// Nothing else of the bundle is ever touched, just as a real host would do.
// Every instance created from a bundle must be closed before the bundle goes.
class PluginBundle
{
public:
    explicit PluginBundle (const std::string& path);
    ~PluginBundle();

    PluginBundle (const PluginBundle&) = delete;
    PluginBundle& operator= (const PluginBundle&) = delete;

    // True when the library is open and both entry points were found.
    bool isLoaded() const noexcept { return factory != nullptr && entry != nullptr; }

    // Why loading failed; empty when it did not.
    const std::string& error() const noexcept { return errorText; }
    const std::string& path() const noexcept { return bundlePath; }

    KestrunAUFactoryProc getFactory() const noexcept { return factory; }
    KestrunAUEntryProc getEntry() const noexcept { return entry; }

    // Runs the plug-in's pending messages and due timers; needs no instance.
    static int32_t idle (KestrunAUEntryProc entryPoint);
    int32_t idle() const;

private:
    std::string bundlePath;
    std::string errorText;
    void* handle = nullptr;
    KestrunAUFactoryProc factory = nullptr;
    KestrunAUEntryProc entry = nullptr;
};
