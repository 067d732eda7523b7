#pragma once

#include "Support/MessageLoop.h"

#include <juce_gui_basics/juce_gui_basics.h>

// Clicks a button as a user does, through the framework's click path, and lets
// it come up again. The framework draws a triggered button down until it has
// been painted once and its timer has run; off screen nothing paints it, so
// this paints it as a display would. No picture taken afterwards shows it held
// down. Fails when it is still down when the time is up.
inline ::testing::AssertionResult clickAndRelease (juce::Button& button, std::chrono::milliseconds timeout = patience)
{
    const juce::Component::SafePointer<juce::Button> clicked (&button);
    const auto what = "the button \"" + button.getButtonText().toStdString() + "\" to come up again after its click";
    button.triggerClick();
    deliverPostedMessages();

    return runLoopUntil (what, [&clicked]
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
}
