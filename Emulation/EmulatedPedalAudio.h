#pragma once

// The emulated pedal's audio: what the plug-in plays into the pedal's audio
// outputs comes back on its audio inputs a set round trip later, each channel
// with its own gain and polarity.
//
// The pedal's effect delays its output by 20 samples more in normal use than
// while it calibrates, when the effect is bypassed. That is what makes the
// plug-in's constants add up. With a bare round trip of D samples:
// - A calibration sends its impulse on the device's sample s and finds it on
//   sample s + D; it reports D - 32, which is stored as "extraLatency".
// - The reported latency is to-device target + from-device target +
//   "extraLatency" + 56 = targets + D + 24.
// - In normal use the host's sample waits out the to-device target, then the
//   to-device reader's 2 samples of interpolation, the pedal's D + 20, the
//   from-device target and that reader's 2 samples: targets + D + 24.
// So -32 + 56 = 2 + 20 + 2.
//
// When it calibrates: from the moment it asks for a calibration (Calibrate) or
// enters Audio use, whose connection calibrates when no latency is stored,
// until the plug-in's Calibrate [0] says the calibration is over, and at most
// for calibrationWindow samples of its audio clock (a plug-in that already knows
// its latency does not calibrate at connection and says Calibrate [0] at once).
//
// Everything is indexed by the audio device's sample counter: sample s of the
// device's outputs is what the pedal receives at s, and it sends at s what it
// received at s - D (s - D - 20 in normal use). The round trip must be at least
// one device block, as a real one is. Captures keep both directions of a window
// of samples for tests.
//
// Settings are atomics, safe from any thread; the audio runs on the device's thread.

#include "Emulation/VirtualAudioDevice.h"

#include <array>
#include <atomic>
#include <cstdint>
#include <vector>

class EmulatedPedalAudio final : public VirtualAudioEndpoint
{
public:
    static constexpr int numChannels = 2;
    static constexpr int effectDelay = 20;
    static constexpr int64_t calibrationWindow = 65536;
    static constexpr int historyLength = 1 << 16; // samples it remembers; bounds the round trip
    static constexpr int defaultRoundTrip = 1000;

    EmulatedPedalAudio();

    // The bare round trip D, in device samples: 1 to historyLength - effectDelay - 1.
    void setRoundTrip (int samples);
    int getRoundTrip() const noexcept { return roundTrip.load(); }

    // Gain of each returned channel; a negative gain inverts its polarity.
    void setGain (int channel, float gain);

    // The latency a calibration of this round trip reports, and the delay of normal use.
    int calibratedLatency() const noexcept { return roundTrip.load() - 32; }
    int normalDelay() const noexcept { return roundTrip.load() + effectDelay; }

    // Any thread: the latest of these wins, taken up at the device's next period.
    void beginCalibration() noexcept { command (true); }
    void endCalibration() noexcept { command (false); }
    bool isCalibrating() const noexcept { return calibrating.load(); }

    // Keeps what the pedal receives and sends for device samples [first, first + length).
    void capture (int64_t firstSample, int length);
    // A captured sample, or 0 outside the window.
    float getReceived (int channel, int64_t sample) const noexcept;
    float getSent (int channel, int64_t sample) const noexcept;
    int64_t getLastSample() const noexcept { return lastSample.load(); }

    // VirtualAudioEndpoint
    void fillInputs (int64_t sampleCounter, float* const* inputs, int numChannels, int numSamples) noexcept override;
    void takeOutputs (int64_t sampleCounter, const float* const* outputs, int numChannels,
                      int numSamples) noexcept override;

private:
    void command (bool begin) noexcept;
    void followCalibration (int64_t sampleCounter) noexcept;
    float captured (const std::vector<float>& samples, int channel, int64_t sample) const noexcept;
    void copyCaptured (std::vector<float>& capture, int channel, int64_t firstSample, const float* samples,
                       int numSamples) noexcept;

    std::atomic<int> roundTrip { defaultRoundTrip };
    std::array<std::atomic<float>, numChannels> gains;
    std::atomic<uint64_t> commands { 0 }, latestCommand { 0 }; // serial << 1 | begin
    std::atomic<bool> calibrating { false };
    std::atomic<int64_t> lastSample { 0 };

    // The device's thread only.
    std::vector<float> history; // channel-interleaved by block: [channel][historyLength]
    uint64_t commandSeen = 0;
    int64_t calibrationEndsAt = 0;

    // Set while the device does not run.
    int64_t captureStart = 0;
    int captureLength = 0;
    std::vector<float> receivedCapture, sentCapture;
};
