#include "Devices/Audio/AudioLatencyDetector.h"

#include <juce_audio_basics/juce_audio_basics.h>

#include <algorithm>
#include <cmath>

void AudioLatencyDetector::start (int blockSize) noexcept
{
    requestedBlockSize.store (std::max (1, blockSize));
    requests.fetch_add (1);
    detectedPosition.store (0);
    state.store (armed);
}

std::optional<int> AudioLatencyDetector::takeResult() noexcept
{
    if (state.load() != detected)
        return std::nullopt;

    const int position = detectedPosition.exchange (0);
    state.store (idle);
    return std::max (position - reportOffset, 0);
}

void AudioLatencyDetector::clear (float* const* outputs, int numOutputs, int numSamples) noexcept
{
    for (int c = 0; c < numOutputs; ++c)
        if (outputs[c] != nullptr)
            juce::FloatVectorOperations::clear (outputs[c], numSamples);
}

void AudioLatencyDetector::process (const float* const* inputs, int numInputs, float* const* outputs, int numOutputs,
                                    int numSamples, bool ownsOutputs) noexcept
{
    int current = state.load();

    if ((current != armed && current != listening) || numSamples <= 0)
        return;

    const auto request = requests.load();

    if (request != requestSeen)
    {
        // A new measurement: as many silent blocks as fit the pre-roll, then
        // as long again, plus one block, to listen.
        requestSeen = request;
        const int block = requestedBlockSize.load();
        const int blocks = preRollLength / block;
        preRollSamples = (int64_t) block * blocks;
        listenSamples = (int64_t) block * (blocks + 1);
        elapsed = 0;

        if (current != armed)
            return;
    }

    if (current == armed)
    {
        if (ownsOutputs)
            clear (outputs, numOutputs, numSamples);

        if (elapsed < preRollSamples)
        {
            elapsed += numSamples;
            return;
        }

        if (numOutputs > 0 && outputs[0] != nullptr)
            std::fill (outputs[0], outputs[0] + std::min (impulseLength, numSamples), impulseAmplitude);

        elapsed = numSamples;
        state.compare_exchange_strong (current, listening);
        return;
    }

    if (elapsed >= listenSamples)
    {
        state.compare_exchange_strong (current, timedOut);
        return;
    }

    if (ownsOutputs)
        clear (outputs, numOutputs, numSamples);

    if (numInputs > 0 && inputs[0] != nullptr)
    {
        for (int i = 0; i < numSamples; ++i)
        {
            if (std::abs (inputs[0][i]) >= threshold)
            {
                detectedPosition.store ((int) (elapsed + i));
                state.compare_exchange_strong (current, detected);
                return;
            }
        }
    }

    elapsed += numSamples;
}
