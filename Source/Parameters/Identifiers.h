#pragma once

#include "Settings/SettingsIdentifiers.h"

#include <juce_core/juce_core.h>

// Value-tree identifiers shared by several source files.
namespace ID
{
static const juce::Identifier PARAM ("PARAM");
static const juce::Identifier PRESET ("PRESET");

static const juce::Identifier id ("id");
static const juce::Identifier value ("value");
static const juce::Identifier version ("version");
} // namespace ID
