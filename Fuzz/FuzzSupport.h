#pragma once

#include <juce_events/juce_events.h>

#include <cstdlib>
#include <string>

// Whatever a fuzzed processor stores goes to a scratch home, never the user's.
inline void useScratchHome()
{
    std::string home = "/tmp/pellion-fuzz-home-XXXXXX";
    if (mkdtemp (home.data()) != nullptr)
        setenv ("HOME", home.c_str(), 1);
}

// The framework's message manager, created once for the whole fuzzing run and
// never torn down: exit-time destruction order between statics is not ours to fix.
inline void initialiseFramework()
{
    static auto* framework = []
    {
        useScratchHome();
        return new juce::ScopedJuceInitialiser_GUI();
    }();
    juce::ignoreUnused (framework);
}
