#pragma once

#include <juce_core/juce_core.h>

// The type of a pedal's settings tree, and of the state chunk's pedal element.
namespace ID
{
static const juce::Identifier DEVICE ("DEVICE");
} // namespace ID
