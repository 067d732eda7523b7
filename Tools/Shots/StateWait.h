#pragma once

#include <juce_core/juce_core.h>

#include <functional>

// How long a picture tool waits for a state that comes at once on an idle
// machine: so long that only a fault runs it out, never a slow or busy machine.
inline constexpr int statePatienceMs = 60000;

// Runs the message loop until the condition holds. A state that does not come
// within the time throws std::runtime_error naming it, so that no picture is
// taken of a state other than the one its caption names.
void waitForState (const juce::String& state, const std::function<bool()>& condition, int timeoutMs = statePatienceMs);
