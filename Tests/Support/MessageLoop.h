#pragma once

#include "Support/Waiting.h"

#include <juce_events/juce_events.h>

namespace juce
{
bool dispatchNextMessageOnSystemQueue (bool returnIfNoPendingMessages);
}

// Runs the message loop (timers, async calls, other threads' messages) until
// `done` holds; for ASSERT_TRUE.
inline ::testing::AssertionResult runLoopUntil (const std::string& what, const std::function<bool()>& done,
                                                std::chrono::milliseconds timeout = patience)
{
    return waitUntil (what, done, timeout, [] { juce::MessageManager::getInstance()->runDispatchLoopUntil (5); });
}

// Delivers every message posted so far, and whatever those post in turn, then
// returns: what was queued has happened however slow the machine. It waits for
// no timer and no other thread; wait for what they do with runLoopUntil.
inline void deliverPostedMessages()
{
    for (int i = 0; i < 10000 && juce::dispatchNextMessageOnSystemQueue (true); ++i)
    {
    }
}
