// The framework's own X11 access (XWindowSystem): it loads Xlib itself, so the
// plug-in needs no link to it.
#define JUCE_GUI_BASICS_INCLUDE_XHEADERS 1

#include "Windows/DisplayConnection.h"

#include "Windows/DisplayName.h"
#include "Windows/GenericEventsSetUp.h"

#include <juce_gui_basics/juce_gui_basics.h>

// Last: the per-connection hooks and the connection's state live here.
#include <X11/Xlibint.h>

#include <dlfcn.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <array>
#include <cstdlib>
#include <cstring>
#include <utility>

namespace
{
using WireToError = Bool (*) (::Display*, XErrorEvent*, xError*);

// The per-connection parts of Xlib, and libXext's Generic Event extension,
// from the libraries the framework loaded, which stay loaded from then on: the
// hooks are the bundle's and libXext's, but a connection may hold them up to
// the process's exit. An Xlib older than 1.8 has no exit hook; the loss is
// still noticed first.
struct Xlib
{
    Xlib()
    {
        library = dlopen ("libX11.so.6", RTLD_NOW | RTLD_LOCAL | RTLD_NOLOAD | RTLD_NODELETE);
        if (library == nullptr)
            return;

        addExtension = reinterpret_cast<decltype (addExtension)> (dlsym (library, "XAddExtension"));
        setCloseDisplay = reinterpret_cast<decltype (setCloseDisplay)> (dlsym (library, "XESetCloseDisplay"));
        setWireToError = reinterpret_cast<decltype (setWireToError)> (dlsym (library, "XESetWireToError"));
        setExitHandler = reinterpret_cast<decltype (setExitHandler)> (dlsym (library, "XSetIOErrorExitHandler"));

        if (auto* extensions = dlopen ("libXext.so.6", RTLD_NOW | RTLD_LOCAL | RTLD_NOLOAD | RTLD_NODELETE))
            queryGenericEvents = reinterpret_cast<GenericEventsSetUp::QueryVersion> (dlsym (extensions, "XGEQueryVersion"));
    }

    bool canHook() const { return addExtension != nullptr && setCloseDisplay != nullptr && setWireToError != nullptr; }

    void* library = nullptr;
    decltype (&::XAddExtension) addExtension = nullptr;
    decltype (&::XESetCloseDisplay) setCloseDisplay = nullptr;
    decltype (&::XESetWireToError) setWireToError = nullptr;
    decltype (&::XSetIOErrorExitHandler) setExitHandler = nullptr;
    GenericEventsSetUp::QueryVersion queryGenericEvents = nullptr;
};

// Made once the framework has loaded Xlib and libXext for its display.
Xlib& xlib()
{
    static Xlib loaded;
    return loaded;
}

// One framework per copy of the bundle, so one connection: its hooks find it here.
struct Hooked
{
    ::Display* display = nullptr;           // until the framework closes it
    std::array<WireToError, 256> converters {};
    int windowsRefused = 0;
    bool lost = false;
    bool windowsTakenAway = false;
};

Hooked hooked;

// Every error of the connection is converted here, and none goes on to the
// process-wide handler (the host's): they are the framework's. The connection
// hook that an extension offers (XESetError) would see only the errors met
// while Xlib waits for a reply, not those that the event loop reads.
Bool keepOnConnection (::Display* display, XErrorEvent* error, xError* wire)
{
    if (auto* converter = hooked.converters[error->error_code])
        converter (display, error, wire);

    if (error->request_code == X_CreateWindow)
        ++hooked.windowsRefused;

    return False;
}

int forgetConnection (::Display*, XExtCodes*)
{
    hooked = {};
    return 0;
}

// The server has gone and Xlib does nothing on the connection any more. The
// framework's event loop still polls its descriptor, which would wake it at
// once for ever: a descriptor that never wakes takes its place, and closing
// the connection later closes that.
// Xlib drops the requests made on a broken connection without emptying its
// output buffer, and where xcb held the socket the buffer has no room at all.
// A request that finds no room comes back as none, which Xlib's request
// makers do not check: a crash. So the buffer is emptied, with room no larger
// than Xlib ever allocates, whenever the host calls in.
void emptyBuffer (::Display* display)
{
    display->bufptr = display->buffer;
    if (display->bufmax == display->buffer)
        display->bufmax = display->buffer + BUFSIZE;
}

void retire (::Display* display)
{
    hooked.lost = true;
    emptyBuffer (display);

    const int silent = eventfd (0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (silent < 0)
        return;

    dup2 (silent, ConnectionNumber (display));
    close (silent);
}

// Reached only where the host's own I/O error handler returned.
void survive (::Display* display, void*)
{
    GenericEventsSetUp::parkIfSettingUp();

    const juce::XWindowSystemUtilities::ScopedXLock lock;
    retire (display);
}

void hook (::Display* display)
{
    if (hooked.display == display || ! xlib().canHook())
        return;

    // Told when the framework closes it, before another may be opened at the same address.
    auto* codes = xlib().addExtension (display);
    if (codes == nullptr)
        return;

    xlib().setCloseDisplay (display, codes->extension, forgetConnection);

    hooked = {};
    for (int code = 0; code < (int) hooked.converters.size(); ++code)
        hooked.converters[(size_t) code] = xlib().setWireToError (display, code, keepOnConnection);

    // Xlib leaves code 0 unset: no error has it, and what it held is no converter.
    hooked.converters[0] = nullptr;

    if (xlib().setExitHandler != nullptr)
        xlib().setExitHandler (display, survive, nullptr);

    hooked.display = display;
}

bool hangsUp (int descriptor)
{
    pollfd connection { descriptor, POLLRDHUP, 0 };
    return poll (&connection, 1, 0) > 0 && (connection.revents & (POLLRDHUP | POLLHUP | POLLERR | POLLNVAL)) != 0;
}

// As Xlib marks a connection it found broken, but before any handler of the host's hears of it.
void markLost (::Display* display)
{
    display->flags |= XlibDisplayIOError;
    retire (display);
}

using OpenDisplay = ::Display* (*) (const char*);

// Xlib's, as the framework loaded it for the window system it is making.
OpenDisplay xlibsOpenDisplay = nullptr;

// Refused before anything is sent: a display that DISPLAY does not name (the
// framework asks for ":0.0" then, whoever's display that is), and a screen
// that is not a plain number, which Xlib would take as a negative one. Xlib
// refuses a screen beyond the server's count itself. The connection has its
// hooks before the framework's first request: the framework's errors stay
// on it, and a host whose I/O error handler returns goes on.
::Display* openForFramework (const char* name)
{
    const char* named = std::getenv ("DISPLAY");
    if (name == nullptr || named == nullptr || std::strcmp (name, named) != 0)
        return nullptr;

    const auto screen = DisplayName::screenOf (name);
    auto* display = screen.has_value() ? xlibsOpenDisplay (name) : nullptr;
    if (display == nullptr)
        return nullptr;

    if (DefaultScreen (display) != *screen || *screen >= ScreenCount (display))
    {
        juce::X11Symbols::getInstance()->xCloseDisplay (display);
        return nullptr;
    }

    hook (display);
    if (hooked.display != display)
        return display;

    if (hangsUp (ConnectionNumber (display)))
    {
        markLost (display);
        juce::X11Symbols::getInstance()->xCloseDisplay (display);
        return nullptr;
    }

    if (! GenericEventsSetUp::make (display, xlib().queryGenericEvents))
    {
        hooked = {};
        return nullptr;
    }

    return display;
}
} // namespace

void DisplayConnection::takeOverOpening()
{
    // The framework's symbols are loaded, its window system not made yet: it is being made.
    auto* symbols = juce::X11Symbols::getInstanceWithoutCreating();
    if (symbols == nullptr || juce::XWindowSystem::getInstanceWithoutCreating() != nullptr)
        return;

    if (symbols->xOpenDisplay != openForFramework)
    {
        xlibsOpenDisplay = symbols->xOpenDisplay;
        symbols->xOpenDisplay = openForFramework;
    }
}

bool DisplayConnection::isUsable()
{
    const char* name = std::getenv ("DISPLAY");
    if (name == nullptr || ! DisplayName::screenOf (name).has_value())
        return false;

    auto* windows = juce::XWindowSystem::getInstance();
    auto* display = windows->isX11Available() ? windows->getDisplay() : nullptr;
    if (display == nullptr)
        return false;

    checkForLoss();

    // The framework opens its display once, and DISPLAY may have changed since.
    return hooked.display == display && ! hooked.lost && std::strcmp (DisplayString (display), name) == 0;
}

void DisplayConnection::checkForLoss()
{
    const auto* windows = juce::XWindowSystem::getInstanceWithoutCreating();
    auto* display = windows != nullptr && windows->isX11Available() ? windows->getDisplay() : nullptr;
    if (display == nullptr)
        return;

    hook (display);

    if (hooked.display != display)
        return;

    if (! hooked.lost && hangsUp (ConnectionNumber (display)))
    {
        const juce::XWindowSystemUtilities::ScopedXLock lock;
        markLost (display);
    }

    if (! hooked.lost)
        return;

    // Drawing into a window fills the buffer within a single message: the
    // framework's windows go, the components stay for the host to close.
    if (! std::exchange (hooked.windowsTakenAway, true))
    {
        juce::PopupMenu::dismissAllActiveMenus();
        auto& desktop = juce::Desktop::getInstance();
        for (int i = desktop.getNumComponents(); --i >= 0;)
            if (auto* component = desktop.getComponent (i))
                component->removeFromDesktop();
    }

    const juce::XWindowSystemUtilities::ScopedXLock lock;
    emptyBuffer (display);
}

int DisplayConnection::windowsRefused()
{
    return hooked.windowsRefused;
}
