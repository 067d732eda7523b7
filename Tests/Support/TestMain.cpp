#include "Support/TestHome.h"
#include "Updates/VersionQueryController.h"

#include <gtest/gtest.h>
#include <juce_events/juce_events.h>

// The test thread is the plug-in's message thread, as the host's main thread is.
int main (int argc, char** argv)
{
    const TemporaryHome home;
    testing::InitGoogleTest (&argc, argv);
    const juce::ScopedJuceInitialiser_GUI framework;

    // No test ever reaches the update server: a query nobody pointed elsewhere
    // finds nothing listening on this computer.
    VersionQueryController::setVersionFileAddress (juce::URL ("http://127.0.0.1:1/QZR/latest.json"));
    return RUN_ALL_TESTS();
}
