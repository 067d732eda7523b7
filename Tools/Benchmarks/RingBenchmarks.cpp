// Reading the audio rings: the bridge's resampling read against JUCE's
// LagrangeInterpolator on the same blocks, and against the plain ring's
// two-segment copy. The ratio is a steady drift correction, as in streaming.

#include "Blocks.h"
#include "Comparisons.h"

#include "Utilities/ResamplingCircularAudioBuffer.h"

#include <benchmark/benchmark.h>

namespace
{
constexpr int numChannels = 2;
constexpr int ringLength = CircularAudioBuffer::defaultCapacity;
constexpr double driftRatio = 1.0001;

// Reads blocks from a ring full of noise; the writer's index jumps ahead
// whenever the reader nears it, so no write is timed.
template <typename Ring>
void readRing (benchmark::State& state, Ring& ring)
{
    const int blockSize = (int) state.range (0);
    const auto input = Blocks::noise (numChannels, ringLength - 1);
    ring.writeBuffer (input.getArrayOfReadPointers(), numChannels, ringLength - 1, 0, true);
    juce::AudioBuffer<float> out (numChannels, blockSize);

    for (auto _ : state)
    {
        if (ring.getFill() < 2 * blockSize + 8)
            ring.setWriteAheadOfRead (ringLength - 1);

        benchmark::DoNotOptimize (ring.readBuffer (out.getArrayOfWritePointers(), numChannels, blockSize, 0, true));
        benchmark::ClobberMemory();
    }

    Blocks::reportPerSample (state, blockSize * numChannels);
}

void ResamplingRead (benchmark::State& state)
{
    ResamplingCircularAudioBuffer ring;
    ring.setRatio (driftRatio);
    readRing (state, ring);
}

void PlainRingRead (benchmark::State& state)
{
    CircularAudioBuffer ring;
    readRing (state, ring);
}

void JuceLagrangeRead (benchmark::State& state)
{
    const int blockSize = (int) state.range (0);
    const auto input = Blocks::noise (numChannels, ringLength);
    const int reach = (int) (blockSize * driftRatio) + 4;
    juce::LagrangeInterpolator interpolators[numChannels];
    juce::AudioBuffer<float> out (numChannels, blockSize);
    int position = 0;

    for (auto _ : state)
    {
        if (position + reach > ringLength)
            position = 0;

        int used = 0;
        for (int c = 0; c < numChannels; ++c)
            used = interpolators[c].process (driftRatio, input.getReadPointer (c, position), out.getWritePointer (c), blockSize);

        position += used;
        benchmark::ClobberMemory();
    }

    Blocks::reportPerSample (state, blockSize * numChannels);
}
} // namespace

BENCHMARK (ResamplingRead)->Arg (64)->Arg (512);
BENCHMARK (JuceLagrangeRead)->Arg (64)->Arg (512);
BENCHMARK (PlainRingRead)->Arg (64)->Arg (512);

[[maybe_unused]] static const bool registered = Comparisons::add ("ResamplingRead/64", "JuceLagrangeRead/64")
                               && Comparisons::add ("ResamplingRead/512", "JuceLagrangeRead/512")
                               && Comparisons::add ("ResamplingRead/64", "PlainRingRead/64")
                               && Comparisons::add ("ResamplingRead/512", "PlainRingRead/512");
