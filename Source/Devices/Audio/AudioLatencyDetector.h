#pragma once

#include <atomic>
#include <cstdint>
#include <optional>

// Measures the round trip from the pedal's audio outputs back to its inputs:
// after a silent pre-roll it sends a short impulse on output channel 0 and
// watches input channel 0 for its return. It runs at the end of every device
// callback of its bridge; the bridge's message-thread timer collects the result.
//
// Positions count the samples the device really delivered since the start of
// the callback that carried the impulse, so a device that calls back with
// another size than it was opened with still measures true.
class AudioLatencyDetector
{
public:
    enum State
    {
        idle = 0,
        armed = 1,     // silent pre-roll, then the impulse
        listening = 2,
        detected = 3,
        timedOut = 4
    };

    static constexpr int preRollLength = 16384; // also how long it listens
    static constexpr int impulseLength = 8;
    static constexpr float impulseAmplitude = 0.5f;
    static constexpr float threshold = 0.4f;
    static constexpr int reportOffset = 32;     // taken off every measured position

    // Message thread: arms a measurement for callbacks of about blockSize
    // samples; a measurement in progress begins again.
    void start (int blockSize) noexcept;

    // Message thread: a detected result, then back to idle.
    std::optional<int> takeResult() noexcept;

    // Message thread: stops a measurement in progress.
    void cancel() noexcept { state.store (idle); }

    int getState() const noexcept { return state.load(); }
    bool isMeasuring() const noexcept
    {
        const auto s = state.load();
        return s == armed || s == listening;
    }

    // Audio thread, after the bridge's own work. Where the outputs are this
    // bridge's own, they are silenced while it measures; otherwise only the
    // impulse is written into them.
    void process (const float* const* inputs, int numInputs, float* const* outputs, int numOutputs, int numSamples,
                  bool ownsOutputs) noexcept;

private:
    static void clear (float* const* outputs, int numOutputs, int numSamples) noexcept;

    std::atomic<int> state { idle };
    std::atomic<int> detectedPosition { 0 };
    std::atomic<int> requestedBlockSize { 64 };
    std::atomic<uint32_t> requests { 0 };

    // Audio thread only.
    uint32_t requestSeen = 0;
    int64_t elapsed = 0;
    int64_t preRollSamples = 0, listenSamples = 0;
};
