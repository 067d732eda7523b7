#include "Devices/Audio/PedalAudioFade.h"

#include <algorithm>
#include <cmath>

void PedalAudioFade::prepare (double sampleRate) noexcept
{
    step = 1.0f / std::max (1.0f, (float) std::round (fadeSeconds * sampleRate));
}

void PedalAudioFade::add (int start, int end, float value, float slope) noexcept
{
    if (start < end && numSegments < (int) std::size (segments))
        segments[numSegments++] = { start, end, value, slope };
}

void PedalAudioFade::silence (int numSamples) noexcept
{
    numSegments = 0;
    handingOver = false;
    gain = 0.0f;
    add (0, std::max (1, numSamples), 0.0f, 0.0f);
}

void PedalAudioFade::plan (const AudioIODeviceSource::WetSpan& span, int numSamples, float wetStart,
                           float wetEnd) noexcept
{
    const int n = std::max (1, numSamples);
    const int from = std::clamp (span.realFrom, 0, n);
    const int until = std::clamp (span.realUntil, from, n);
    handingOver = span.handOver;

    if (from >= until || (span.handOver && wetStart == 0.0f))
    {
        silence (n);
        handingOver = span.handOver;
        return;
    }

    numSegments = 0;

    // Audio that comes back within the block starts its ramp from nothing.
    const float start = from > 0 ? 0.0f : gain;
    add (0, from, 0.0f, 0.0f);

    if (span.ending)
    {
        // Down to nothing exactly where the pedal's audio stops.
        add (from, until, start, -start / (float) (until - from));
        add (until, n, 0.0f, 0.0f);
        gain = 0.0f;
        return;
    }

    const float direction = span.handOver ? -1.0f : 1.0f;
    const float target = span.handOver ? 0.0f : 1.0f;
    const int rampLength = std::min (n - from, (int) std::ceil (std::abs (target - start) / step));

    add (from, from + rampLength, start, direction * step);
    add (from + rampLength, n, target, 0.0f);
    gain = rampLength < n - from ? target : std::clamp (start + direction * step * (float) rampLength, 0.0f, 1.0f);

    // Once the mix or the mute has silenced it, it may go at once.
    if (span.handOver && wetEnd == 0.0f)
        gain = 0.0f;
}

void PedalAudioFade::fill (float* gains) const noexcept
{
    for (int s = 0; s < numSegments; ++s)
    {
        const auto& segment = segments[s];
        for (int i = segment.start; i < segment.end; ++i)
            gains[i] = std::clamp (segment.value + segment.slope * (float) (i - segment.start), 0.0f, 1.0f);
    }
}
