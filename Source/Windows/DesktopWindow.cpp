// The framework's own X11 access (XWindowSystem, X11Symbols): it loads Xlib
// itself, so the plug-in needs no link to it.
#define JUCE_GUI_BASICS_INCLUDE_XHEADERS 1

#include "Windows/DesktopWindow.h"

#include <juce_gui_basics/juce_gui_basics.h>

#include <X11/Xproto.h>

#include <algorithm>
#include <iterator>
#include <utility>

namespace
{
using juce::X11Symbols;
using Atoms = juce::XWindowSystemUtilities::Atoms;

// The names the framework looks up without making them, as its Atoms keep them.
constexpr const char* windowManagerNames[] = { "WM_PROTOCOLS", "WM_TAKE_FOCUS", "WM_DELETE_WINDOW", "_NET_WM_PING",
                                               "WM_CHANGE_STATE", "WM_STATE", "_NET_WM_WINDOW_TYPE", "_NET_WM_STATE",
                                               "_NET_WM_STATE_HIDDEN" };

// The framework reads its atoms once, when it opens the display: ones missing
// then stay None, even after another program has made them, until refreshed.
void makeWindowManagerAtoms (const juce::XWindowSystem& windows)
{
    auto& atoms = const_cast<Atoms&> (windows.getAtoms());
    const Atom kept[] = { atoms.protocols, atoms.protocolList[0], atoms.protocolList[1], atoms.protocolList[2],
                          atoms.changeState, atoms.state, atoms.windowType, atoms.windowState, atoms.windowStateHidden };

    if (std::find (std::begin (kept), std::end (kept), (Atom) None) == std::end (kept))
        return;

    const juce::XWindowSystemUtilities::ScopedXLock lock;
    for (auto* name : windowManagerNames)
        Atoms::getCreating (windows.getDisplay(), name);

    atoms = Atoms (windows.getDisplay());
}

// While windows are made, errors on the framework's connection are counted and
// let pass; those of any other connection (the host's own) go to the host's handler.
::Display* trappedDisplay = nullptr;
XErrorHandler hostHandler = nullptr;
int windowsRefused = 0;

int trapError (::Display* display, XErrorEvent* error)
{
    if (display != trappedDisplay)
        return hostHandler != nullptr ? hostHandler (display, error) : 0;

    if (error->request_code == X_CreateWindow)
        ++windowsRefused;

    return 0;
}
} // namespace

bool DesktopWindow::open (juce::Component& component, const std::function<void()>& addToDesktop)
{
    auto* windows = juce::XWindowSystem::getInstance();

    if (! windows->isX11Available())
    {
        addToDesktop();
        return component.isOnDesktop();
    }

    makeWindowManagerAtoms (*windows);

    auto* symbols = X11Symbols::getInstance();
    auto* display = windows->getDisplay();

    // A window made while another is being made falls under that one's trap.
    const bool outermost = trappedDisplay == nullptr;
    if (outermost)
    {
        trappedDisplay = display;
        hostHandler = symbols->xSetErrorHandler (trapError);
    }

    const juce::ScopeGuard restore { [&]
    {
        if (! outermost)
            return;

        // Every request made so far is answered while the trap still holds.
        symbols->xSync (display, False);
        symbols->xSetErrorHandler (std::exchange (hostHandler, nullptr));
        trappedDisplay = nullptr;
    } };

    const auto refusedBefore = windowsRefused;
    addToDesktop();
    symbols->xSync (display, False);

    if (windowsRefused != refusedBefore || component.getPeer() == nullptr)
        component.removeFromDesktop();

    return component.isOnDesktop();
}
