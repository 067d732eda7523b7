#include "Devices/Audio/RingTargets.h"

#include "Settings/DeviceSettings.h"

#include <algorithm>

namespace
{
// Samples the interpolator may reach beyond what a read consumes.
constexpr int interpolatorReach = 8;
} // namespace

RingTargets RingTargets::of (int hostBlock, int deviceBlock, int inAdjust, int outAdjust) noexcept
{
    RingTargets t;

    if (hostBlock <= 0)
        return t;

    const int device = deviceBlock > 0 ? deviceBlock : hostBlock;
    const float sum = (float) (hostBlock + device);
    const int larger = std::max (hostBlock, device);

    // A ring must hold its target with the larger block on top of it.
    const int largest = ringCapacity - 1 - 2 * larger - interpolatorReach;
    t.streamable = largest >= hostBlock + device;

    auto target = [&] (int adjust)
    {
        const auto wanted = (int) ((float) adjust * (float) larger + sum);

        if (wanted <= largest)
            return wanted;

        t.clamped = true;
        return std::max (largest, 0);
    };

    t.toDevice = target (outAdjust);
    t.fromDevice = target (inAdjust);

    // A reader finds what it needs while drift control's measure of its ring
    // (the bridge's priming) stays its writer's block and its look-ahead
    // above empty: the from-device ring the device's block, the to-device ring
    // the host's. What both targets hold beyond that is shared out evenly, so
    // that either ring can take the same drift before its reader runs dry,
    // however the blocks and the buffer settings differ. Neither is held
    // above what a ring can take with a block on top.
    const int both = t.toDevice + t.fromDevice;
    const int even = (both - hostBlock - device - 2 * readerLookAhead) / 2;
    t.fromSetPoint = std::clamp (device + readerLookAhead + even, std::max (0, both - largest), std::max (0, largest));
    t.toSetPoint = both - t.fromSetPoint;
    t.margin = std::max (0, std::min (t.fromSetPoint - device, t.toSetPoint - hostBlock) - readerLookAhead);
    t.toRange = std::min (3 * larger, t.toDevice / 2);
    t.fromRange = std::min (3 * larger, t.fromDevice / 2);

    // A limit the ring cannot reach would never catch an overflow.
    t.toLimit = std::min (8 * t.toDevice, ringCapacity - 1);
    t.fromLimit = std::min (8 * t.fromDevice, ringCapacity - 1);
    return t;
}

int RingTargets::estimateLatency (const PedalAudioBridge::Parameters& p) noexcept
{
    if (p.hostBlock <= 0)
        return 0;

    return of (p.hostBlock, p.deviceBlock, p.inAdjust, p.outAdjust).latency (p.extraLatency);
}

int RingTargets::largestLatency (int hostBlock) noexcept
{
    const int largestAdjust = BufferSizeConstrainer::allowedValues().getLast();
    int largest = 0;

    for (int deviceBlock : BlockSizeConstrainer::allowedValues())
        largest = std::max (largest, estimateLatency ({ 0.0, hostBlock, deviceBlock, largestAdjust, largestAdjust,
                                                        DeviceSettings::maximumExtraLatency }));

    return largest;
}
