// The framework's own X11 access (XWindowSystem, X11Symbols): it loads Xlib
// itself, so the plug-in needs no link to it.
#define JUCE_GUI_BASICS_INCLUDE_XHEADERS 1

#include "Windows/DesktopWindow.h"

#include "Windows/DisplayConnection.h"

#include <juce_gui_basics/juce_gui_basics.h>

#include <algorithm>
#include <iterator>

namespace
{
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
} // namespace

bool DesktopWindow::isAvailable()
{
    return DisplayConnection::isUsable() && juce::Desktop::getInstance().getDisplays().getPrimaryDisplay() != nullptr;
}

bool DesktopWindow::open (juce::Component& component, const std::function<void()>& addToDesktop)
{
    if (! isAvailable())
        return false;

    auto* windows = juce::XWindowSystem::getInstance();
    makeWindowManagerAtoms (*windows);

    const auto refusedBefore = DisplayConnection::windowsRefused();
    addToDesktop();

    {
        // Every request of the making answered, and so every error of it counted.
        const juce::XWindowSystemUtilities::ScopedXLock lock;
        juce::X11Symbols::getInstance()->xSync (windows->getDisplay(), False);
    }

    const auto* peer = component.getPeer();
    if (DisplayConnection::windowsRefused() != refusedBefore || peer == nullptr || peer->getNativeHandle() == nullptr)
        component.removeFromDesktop();

    return component.isOnDesktop();
}
