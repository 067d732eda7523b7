#include "Devices/Audio/RingDriftController.h"

#include <algorithm>

void RingDriftController::configure (int newTarget, int newRange, int newLimit, int newGainRange) noexcept
{
    target = newTarget;
    range = std::max (1, newRange);
    limit = newLimit;
    gainRange = std::max (1, newGainRange);
}

int RingDriftController::takeLow() noexcept
{
    lastLowest = lowest.take();
    return lowestOnTime.take();
}

float RingDriftController::steer (int low) noexcept
{
    if (low < 0)
        return offset;

    // The smoothed fill starts from the first measurement, not from an empty
    // ring: a start must not slow the reader down.
    if (! seeded)
        smoothed = (float) low;
    else
        smoothed = (float) (smoothed * (1.0 - smoothingWeight) + (float) low * smoothingWeight);

    seeded = true;

    const float error = std::clamp (((float) target - smoothed) / (float) gainRange, -1.0f, 1.0f);
    integral = std::clamp (integral + integralGain * error, -1.0f, 1.0f);
    offset = std::clamp (error + integral, -1.0f, 1.0f) * maximumOffset;
    return offset;
}

void RingDriftController::restart() noexcept
{
    lowest.take();
    lowestOnTime.take();
    lastLowest = -1;
    smoothed = offset = 0.0f;
    seeded = false;
}
