#pragma once

#include "Support/Waiting.h"

#include <juce_gui_basics/juce_gui_basics.h>

// Whether the window shows and the framework takes its process as the one in
// front (a menu closes itself at once while it is not), once the framework has
// handled every X event that has reached this process.
bool isInFront (juce::Component& window);

// Puts the component on the display as a window with a title bar, unless it is
// there already, and waits until it is in front, asking the window manager.
::testing::AssertionResult showInFront (juce::Component& window, std::chrono::milliseconds timeout = patience);
