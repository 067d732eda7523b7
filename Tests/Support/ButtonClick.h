#pragma once

#include "Support/MessageLoop.h"

#include <juce_gui_basics/juce_gui_basics.h>

// Clicks a button as a user does, through the framework's click path, and lets
// it come up again. The click is a posted message: it counts only once the
// button has told its listeners of it, since a button not down is also one
// whose click has not been handled yet, and one deleted or disabled before then
// drops it. The framework draws a triggered button down until it has been
// painted once and its timer has run; off screen nothing paints it, so this
// paints it as a display would. No picture taken afterwards shows it held down.
inline ::testing::AssertionResult clickAndRelease (juce::Button& button, std::chrono::milliseconds timeout = patience)
{
    // Added last, so told first, before a listener that may delete the button.
    struct Heard : juce::Button::Listener
    {
        void buttonClicked (juce::Button*) override { clicked = true; }
        bool clicked = false;
    } heard;

    const juce::Component::SafePointer<juce::Button> clicked (&button);
    const auto name = "the button \"" + button.getButtonText().toStdString() + "\"";
    button.addListener (&heard);
    button.triggerClick();
    deliverPostedMessages();

    const auto forget = [&clicked, &heard] { if (clicked != nullptr) clicked->removeListener (&heard); };

    if (! heard.clicked)
    {
        forget();
        return ::testing::AssertionFailure() << name << " never handled its click: it was "
                                             << (clicked == nullptr ? "deleted" : clicked->isEnabled() ? "still waiting for it" : "disabled");
    }

    auto up = runLoopUntil (name + " to come up again after its click", [&clicked]
    {
        if (clicked == nullptr || clicked->getState() != juce::Button::buttonDown)
            return true;

        if (! clicked->isShowing())
        {
            juce::Image canvas (juce::Image::ARGB, juce::jmax (1, clicked->getWidth()), juce::jmax (1, clicked->getHeight()), true);
            juce::Graphics g (canvas);
            clicked->paintEntireComponent (g, false);
        }
        return false;
    }, timeout);

    forget();
    return up;
}
