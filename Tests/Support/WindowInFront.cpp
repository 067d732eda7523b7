// The framework's own X11 access (XWindowSystem, X11Symbols).
#define JUCE_GUI_BASICS_INCLUDE_XHEADERS 1

#include "Support/WindowInFront.h"

#include "Support/MessageLoop.h"

#include <juce_events/native/juce_linux_EventLoopInternal.h>

// The framework handles its X connection's events only when the connection's
// socket has news. Xlib reads every event that comes before the reply to a
// request it waits for into its queue, and the socket has nothing new: those
// events wait there until the next one comes, which on a display where nobody
// moves the mouse may be never. The framework waits for replies often (toFront,
// a focus check, and isShowing, which reads the window's state from the
// server), so the window manager's focus, given meanwhile, is not heard, and a
// window that has the focus is not in front for the framework. A user's next
// move or click would bring them in; here the framework's own handler of the
// connection is run for them.
namespace
{
void handleEventsXlibHolds()
{
    const auto* windows = juce::XWindowSystem::getInstanceWithoutCreating();
    auto* display = windows != nullptr ? windows->getDisplay() : nullptr;
    if (display == nullptr)
        return;

    int held = 0;
    {
        const juce::XWindowSystemUtilities::ScopedXLock lock;
        held = juce::X11Symbols::getInstance()->xEventsQueued (display, QueuedAlready);
    }

    if (held > 0)
        juce::LinuxEventLoopInternal::invokeEventLoopCallbackForFd (juce::X11Symbols::getInstance()->xConnectionNumber (display));
}
} // namespace

bool isInFront (juce::Component& window)
{
    handleEventsXlibHolds();
    return window.isShowing() && juce::Process::isForegroundProcess();
}

::testing::AssertionResult showInFront (juce::Component& window, std::chrono::milliseconds timeout)
{
    if (! window.isOnDesktop())
        window.addToDesktop (juce::ComponentPeer::windowHasTitleBar);
    window.setVisible (true);

    // The window manager may pass over a request (it came before the window was
    // mapped, or looked like focus stealing), so ask again, but only once the
    // last request has had time to be answered: asking at every turn of the loop
    // moves the focus away and back faster than a busy server reports it.
    auto lastAsked = std::chrono::steady_clock::time_point {};
    return runLoopUntil ("the window shown in front", [&window, &lastAsked]
    {
        if (isInFront (window))
            return true;

        if (const auto now = std::chrono::steady_clock::now(); now - lastAsked >= std::chrono::milliseconds (500))
        {
            lastAsked = now;
            window.toFront (true);
            window.grabKeyboardFocus();
        }

        return false;
    }, timeout);
}
