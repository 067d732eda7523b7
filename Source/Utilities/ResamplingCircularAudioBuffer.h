#pragma once

#include "Utilities/AudioInterpolator.h"
#include "Utilities/CircularAudioBuffer.h"

#include <atomic>
#include <vector>

// A ring whose reader resamples: each read produces the samples asked for and
// consumes about numSamples x ratio input samples, so that a reader whose
// clock drifts from the writer's can keep the fill steady by nudging the
// ratio. Ratio changes are ramped linearly, per sample, over the ramp length.
//
// At a ratio of 1.0 after a reset the reader outputs the input delayed by two
// samples. A read with mustFill needs numSamples x ratio + 4 samples ready.
class ResamplingCircularAudioBuffer : public CircularAudioBuffer
{
public:
    // Ratios outside (0, maximumRatio] are refused.
    static constexpr double maximumRatio = 16.0;

    explicit ResamplingCircularAudioBuffer (int numChannels = defaultNumChannels, int capacity = defaultCapacity);
    ~ResamplingCircularAudioBuffer() override;

    // Also the ratio to 1.0 with no ramp and every interpolator's state cleared.
    void reset() override;

    bool readBuffer (float* const* dest, int numDestChannels, int numSamples, int startSample, bool mustFill) override;

    // Any thread: input samples per output sample, taken up by the next read.
    bool setRatio (double newRatio) noexcept;
    double getRatio() const noexcept { return ratio.load(); }

    // Reader: the most samples a read with mustFill could produce now.
    int getReadableSamples() const noexcept;

    // Reader: the fill less what the reads so far have consumed of the first
    // sample not yet taken, so that it falls smoothly with each output
    // instead of a whole sample at a time (the fill itself at a ratio of 1.0).
    double getExactFill() const noexcept;

    // While the reader is idle: the ramp length, in output samples, of later
    // ratio changes (below 1: a change applies at once). Ends any ramp.
    void setRatioRampLength (int numSamples) noexcept;

private:
    static_assert (std::atomic<double>::is_always_lock_free);

    std::atomic<double> ratio { 1.0 };
    AudioInterpolator::Ratio ratioSmoother; // reader only
    std::vector<AudioInterpolator> interpolators; // one per channel, reader only
};
