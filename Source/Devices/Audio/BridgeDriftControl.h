#pragma once

#include "Devices/Audio/RingDriftController.h"
#include "Devices/Audio/RingTargets.h"

// Drift control of a bridge's two rings: once a second, from each ring's
// lowest fill, the resampling ratio of each ring's reader.
//
// Where both rings carry the pedal's audio, together they hold the latency,
// which the bridge's prime made exact: it is left alone, and only how it
// splits between them is steered, by one correction that speeds one reader up
// as much as it slows the other (reciprocal ratios). However each ring's low
// reads, through late callbacks or a start that drifts apart, what the host
// hears stays the latency it was told. Where one ring alone carries it (a
// pedalboard leg), that ring is held at its target by its own low.
//
// Message thread, but for the offers, which come from the rings' readers.
class BridgeDriftControl
{
public:
    struct Ratios
    {
        double toDevice = 1.0, fromDevice = 1.0;
    };

    // While both rings are idle: new targets. Another sample rate is another
    // pair of clocks, whose drift is learnt afresh.
    void configure (const RingTargets& targets, bool newRate) noexcept;

    // A restart: the lows are forgotten; the drift learnt stays.
    void restart() noexcept;

    RingDriftController& toDevice() noexcept { return toDeviceControl; }
    RingDriftController& fromDevice() noexcept { return fromDeviceControl; }
    const RingDriftController& toDevice() const noexcept { return toDeviceControl; }
    const RingDriftController& fromDevice() const noexcept { return fromDeviceControl; }

    // Once a second: takes both rings' lows and gives the readers' ratios;
    // bothRings when both carry the pedal's audio, held at their set points.
    Ratios steer (const RingTargets& targets, bool bothRings) noexcept;

private:
    RingDriftController toDeviceControl, fromDeviceControl;
};
