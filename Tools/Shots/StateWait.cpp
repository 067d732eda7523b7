#include "Shots/StateWait.h"

#include <juce_events/juce_events.h>

#include <stdexcept>

void waitForState (const juce::String& state, const std::function<bool()>& condition, int timeoutMs)
{
    const auto deadline = juce::Time::getMillisecondCounter() + (juce::uint32) juce::jmax (0, timeoutMs);
    while (! condition())
    {
        if (juce::Time::getMillisecondCounter() >= deadline)
            throw std::runtime_error ("never came within " + std::to_string (timeoutMs) + " ms: " + state.toStdString());

        juce::MessageManager::getInstance()->runDispatchLoopUntil (10);
    }
}
