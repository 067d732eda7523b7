#pragma once

#include <juce_gui_basics/juce_gui_basics.h>

// Clicks a button as a user does, through the framework's click path, and lets
// it come up again. The framework draws a triggered button down until it has
// been painted once and its timer has run; off screen nothing paints it, so
// this paints it as a display would. No picture taken afterwards shows it held
// down. False when it is still down when the time is up.
inline bool clickAndRelease (juce::Button& button, int timeoutMs = 10000)
{
    const juce::Component::SafePointer<juce::Button> clicked (&button);
    button.triggerClick();

    auto* messages = juce::MessageManager::getInstance();
    messages->runDispatchLoopUntil (10);
    for (int waited = 0; clicked != nullptr && clicked->getState() == juce::Button::buttonDown; waited += 10)
    {
        if (waited >= timeoutMs)
            return false;

        if (! clicked->isShowing())
        {
            juce::Image canvas (juce::Image::ARGB, juce::jmax (1, clicked->getWidth()), juce::jmax (1, clicked->getHeight()), true);
            juce::Graphics g (canvas);
            clicked->paintEntireComponent (g, false);
        }
        messages->runDispatchLoopUntil (10);
    }
    return true;
}
