#pragma once

#include "CommandLine.h"

// The commands of pellion-host, each given the arguments after its name.
// They print to stdout and throw UsageError or another exception on failure.
int describeCommand (const Arguments& args);
int renderCommand (const Arguments& args);
int automateCommand (const Arguments& args);
int screenshotCommand (const Arguments& args);

// What the host renders with when not told otherwise.
constexpr double defaultSampleRate = 48000.0;
constexpr int defaultBlockFrames = 512;
constexpr double toneLevelDb = -12.0;
constexpr double toneFrequency = 1000.0;

// render holds its whole input and output in memory.
constexpr double maximumRenderSeconds = 600.0;
// automate's limits on one line's work.
constexpr int maximumScriptBlocks = 1 << 20;
constexpr int maximumIdleMs = 600000;
