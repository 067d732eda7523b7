#include "Devices/Audio/BridgeDriftControl.h"

#include <algorithm>

void BridgeDriftControl::configure (const RingTargets& targets, bool newRate) noexcept
{
    if (newRate)
    {
        toDeviceControl.forgetDrift();
        fromDeviceControl.forgetDrift();
    }

    // One gain for both rings, which reaches the full correction by the time
    // a ring has lost half its margin.
    const int gainRange = std::min ({ targets.toRange, targets.fromRange, std::max (1, targets.margin / 2) });
    toDeviceControl.configure (targets.toSetPoint, targets.toRange, targets.toLimit, gainRange);
    fromDeviceControl.configure (targets.fromSetPoint, targets.fromRange, targets.fromLimit, gainRange);
}

void BridgeDriftControl::restart() noexcept
{
    toDeviceControl.restart();
    fromDeviceControl.restart();
}

BridgeDriftControl::Ratios BridgeDriftControl::steer (const RingTargets& targets, bool bothRings) noexcept
{
    toDeviceControl.holdAt (bothRings ? targets.toSetPoint : targets.toDevice);
    fromDeviceControl.holdAt (bothRings ? targets.fromSetPoint : targets.fromDevice);
    const double toLow = toDeviceControl.takeLow();
    const double fromLow = fromDeviceControl.takeLow();

    if (bothRings)
    {
        const float toError = toDeviceControl.errorFor (toLow);
        const float fromError = fromDeviceControl.errorFor (fromLow);
        const double offset = toDeviceControl.steerBy ((toError - fromError) * 0.5f);
        return { 1.0 - offset, 1.0 / (1.0 - offset) };
    }

    return { 1.0 - (double) toDeviceControl.steer (toLow), 1.0 - (double) fromDeviceControl.steer (fromLow) };
}
