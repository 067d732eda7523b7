#pragma once

#include <juce_events/juce_events.h>

// The framework's message manager, created once for the whole fuzzing run and
// never torn down: exit-time destruction order between statics is not ours to fix.
inline void initialiseFramework()
{
    static auto* framework = new juce::ScopedJuceInitialiser_GUI();
    juce::ignoreUnused (framework);
}
