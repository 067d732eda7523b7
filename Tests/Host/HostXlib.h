#pragma once

#include <X11/Xlib.h>

#include <dlfcn.h>

#include <type_traits>

// The host's own Xlib: the library the plug-in's framework loads too, so that
// both share its one process-wide error and I/O error handler. Loaded on first
// use and never unloaded, as a host with windows keeps it; `loaded` is false
// where it is missing.
struct HostXlib
{
    static const HostXlib& get()
    {
        static const HostXlib xlib;
        return xlib;
    }

    bool loaded = false;
    decltype (&::XOpenDisplay) openDisplay = nullptr;
    decltype (&::XCloseDisplay) closeDisplay = nullptr;
    decltype (&::XSetErrorHandler) setErrorHandler = nullptr;
    decltype (&::XSetIOErrorHandler) setIOErrorHandler = nullptr;
    decltype (&::XMapWindow) mapWindow = nullptr;
    decltype (&::XSync) sync = nullptr;
    decltype (&::XQueryTree) queryTree = nullptr;
    decltype (&::XDestroyWindow) destroyWindow = nullptr;
    decltype (&::XFree) free = nullptr;

private:
    HostXlib()
    {
        void* library = dlopen ("libX11.so.6", RTLD_NOW | RTLD_LOCAL);
        if (library == nullptr)
            return;

        const auto find = [library] (auto& function, const char* name)
        {
            function = reinterpret_cast<std::remove_reference_t<decltype (function)>> (dlsym (library, name));
            return function != nullptr;
        };

        loaded = find (openDisplay, "XOpenDisplay") && find (closeDisplay, "XCloseDisplay")
                 && find (setErrorHandler, "XSetErrorHandler") && find (setIOErrorHandler, "XSetIOErrorHandler")
                 && find (mapWindow, "XMapWindow") && find (sync, "XSync") && find (queryTree, "XQueryTree")
                 && find (destroyWindow, "XDestroyWindow") && find (free, "XFree");
    }
};

// A host's own error and I/O error handlers, which count what reaches them and return.
struct CountingHandlers
{
    static int error (::Display*, XErrorEvent*) { return ++heard(), 0; }
    static int ioError (::Display*) { return ++heard(), 0; }

    static int& heard()
    {
        static int count = 0;
        return count;
    }
};
