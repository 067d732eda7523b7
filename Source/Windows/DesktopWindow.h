#pragma once

#include <functional>

namespace juce
{
class Component;
}

// Puts a component in a window of its own, also on an X display where no
// window manager has run (a bare Xvfb, a kiosk session). The framework names
// some of a window's properties by atoms that it only looks up, and only a
// window manager makes them: on such a display the requests fail, and Xlib's
// default handler, which a plug-in's host may leave in place, ends the process.
// So the atoms are made first, and the errors of making the window are caught
// and the host's handler put back before this returns. Message thread.
class DesktopWindow
{
public:
    // Runs addToDesktop, which puts the component on the desktop; true when it
    // has a window then. One that could not be made is taken away again.
    static bool open (juce::Component& component, const std::function<void()>& addToDesktop);
};
