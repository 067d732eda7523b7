#include "Emulation/VirtualAudioDeviceTypes.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

struct VirtualAudioDeviceTypes::Registry
{
    mutable std::mutex mutex;
    juce::StringArray names;

    juce::StringArray snapshot() const
    {
        const std::lock_guard<std::mutex> lock (mutex);
        return names;
    }

    bool contains (const juce::String& name) const
    {
        const std::lock_guard<std::mutex> lock (mutex);
        return names.contains (name);
    }
};

namespace
{
constexpr int numChannels = 2;
constexpr double defaultSampleRate = 48000.0;
constexpr int defaultBufferSize = 512;
constexpr int minBufferSize = 32;
constexpr int maxBufferSize = 2048;

class EmulatedAudioDevice final : public juce::AudioIODevice
{
public:
    explicit EmulatedAudioDevice (const juce::String& deviceName)
        : juce::AudioIODevice (deviceName, VirtualAudioDeviceTypes::typeName)
    {
    }

    ~EmulatedAudioDevice() override { close(); }

    juce::StringArray getOutputChannelNames() override { return { "Output 1", "Output 2" }; }
    juce::StringArray getInputChannelNames() override { return { "Input 1", "Input 2" }; }
    juce::Array<double> getAvailableSampleRates() override { return { 44100.0, 48000.0, 96000.0 }; }

    juce::Array<int> getAvailableBufferSizes() override
    {
        juce::Array<int> sizes;
        for (int size = minBufferSize; size <= maxBufferSize; size *= 2)
            sizes.add (size);
        return sizes;
    }

    int getDefaultBufferSize() override { return defaultBufferSize; }

    juce::String open (const juce::BigInteger& inputChannels, const juce::BigInteger& outputChannels,
                       double sampleRate, int bufferSizeSamples) override
    {
        close();

        if (sampleRate <= 0)
            sampleRate = defaultSampleRate;

        if (! getAvailableSampleRates().contains (sampleRate))
            return lastError = "Unsupported sample rate: " + juce::String (sampleRate);

        currentSampleRate = sampleRate;
        currentBufferSize = bufferSizeSamples > 0 ? juce::jlimit (minBufferSize, maxBufferSize, bufferSizeSamples)
                                                  : defaultBufferSize;
        activeInputs = {};
        activeOutputs = {};

        for (int channel = 0; channel < numChannels; ++channel)
        {
            activeInputs.setBit (channel, inputChannels[channel]);
            activeOutputs.setBit (channel, outputChannels[channel]);
        }

        opened = true;
        lastError = {};
        return {};
    }

    void close() override
    {
        stop();
        opened = false;
    }

    bool isOpen() override { return opened; }

    void start (juce::AudioIODeviceCallback* newCallback) override
    {
        if (! opened || newCallback == nullptr)
            return;

        newCallback->audioDeviceAboutToStart (this);

        {
            const std::lock_guard<std::mutex> lock (callbackMutex);
            callback = newCallback;
        }

        if (! playing.exchange (true))
        {
            {
                const std::lock_guard<std::mutex> lock (threadMutex);
                quit = false;
            }

            audioThread = std::thread ([this] { run(); });
        }
    }

    void stop() override
    {
        if (playing.exchange (false))
        {
            {
                const std::lock_guard<std::mutex> lock (threadMutex);
                quit = true;
            }

            wake.notify_all();
            audioThread.join();
        }

        juce::AudioIODeviceCallback* stopped = nullptr;
        {
            const std::lock_guard<std::mutex> lock (callbackMutex);
            std::swap (stopped, callback);
        }

        if (stopped != nullptr)
            stopped->audioDeviceStopped();
    }

    bool isPlaying() override { return playing; }
    juce::String getLastError() override { return lastError; }
    int getCurrentBufferSizeSamples() override { return currentBufferSize; }
    double getCurrentSampleRate() override { return currentSampleRate; }
    int getCurrentBitDepth() override { return 32; }
    juce::BigInteger getActiveOutputChannels() const override { return activeOutputs; }
    juce::BigInteger getActiveInputChannels() const override { return activeInputs; }
    int getOutputLatencyInSamples() override { return currentBufferSize; }
    int getInputLatencyInSamples() override { return currentBufferSize; }

private:
    // The block size, rate and channels only change while this thread is stopped.
    void run()
    {
        juce::AudioBuffer<float> inputs (numChannels, currentBufferSize);
        juce::AudioBuffer<float> outputs (numChannels, currentBufferSize);
        const float* inputPointers[numChannels] {};
        float* outputPointers[numChannels] {};
        int numInputs = 0, numOutputs = 0;

        for (int channel = 0; channel < numChannels; ++channel)
        {
            if (activeInputs[channel])
                inputPointers[numInputs++] = inputs.getReadPointer (channel);

            if (activeOutputs[channel])
                outputPointers[numOutputs++] = outputs.getWritePointer (channel);
        }

        const auto period = std::chrono::duration_cast<std::chrono::steady_clock::duration> (
            std::chrono::duration<double> (currentBufferSize / currentSampleRate));
        auto due = std::chrono::steady_clock::now();

        for (;;)
        {
            {
                const std::lock_guard<std::mutex> lock (callbackMutex);
                if (callback != nullptr)
                {
                    inputs.clear();
                    outputs.clear();
                    callback->audioDeviceIOCallbackWithContext (inputPointers, numInputs, outputPointers, numOutputs,
                                                                currentBufferSize, {});
                }
            }

            due += period;
            std::unique_lock<std::mutex> lock (threadMutex);
            if (wake.wait_until (lock, due, [this] { return quit; }))
                return;
        }
    }

    juce::String lastError;
    double currentSampleRate = defaultSampleRate;
    int currentBufferSize = defaultBufferSize;
    juce::BigInteger activeInputs, activeOutputs;
    bool opened = false;
    std::atomic<bool> playing { false };

    std::mutex callbackMutex;
    juce::AudioIODeviceCallback* callback = nullptr;

    std::mutex threadMutex;
    std::condition_variable wake;
    bool quit = false;
    std::thread audioThread;
};

class EmulatedDeviceType final : public juce::AudioIODeviceType
{
public:
    explicit EmulatedDeviceType (std::shared_ptr<VirtualAudioDeviceTypes::Registry> r)
        : juce::AudioIODeviceType (VirtualAudioDeviceTypes::typeName), registry (std::move (r))
    {
    }

    void scanForDevices() override { names = registry->snapshot(); }
    juce::StringArray getDeviceNames (bool) const override { return names; }
    int getDefaultDeviceIndex (bool) const override { return names.isEmpty() ? -1 : 0; }

    int getIndexOfDevice (juce::AudioIODevice* device, bool) const override
    {
        return dynamic_cast<EmulatedAudioDevice*> (device) != nullptr ? names.indexOf (device->getName()) : -1;
    }

    bool hasSeparateInputsAndOutputs() const override { return true; }

    // One device serves both directions, so two different names cannot be opened together.
    juce::AudioIODevice* createDevice (const juce::String& outputDeviceName,
                                       const juce::String& inputDeviceName) override
    {
        const auto deviceName = outputDeviceName.isNotEmpty() ? outputDeviceName : inputDeviceName;

        if (deviceName.isEmpty() || (inputDeviceName.isNotEmpty() && inputDeviceName != deviceName))
            return nullptr;

        return registry->contains (deviceName) ? new EmulatedAudioDevice (deviceName) : nullptr;
    }

private:
    std::shared_ptr<VirtualAudioDeviceTypes::Registry> registry;
    juce::StringArray names;
};
} // namespace

VirtualAudioDeviceTypes::VirtualAudioDeviceTypes() : registry (std::make_shared<Registry>()) {}

VirtualAudioDeviceTypes::~VirtualAudioDeviceTypes()
{
    uninstall();
}

void VirtualAudioDeviceTypes::install()
{
    AudioDeviceTypes::install (this);
    installed = true;
}

void VirtualAudioDeviceTypes::uninstall()
{
    if (installed)
        AudioDeviceTypes::install (nullptr);

    installed = false;
}

void VirtualAudioDeviceTypes::publish (const juce::String& deviceName)
{
    const std::lock_guard<std::mutex> lock (registry->mutex);
    registry->names.addIfNotAlreadyThere (deviceName);
}

void VirtualAudioDeviceTypes::withdraw (const juce::String& deviceName)
{
    const std::lock_guard<std::mutex> lock (registry->mutex);
    registry->names.removeString (deviceName);
}

std::unique_ptr<juce::AudioIODeviceType> VirtualAudioDeviceTypes::createDeviceType()
{
    return std::make_unique<EmulatedDeviceType> (registry);
}
