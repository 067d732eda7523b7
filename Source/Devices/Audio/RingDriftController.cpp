#include "Devices/Audio/RingDriftController.h"

#include <algorithm>

void RingDriftController::configure (int newTarget, int newRange, int newLimit, int newGainRange) noexcept
{
    target = newTarget;
    range = std::max (1, newRange);
    limit = newLimit;
    gainRange = std::max (1, newGainRange);
}

double RingDriftController::takeLow() noexcept
{
    lastLowest = lowest.take();
    const int low = lowestOnTime.take();
    return low < 0 ? -1.0 : (double) low / stepsPerSample;
}

float RingDriftController::errorFor (double low) noexcept
{
    if (low < 0)
        return error;

    // The smoothed fill starts from the first measurement, not from an empty
    // ring: a start must not slow the reader down.
    if (! seeded)
        smoothed = (float) low;
    else
        smoothed = (float) (smoothed * (1.0 - smoothingWeight) + (float) low * smoothingWeight);

    seeded = true;
    error = std::clamp (((float) target - smoothed) / (float) gainRange, -1.0f, 1.0f);
    return error;
}

float RingDriftController::steerBy (float newError) noexcept
{
    integral = std::clamp (integral + integralGain * newError, -1.0f, 1.0f);
    offset = std::clamp (newError + integral, -1.0f, 1.0f) * maximumOffset;
    return offset;
}

float RingDriftController::steer (double low) noexcept
{
    if (low < 0)
        return offset;

    return steerBy (errorFor (low));
}

void RingDriftController::restart() noexcept
{
    lowest.take();
    lowestOnTime.take();
    lastLowest = -1;
    smoothed = error = offset = 0.0f;
    seeded = false;
}
