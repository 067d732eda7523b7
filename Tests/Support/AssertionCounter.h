#pragma once

#include <juce_core/juce_core.h>

// Counts the framework's assertion reports while installed.
struct AssertionCounter : juce::Logger
{
    AssertionCounter() { juce::Logger::setCurrentLogger (this); }
    ~AssertionCounter() override { juce::Logger::setCurrentLogger (previous); }

    void logMessage (const juce::String& message) override
    {
        if (message.startsWith ("JUCE Assertion failure"))
            ++count;
    }

    juce::Logger* const previous = juce::Logger::getCurrentLogger();
    int count = 0;
};
