#pragma once

#include "Devices/Audio/PedalAudioBridge.h"
#include "Utilities/CircularAudioBuffer.h"

// Targets, ranges and limits of an audio bridge's two rings for its block
// sizes and buffer settings. A target that would leave no room for a block on
// top of it is clamped. The targets make the latency; drift control holds the
// rings at set points that split the same sum so that each ring keeps the same
// margin above the fill at which its reader would find too little.
struct RingTargets
{
    static constexpr int ringCapacity = CircularAudioBuffer::defaultCapacity;
    static constexpr int latencyAllowance = 56; // added to the rings' targets and the extra latency
    static constexpr int readerLookAhead = 4;   // samples a resampling read needs ready beyond what it consumes

    int toDevice = 0, fromDevice = 0;
    int toSetPoint = 0, fromSetPoint = 0;
    int margin = 0; // each ring's, above its writer's block and its reader's look-ahead
    int toRange = 0, fromRange = 0;
    int toLimit = 0, fromLimit = 0;
    bool clamped = false;
    bool streamable = false; // the blocks fit the rings at all

    int latency (int extraLatency) const noexcept { return toDevice + fromDevice + extraLatency + latencyAllowance; }

    // A device block of 0 is the host's.
    static RingTargets of (int hostBlock, int deviceBlock, int inAdjust, int outAdjust) noexcept;

    // The latency a bridge with these parameters reports, the device
    // delivering the block size it is asked for; 0 without a host block.
    static int estimateLatency (const PedalAudioBridge::Parameters& parameters) noexcept;

    // The largest latency the pedal's settings allow with this host block,
    // for a device that delivers the block sizes it is asked for.
    static int largestLatency (int hostBlock) noexcept;
};
