// Through the framework's X11 access, which has loaded Xlib: the tests need no link to it.
#define JUCE_GUI_BASICS_INCLUDE_XHEADERS 1

#include "Support/OtherXClient.h"

#include <juce_gui_basics/juce_gui_basics.h>

namespace
{
::Display* asDisplay (void* display) { return static_cast<::Display*> (display); }
} // namespace

OtherXClient::OtherXClient()
{
    auto& x = *juce::X11Symbols::getInstance();
    auto* opened = x.xOpenDisplay (nullptr);
    if (opened == nullptr)
        return;

    // Left alone by the window manager, and mapped at once: a window that can
    // always take the focus, so no request of this client ever fails.
    XSetWindowAttributes attributes {};
    attributes.override_redirect = True;
    ownWindow = x.xCreateWindow (opened, x.xDefaultRootWindow (opened), 0, 0, 8, 8, 0, CopyFromParent, InputOutput,
                                 nullptr, CWOverrideRedirect, &attributes);
    x.xMapWindow (opened, ownWindow);
    x.xSync (opened, False);
    display = opened;
}

OtherXClient::~OtherXClient()
{
    if (display == nullptr)
        return;

    auto& x = *juce::X11Symbols::getInstance();
    x.xDestroyWindow (asDisplay (display), ownWindow);
    x.xCloseDisplay (asDisplay (display));
}

void OtherXClient::focus (unsigned long window)
{
    if (display == nullptr)
        return;

    auto& x = *juce::X11Symbols::getInstance();
    x.xSetInputFocus (asDisplay (display), window, RevertToParent, CurrentTime);
    x.xSync (asDisplay (display), False);
}

void roundTripOnFrameworkConnection()
{
    const auto* windows = juce::XWindowSystem::getInstanceWithoutCreating();
    if (windows == nullptr || windows->getDisplay() == nullptr)
        return;

    const juce::XWindowSystemUtilities::ScopedXLock lock;
    juce::X11Symbols::getInstance()->xSync (windows->getDisplay(), False);
}
