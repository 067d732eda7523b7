#pragma once

#include <juce_core/juce_core.h>

// The plug-in's own log lines ("Pellion: ...") while installed, in order.
struct LogLines : juce::Logger
{
    LogLines() { juce::Logger::setCurrentLogger (this); }
    ~LogLines() override { juce::Logger::setCurrentLogger (previous); }

    void logMessage (const juce::String& message) override
    {
        if (message.startsWith ("Pellion: "))
            lines.add (message);
    }

    juce::Logger* const previous = juce::Logger::getCurrentLogger();
    juce::StringArray lines;
};
