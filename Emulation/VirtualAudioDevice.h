#pragma once

#include <juce_audio_devices/juce_audio_devices.h>
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

// The far end of a virtual audio device's channels: what its inputs carry and
// where its outputs go (the emulated pedal). Called once per period of the
// device's clock, on the thread that runs the device, with the device's sample
// counter: inputs before the callback, outputs after it. A missed period
// (no callback) hands over silent outputs and its inputs are lost.
class VirtualAudioEndpoint
{
public:
    virtual ~VirtualAudioEndpoint() = default;
    virtual void fillInputs (int64_t sampleCounter, float* const* inputs, int numChannels, int numSamples) noexcept = 0;
    virtual void takeOutputs (int64_t sampleCounter, const float* const* outputs, int numChannels,
                              int numSamples) noexcept = 0;
};

// Told right before and right after every call into a device's callback, on
// the thread that makes it: tests that watch what the callback itself does.
class VirtualAudioCallbackWatch
{
public:
    virtual ~VirtualAudioCallbackWatch() = default;
    virtual void enteringCallback() noexcept = 0;
    virtual void leftCallback() noexcept = 0;
};

// How a virtual audio device behaves; set per device name before or while it runs.
struct VirtualAudioBehaviour
{
    bool manual = false;          // no thread: whoever drives it runs each period (co-simulation)
    double clockPpm = 0.0;        // its clock against its nominal rate, parts per million
    double jitterSeconds = 0.0;   // each callback comes up to this much late, at random
    int lateEvery = 0;            // every nth callback comes lateSeconds late (its samples are kept)
    double lateSeconds = 0.0;
    int missEvery = 0;            // every nth period has no callback (its samples are lost)
    int deliveredBlockSize = 0;   // calls back with this size, whatever was asked, and says so...
    bool misreportsBlockSize = false; // ...or says it took the size it was asked for
    int failOpens = 0;            // the next n opens fail
    juce::Array<int> refusedBlockSizes; // opens that ask for one of these fail
    uint32_t seed = 1;            // of the jitter
    VirtualAudioCallbackWatch* watch = nullptr; // outlives the devices started with it
    std::function<void()> whenAskedIfOpen; // runs whenever the started device is asked: a place to land a race
};

// What happened to the devices of one name, over every device made for it.
struct VirtualAudioCounters
{
    std::atomic<int> opens { 0 }, failedOpens { 0 }, starts { 0 }, stops { 0 };
    std::atomic<int64_t> callbacks { 0 }, missedPeriods { 0 };
};

// One opened virtual audio device: two inputs and two outputs whose far end is
// its name's endpoint. Its output buffers reach the callback holding stale
// samples (staleSample), as buffers a device reuses do. It runs on a thread of its own at its clock's rate, or,
// in manual mode, when its driver (the co-simulation) runs its due periods on
// the host clock. Unplugging its name stops its callbacks.
class VirtualAudioDevice final : public juce::AudioIODevice
{
public:
    struct Slot; // its name's endpoint, behaviour and counters, shared with the registry

    static constexpr int numChannels = 2;
    static constexpr double defaultSampleRate = 48000.0;
    static constexpr int defaultBufferSize = 512;
    static constexpr int minBufferSize = 16;
    static constexpr int maxBufferSize = 4096;
    static constexpr float staleSample = 0.125f;

    VirtualAudioDevice (const juce::String& name, const juce::String& typeName, std::shared_ptr<Slot> slot);
    ~VirtualAudioDevice() override;

    juce::StringArray getOutputChannelNames() override { return { "Output 1", "Output 2" }; }
    juce::StringArray getInputChannelNames() override { return { "Input 1", "Input 2" }; }
    juce::Array<double> getAvailableSampleRates() override { return { 44100.0, 48000.0, 88200.0, 96000.0 }; }
    juce::Array<int> getAvailableBufferSizes() override;
    int getDefaultBufferSize() override { return defaultBufferSize; }

    juce::String open (const juce::BigInteger& inputChannels, const juce::BigInteger& outputChannels,
                       double sampleRate, int bufferSizeSamples) override;
    void close() override;
    bool isOpen() override;
    void start (juce::AudioIODeviceCallback* callback) override;
    void stop() override;
    bool isPlaying() override { return playing; }
    juce::String getLastError() override { return lastError; }
    int getCurrentBufferSizeSamples() override { return reportedBufferSize; }
    double getCurrentSampleRate() override { return currentSampleRate; }
    int getCurrentBitDepth() override { return 32; }
    juce::BigInteger getActiveOutputChannels() const override { return activeOutputs; }
    juce::BigInteger getActiveInputChannels() const override { return activeInputs; }
    int getOutputLatencyInSamples() override { return currentBufferSize; }
    int getInputLatencyInSamples() override { return currentBufferSize; }

    // Manual mode. The host-clock time of the next period (called or missed),
    // or -1 when none is due (stopped, unplugged, or not manual).
    int64_t getNextPeriodTime() const noexcept;
    // Runs the next period: its callback, or a missed one.
    void runNextPeriod();

    // The first sample of the next period on the device's own clock.
    int64_t getSampleCounter() const noexcept { return sampleCounter.load(); }

    // The periods due in the next `seconds` of the host clock are missed.
    void stall (double seconds);

    bool isManual() const noexcept { return manual; }

private:
    void runThread();
    void runPeriod (bool called);
    int64_t periodStartTime (int64_t period) const noexcept;
    int64_t callbackOffset (int64_t period) noexcept;
    void scheduleNext() noexcept;
    bool isMissed (int64_t period, int64_t time) const noexcept;

    std::shared_ptr<Slot> slot;
    juce::String lastError;
    double currentSampleRate = defaultSampleRate;
    int currentBufferSize = defaultBufferSize, reportedBufferSize = defaultBufferSize;
    juce::BigInteger activeInputs, activeOutputs;
    bool opened = false;
    std::atomic<bool> playing { false };
    bool manual = false;

    // The running device's clock and buffers; set while stopped.
    VirtualAudioBehaviour behaviour;
    juce::AudioBuffer<float> inputs, outputs;
    int64_t startTime = 0;
    double periodTicks = 0.0;
    int64_t period = 0;           // the next period
    int64_t lastTime = 0;         // of the period before it
    int64_t nextTime = 0;         // of its callback, or its start when it is missed
    bool nextMissed = false;
    std::atomic<int64_t> sampleCounter { 0 };
    std::atomic<int64_t> stalledUntil { -1 };
    juce::Random jitter;

    std::mutex callbackMutex;
    juce::AudioIODeviceCallback* callback = nullptr;

    std::mutex threadMutex;
    std::condition_variable wake;
    bool quit = false;
    std::thread audioThread;
};

// What the devices of one name share with the registry that made them.
struct VirtualAudioDevice::Slot
{
    std::mutex mutex; // the behaviour, the endpoint and the live device
    VirtualAudioBehaviour behaviour;
    VirtualAudioEndpoint* endpoint = nullptr;
    VirtualAudioDevice* live = nullptr; // the open device of this name, if any
    std::atomic<bool> present { false };
    VirtualAudioCounters counters;
};
