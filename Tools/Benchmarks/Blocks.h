#pragma once

#include <benchmark/benchmark.h>
#include <juce_audio_basics/juce_audio_basics.h>

// What the audio benchmarks share: blocks of noise, and time per sample.
namespace Blocks
{
inline juce::AudioBuffer<float> noise (int numChannels, int numSamples)
{
    juce::AudioBuffer<float> buffer (numChannels, numSamples);
    juce::Random random (1);
    for (int c = 0; c < numChannels; ++c)
        for (int i = 0; i < numSamples; ++i)
            buffer.setSample (c, i, random.nextFloat() * 2.0f - 1.0f);
    return buffer;
}

// The "per_sample" counter that the ratios are taken from: the time of an
// iteration over the samples it handles.
inline void reportPerSample (benchmark::State& state, int samplesPerIteration)
{
    state.counters["per_sample"] = benchmark::Counter (
        (double) samplesPerIteration, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}
} // namespace Blocks
