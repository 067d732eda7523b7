#include "Utilities/CircularAudioBuffer.h"

#include <algorithm>

using juce::FloatVectorOperations;

CircularAudioBuffer::CircularAudioBuffer (int numChannels, int capacityToUse)
    : AbstractQueue (capacityToUse),
      storage (std::max (0, numChannels), capacity),
      channels (storage.getArrayOfWritePointers())
{
    clear();
}

CircularAudioBuffer::~CircularAudioBuffer() = default;

void CircularAudioBuffer::reset()
{
    resetIndices();
}

void CircularAudioBuffer::clear() noexcept
{
    for (int c = 0; c < getNumChannels(); ++c)
        FloatVectorOperations::clear (channels[c], capacity);
}

bool CircularAudioBuffer::writeBuffer (const float* const* source, int numSourceChannels, int numSamples,
                                       int startSample, bool mustFit)
{
    if (numSamples == 0)
        return true;

    if (! isValidCount (numSamples) || startSample < 0)
        return refuse();

    const int write = getWriteIndex();

    if (mustFit && capacity - 1 - fillBetween (getReadIndex(), write) < numSamples)
        return false;

    const int first = std::min (numSamples, capacity - write);
    const int second = numSamples - first;

    for (int c = 0; c < getNumChannels(); ++c)
    {
        float* const ring = channels[c];
        const float* const from = (source != nullptr && c < numSourceChannels) ? source[c] : nullptr;

        if (from != nullptr)
        {
            FloatVectorOperations::copy (ring + write, from + startSample, first);
            FloatVectorOperations::copy (ring, from + startSample + first, second);
        }
        else
        {
            FloatVectorOperations::clear (ring + write, first);
            FloatVectorOperations::clear (ring, second);
        }
    }

    return advanceWriteIndex (numSamples);
}

bool CircularAudioBuffer::readBuffer (float* const* dest, int numDestChannels, int numSamples, int startSample,
                                      bool mustFill)
{
    if (! acceptRead (dest, numDestChannels, numSamples, startSample))
        return false;

    const int read = getReadIndex();

    if (mustFill && fillBetween (read, getWriteIndex()) < numSamples)
    {
        clearDestination (dest, numDestChannels, numSamples, startSample);
        return false;
    }

    const int first = std::min (numSamples, capacity - read);
    const int second = numSamples - first;

    for (int c = 0; c < numDestChannels; ++c)
    {
        float* const to = dest[c];

        if (to == nullptr)
            continue;

        if (c < getNumChannels())
        {
            FloatVectorOperations::copy (to + startSample, channels[c] + read, first);
            FloatVectorOperations::copy (to + startSample + first, channels[c], second);
        }
        else
        {
            FloatVectorOperations::clear (to + startSample, numSamples);
        }
    }

    return advanceReadIndex (numSamples);
}

bool CircularAudioBuffer::acceptRead (float* const* dest, int& numDestChannels, int numSamples,
                                      int startSample) noexcept
{
    if (dest == nullptr)
        numDestChannels = 0;

    if (isValidCount (numSamples) && startSample >= 0)
        return true;

    if (numSamples > 0 && startSample >= 0)
        clearDestination (dest, numDestChannels, numSamples, startSample);

    return refuse();
}

void CircularAudioBuffer::clearDestination (float* const* dest, int numDestChannels, int numSamples,
                                            int startSample) noexcept
{
    for (int c = 0; c < numDestChannels; ++c)
        if (dest[c] != nullptr)
            FloatVectorOperations::clear (dest[c] + startSample, numSamples);
}
