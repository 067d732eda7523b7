#include "Utilities/DelayLockedLoop.h"

#include <juce_core/juce_core.h>

#include <algorithm>
#include <cmath>

namespace
{
// However the observations go, the rate stays this close to the nominal one.
constexpr double rateLimit = 0.01;
} // namespace

void DelayLockedLoop::configure (double ticksPerSample, int newSpacing, double ticksPerSecond, double bandwidthHz) noexcept
{
    nominal = rate = ticksPerSample > 0.0 ? ticksPerSample : 1.0;
    spacing = std::max (1, newSpacing);

    // Critically damped at this bandwidth, for one observation per spacing.
    const double omega = juce::MathConstants<double>::twoPi * bandwidthHz * nominal * spacing / std::max (1.0, ticksPerSecond);
    phaseGain = std::sqrt (2.0) * omega;
    rateGain = omega * omega;
    observations = 0;
}

void DelayLockedLoop::start (int64_t time, int64_t count) noexcept
{
    origin = time;
    anchor = 0.0;
    anchorCount = count;
    observations = 1;
}

double DelayLockedLoop::dueTime (int64_t count) const noexcept
{
    return (double) origin + anchor + (double) (count - anchorCount) * rate;
}

void DelayLockedLoop::observe (int64_t time, int64_t count) noexcept
{
    if (observations == 0)
    {
        start (time, count);
        return;
    }

    const double predicted = anchor + (double) (count - anchorCount) * rate;
    const double error = (double) (time - origin) - predicted;
    ++observations;

    // Until the loop's own gain is the smaller, the phase is the mean of the
    // observations so far at the rate it has; then the loop follows the rate too.
    const double averaging = 1.0 / (double) observations;

    if (averaging > phaseGain)
    {
        anchor = predicted + averaging * error;
    }
    else
    {
        anchor = predicted + phaseGain * error;
        rate = std::clamp (rate + rateGain * error / (double) spacing, nominal * (1.0 - rateLimit), nominal * (1.0 + rateLimit));
    }

    anchorCount = count;
}
