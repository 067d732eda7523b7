#pragma once

#include <functional>

namespace juce
{
class Component;
}

// Puts a component in a window of its own, also on an X display where no
// window manager has run (a bare Xvfb, a kiosk session). The framework names
// some of a window's properties by atoms that it only looks up, and only a
// window manager makes them: so the atoms are made first. Errors of making the
// window stay on the framework's own connection (DisplayConnection), where a
// refused window is counted. Message thread.
class DesktopWindow
{
public:
    // Whether a window can be made now (DisplayConnection::isUsable) on a
    // display the framework found screens on.
    static bool isAvailable();

    // Runs addToDesktop, which puts the component on the desktop, where a
    // window can be made; true when it has one then. A component whose
    // window the server refused, or the framework did not make, is taken away again.
    static bool open (juce::Component& component, const std::function<void()>& addToDesktop);
};
