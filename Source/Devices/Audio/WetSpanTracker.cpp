#include "Devices/Audio/WetSpanTracker.h"

#include "Devices/Audio/RingTargets.h"

#include <algorithm>

void WetSpanTracker::begin (int latency, int64_t returnsAt, bool spoiled) noexcept
{
    stream = {};
    stream.latency = latency;
    stream.returnsAt = returnsAt;
    stream.spoiled = spoiled;
    span.latency = latency;
}

bool WetSpanTracker::spoil() noexcept
{
    if (stream.spoiled)
        return false;

    stream.spoiled = true;
    return true;
}

void WetSpanTracker::markRead (int numSamples, int consumed) noexcept
{
    if (consumed < 0)
        consumed += RingTargets::ringCapacity;

    const auto from = std::clamp<int64_t> (stream.returnsAt - stream.played, 0, numSamples);
    span.realFrom = (int) from;
    span.realUntil = numSamples;
    stream.played += numSamples;

    // Past a device's gap the pedal's audio comes back: a few samples later,
    // where the interpolator reaches beyond it no more.
    if (stream.untilGap >= 0)
    {
        if (consumed > stream.untilGap)
        {
            span.realFrom = std::max (span.realFrom, std::min (numSamples, stream.untilGap + RingTargets::readerLookAhead));
            stream.untilGap = -1;
        }
        else
        {
            stream.untilGap -= consumed;
            span.realFrom = numSamples;
        }
    }

    if (stream.spoiled || stream.ended)
        span.realFrom = numSamples;
}

void WetSpanTracker::endAt (int end) noexcept
{
    span.realUntil = end;
    span.realFrom = std::min (span.realFrom, end);
    span.ending = true;
    stream.ended = true;
}

void WetSpanTracker::deviceStopped (int fill) noexcept
{
    if (span.carries())
        span.ending = true;

    stream.untilGap = fill;
}
