#include "Support/TestHome.h"

#include <gtest/gtest.h>
#include <juce_events/juce_events.h>

// The test thread is the plug-in's message thread, as the host's main thread is.
int main (int argc, char** argv)
{
    const TemporaryHome home;
    testing::InitGoogleTest (&argc, argv);
    const juce::ScopedJuceInitialiser_GUI framework;
    return RUN_ALL_TESTS();
}
