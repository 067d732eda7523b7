#include "PluginBundle.h"

#include <dlfcn.h>

namespace
{
    std::string lastDlError()
    {
        const char* text = dlerror();
        return text != nullptr ? text : "unknown error";
    }
}

PluginBundle::PluginBundle (const std::string& path)
    : bundlePath (path)
{
    dlerror();
    // RTLD_LOCAL keeps the bundle's symbols (its whole framework) out of the
    // host's namespace, so only what it exports on purpose can be reached.
    // Like most hosts, it never unmaps a bundle it has loaded.
    // A path without a slash names a file here, not a library to search for.
    const auto file = path.find ('/') == std::string::npos ? "./" + path : path;
    handle = dlopen (file.c_str(), RTLD_NOW | RTLD_LOCAL | RTLD_NODELETE);

    if (handle == nullptr)
    {
        errorText = "cannot load bundle " + path + ": " + lastDlError();
        return;
    }

    // POSIX guarantees that dlsym's void* converts to a function pointer.
    dlerror();
    auto* factorySymbol = dlsym (handle, "KestrunAUFactory");

    if (factorySymbol == nullptr)
    {
        errorText = "bundle " + path + " does not export KestrunAUFactory: " + lastDlError();
        return;
    }

    dlerror();
    auto* entrySymbol = dlsym (handle, "KestrunAUEntry");

    if (entrySymbol == nullptr)
    {
        errorText = "bundle " + path + " does not export KestrunAUEntry: " + lastDlError();
        return;
    }

    factory = reinterpret_cast<KestrunAUFactoryProc> (factorySymbol);
    entry = reinterpret_cast<KestrunAUEntryProc> (entrySymbol);
}

PluginBundle::~PluginBundle()
{
    if (handle != nullptr)
        dlclose (handle);
}

int32_t PluginBundle::idle (KestrunAUEntryProc entryPoint)
{
    if (entryPoint == nullptr)
        return KAU_ErrInvalidArgument;

    return entryPoint (nullptr, KAU_Idle, nullptr);
}

int32_t PluginBundle::idle() const
{
    return idle (entry);
}
