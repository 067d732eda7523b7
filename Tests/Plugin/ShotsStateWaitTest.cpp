#include "Shots/StateWait.h"

#include <gtest/gtest.h>
#include <juce_events/juce_events.h>

#include <stdexcept>
#include <string>

// A picture tool takes a picture only of the state its caption names: a state
// that never comes is an error that names it (the tool then exits with 1).
// The state is asked for once more after the time is up, with the message loop
// run in between, so a process that stood still past its deadline still sees
// what came meanwhile; a time of 0 ms shows that without any clock.
TEST (ShotsStateWait, AStateThatNeverComesIsAnErrorNamingItAfterOneMoreLook)
{
    int asked = 0;
    try
    {
        waitForState ("the firmware dialog: nothing newer", [&asked] { return ++asked < 0; }, 0);
        FAIL() << "no error for a state that never came";
    }
    catch (const std::runtime_error& e)
    {
        EXPECT_EQ (std::string (e.what()), "never came within 0 ms: the firmware dialog: nothing newer");
    }
    EXPECT_EQ (asked, 2) << "once, and once more after the time was up";
}

TEST (ShotsStateWait, AStateThatComesThroughTheMessageLoopEndsTheWaitEvenOnceTheTimeIsUp)
{
    bool came = false;
    juce::MessageManager::callAsync ([&came] { came = true; });
    EXPECT_NO_THROW (waitForState ("a message delivered", [&came] { return came; }, 0));
    EXPECT_TRUE (came);

    EXPECT_NO_THROW (waitForState ("a state already there", [] { return true; }, 0));
}
