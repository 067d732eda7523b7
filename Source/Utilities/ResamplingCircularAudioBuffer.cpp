#include "Utilities/ResamplingCircularAudioBuffer.h"

#include <algorithm>

namespace
{
// Samples a read needs beyond what it consumes: the interpolator's reach.
constexpr float lookAhead = 4.0f;
} // namespace

ResamplingCircularAudioBuffer::ResamplingCircularAudioBuffer (int numChannels, int capacityToUse)
    : CircularAudioBuffer (numChannels, capacityToUse),
      interpolators ((size_t) getNumChannels())
{
    // Start at the ratio itself: a ramp length set before the first read must
    // not ramp up from a standstill.
    ratioSmoother.setCurrentAndTargetValue (1.0);
}

ResamplingCircularAudioBuffer::~ResamplingCircularAudioBuffer() = default;

void ResamplingCircularAudioBuffer::reset()
{
    CircularAudioBuffer::reset();
    ratio.store (1.0);
    ratioSmoother.setCurrentAndTargetValue (1.0);

    for (auto& interpolator : interpolators)
        interpolator.reset();
}

bool ResamplingCircularAudioBuffer::setRatio (double newRatio) noexcept
{
    if (! (newRatio > 0.0 && newRatio <= maximumRatio))
        return refuse();

    ratio.store (newRatio);
    return true;
}

void ResamplingCircularAudioBuffer::setRatioRampLength (int numSamples) noexcept
{
    ratioSmoother.reset (std::max (0, numSamples));
}

int ResamplingCircularAudioBuffer::getReadableSamples() const noexcept
{
    // As a read works it out: the fastest ratio it may reach once it has taken
    // up the ratio, in single precision.
    auto probe = ratioSmoother;
    probe.setTargetValue (ratio.load());
    const float fastest = (float) std::max (probe.getTargetValue(), probe.getCurrentValue());
    const int fill = getFill();
    const auto fits = [&] (int count) { return (int) ((float) count * fastest + lookAhead) <= fill; };

    int count = std::max (0, (int) (((float) fill - lookAhead) / fastest));

    while (fits (count + 1))
        ++count;

    while (count > 0 && ! fits (count))
        --count;

    return count;
}

double ResamplingCircularAudioBuffer::getExactFill() const noexcept
{
    const double consumed = interpolators.empty() ? 0.0 : interpolators.front().getConsumedFraction();
    return (double) getFill() - consumed;
}

bool ResamplingCircularAudioBuffer::readBuffer (float* const* dest, int numDestChannels, int numSamples,
                                                int startSample, bool mustFill)
{
    if (numSamples == 0)
        return true; // whatever the fill: there is nothing to read

    if (! acceptRead (dest, numDestChannels, numSamples, startSample))
        return false;

    ratioSmoother.setTargetValue (ratio.load());

    // The input this read may touch: the samples the fastest ratio of the ramp
    // would consume, plus the interpolator's reach.
    const float fastest = (float) std::max (ratioSmoother.getTargetValue(), ratioSmoother.getCurrentValue());
    const float wanted = (float) numSamples * fastest + lookAhead;
    const int needed = wanted >= (float) capacity ? capacity : (int) wanted;
    const int read = getReadIndex();

    if (mustFill && fillBetween (read, getWriteIndex()) < needed)
    {
        clearDestination (dest, numDestChannels, numSamples, startSample);
        ratioSmoother.skip (numSamples);
        return false;
    }

    const int available = std::min (needed, capacity - read);
    const int wrap = read + available;
    int consumed = needed;

    for (int c = 0; c < numDestChannels; ++c)
    {
        float* const to = dest[c];

        if (to == nullptr)
            continue;

        if (c < getNumChannels())
        {
            // Every channel sees the same ratio sequence.
            auto channelRatio = ratioSmoother;
            const int count = interpolators[(size_t) c].process (getChannel (c) + read, available, wrap,
                                                                 to + startSample, numSamples, channelRatio);
            consumed = std::min (needed, count);
        }
        else
        {
            juce::FloatVectorOperations::clear (to + startSample, numSamples);
        }
    }

    ratioSmoother.skip (numSamples);
    return advanceReadIndex (consumed);
}
