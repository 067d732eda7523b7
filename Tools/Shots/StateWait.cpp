#include "Shots/StateWait.h"

#include <juce_events/juce_events.h>

#include <stdexcept>

void waitForState (const juce::String& state, const std::function<bool()>& condition, int timeoutMs)
{
    const auto deadline = juce::Time::getMillisecondCounter() + (juce::uint32) juce::jmax (0, timeoutMs);
    for (bool late = false;; )
    {
        if (condition())
            return;

        // Asked once more after the deadline, with the loop run in between: a
        // state that came while this process stood still still counts.
        if (late)
            throw std::runtime_error ("never came within " + std::to_string (timeoutMs) + " ms: " + state.toStdString());
        late = juce::Time::getMillisecondCounter() >= deadline;

        juce::MessageManager::getInstance()->runDispatchLoopUntil (10);
    }
}
