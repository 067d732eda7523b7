#include "Shots/StateWait.h"

#include <gtest/gtest.h>
#include <juce_events/juce_events.h>

#include <stdexcept>
#include <string>

// A picture tool takes a picture only of the state its caption names: a state
// that never comes is an error that names it (the tool then exits with 1).
TEST (ShotsStateWait, AStateThatNeverComesIsAnErrorNamingIt)
{
    int asked = 0;
    try
    {
        // Long enough that even a stalled machine asks more than once.
        waitForState ("the firmware dialog: nothing newer", [&asked] { return ++asked < 0; }, 1000);
        FAIL() << "no error for a state that never came";
    }
    catch (const std::runtime_error& e)
    {
        EXPECT_EQ (std::string (e.what()), "never came within 1000 ms: the firmware dialog: nothing newer");
    }
    EXPECT_GE (asked, 2) << "asked again while the message loop ran";
}

TEST (ShotsStateWait, AStateThatComesThroughTheMessageLoopEndsTheWait)
{
    bool came = false;
    juce::MessageManager::callAsync ([&came] { came = true; });
    EXPECT_NO_THROW (waitForState ("a message delivered", [&came] { return came; }, 60000));
    EXPECT_TRUE (came);

    EXPECT_NO_THROW (waitForState ("a state already there", [] { return true; }, 0));
}
