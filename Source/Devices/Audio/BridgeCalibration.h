#pragma once

#include "Devices/Audio/AudioLatencyDetector.h"

#include <functional>
#include <optional>

// A bridge's latency calibration: the detector that runs at the end of each
// device callback, and whoever asked for its result, who hears of it once:
// the latency in samples, or nothing when it timed out.
class BridgeCalibration
{
public:
    using Callback = std::function<void (std::optional<int>)>;

    // Message thread: whoever asks now hears of the next result, in place of
    // whoever asked before (who never hears).
    void ask (Callback callback) { done = std::move (callback); }

    // Message thread: the measurement starts, for callbacks of about blockSize samples.
    void arm (int blockSize) noexcept { detector.start (blockSize); }

    // Message thread: whether the measurement is over, detected or timed out.
    bool isOver() const noexcept;

    // Message thread, once it is over: whoever asked hears of it.
    void deliver();

    // Message thread: no measurement, and nobody hears of one.
    void cancel();

    // Pedal's audio thread, after the bridge's own work.
    void process (const float* const* inputs, int numInputs, float* const* outputs, int numOutputs, int numSamples,
                  bool ownsOutputs) noexcept
    {
        detector.process (inputs, numInputs, outputs, numOutputs, numSamples, ownsOutputs);
    }

    // Any thread: while it measures, the pedal's inputs are kept from the host.
    bool isMeasuring() const noexcept { return detector.isMeasuring(); }
    int getState() const noexcept { return detector.getState(); }

private:
    AudioLatencyDetector detector;
    Callback done;
};
