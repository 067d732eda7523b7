#pragma once

#include <juce_audio_basics/juce_audio_basics.h>

// One channel's resampling state: a fourth-order Lagrange interpolator whose
// ratio may change from one output sample to the next. At a steady ratio of
// 1.0 after a reset it is a delay of exactly two samples.
class AudioInterpolator
{
public:
    using Ratio = juce::SmoothedValue<double, juce::ValueSmoothingTypes::Linear>;

    static constexpr int historyLength = 5;

    AudioInterpolator() noexcept { reset(); }

    // Zero history, sub-sample position 1.0.
    void reset() noexcept;

    // Writes numOutputs samples to output, taking input samples as the
    // position advances by the ratio's next value after every output.
    // `available` samples can be taken from input on; after the last of them
    // the input continues `wrap` samples back (the start of a ring), or, when
    // wrap is 0, is exhausted and reads as silence. Returns the input samples
    // taken, counted modulo wrap when wrap is above 0.
    int process (const float* input, int available, int wrap, float* output, int numOutputs, Ratio& ratio) noexcept;

    // The polynomial through the five history samples, newest first, placed at
    // +2 (newest) down to -2 (oldest), at offset x; at 0 it is history[2].
    static float valueAt (const float* history, float x) noexcept;

    // How much of the next input sample, the first not yet taken, the outputs
    // so far have consumed: 0 at a steady ratio of 1.0 after a reset; between
    // about -ratio and 1 as the ratio moves it.
    double getConsumedFraction() const noexcept { return position - 1.0; }

private:
    float history[historyLength]; // newest first
    double position = 1.0;
};
