#pragma once

#include <vector>

// Band-limited sample rate conversion, so that audio keeps its duration and
// pitch at another rate: a Kaiser-windowed sinc whose cut-off lies just below
// the lower rate's Nyquist frequency. Samples before and after the input count
// as silence.
//
// The first numFrames samples of `samples` (taken at fromRate) as they would
// have been taken at toRate.
std::vector<float> resample (const std::vector<float>& samples, double fromRate, double toRate, int numFrames);
