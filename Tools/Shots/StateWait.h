#pragma once

#include <juce_core/juce_core.h>

#include <functional>

// Runs the message loop until the condition holds. A state that does not come
// within the time throws std::runtime_error naming it, so that no picture is
// taken of a state other than the one its caption names.
void waitForState (const juce::String& state, const std::function<bool()>& condition, int timeoutMs);
