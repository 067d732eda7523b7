#pragma once

#include "Parameters/AudioValueTreeState.h"

#include <functional>
#include <memory>

// The plug-in's ten parameters, created in one fixed order. Each is handed to
// its owner first (the host's list for automatable ones, the processor's own
// array for the others), then to the store; the stereo pairs are linked.
namespace ParameterTable
{
using Adopt = std::function<void (std::unique_ptr<AudioValueTreeState::Parameter>)>;

void create (AudioValueTreeState& store, const Adopt& adopt);
} // namespace ParameterTable
