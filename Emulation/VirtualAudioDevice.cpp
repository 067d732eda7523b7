#include "Emulation/VirtualAudioDevice.h"

#include "Utilities/HostClock.h"

#include <chrono>
#include <cmath>

VirtualAudioDevice::VirtualAudioDevice (const juce::String& name, const juce::String& typeName,
                                        std::shared_ptr<Slot> s)
    : juce::AudioIODevice (name, typeName), slot (std::move (s))
{
}

VirtualAudioDevice::~VirtualAudioDevice()
{
    close();
}

juce::Array<int> VirtualAudioDevice::getAvailableBufferSizes()
{
    juce::Array<int> sizes;
    for (int size = minBufferSize; size <= maxBufferSize; size *= 2)
        sizes.add (size);
    return sizes;
}

juce::String VirtualAudioDevice::open (const juce::BigInteger& inputChannels, const juce::BigInteger& outputChannels,
                                       double sampleRate, int bufferSizeSamples)
{
    close();

    if (sampleRate <= 0)
        sampleRate = defaultSampleRate;

    const std::lock_guard<std::mutex> lock (slot->mutex);
    auto& wanted = slot->behaviour;

    auto fail = [this] (const juce::String& error)
    {
        slot->counters.failedOpens.fetch_add (1);
        return lastError = error;
    };

    if (! slot->present)
        return fail ("Device unplugged");

    if (wanted.failOpens > 0)
    {
        --wanted.failOpens;
        return fail ("Open failed");
    }

    if (wanted.refusedBlockSizes.contains (bufferSizeSamples))
        return fail ("Unsupported buffer size: " + juce::String (bufferSizeSamples));

    if (! getAvailableSampleRates().contains (sampleRate))
        return fail ("Unsupported sample rate: " + juce::String (sampleRate));

    currentSampleRate = sampleRate;
    const int asked = bufferSizeSamples > 0 ? juce::jlimit (minBufferSize, maxBufferSize, bufferSizeSamples)
                                            : defaultBufferSize;
    currentBufferSize = wanted.deliveredBlockSize > 0 ? wanted.deliveredBlockSize : asked;
    reportedBufferSize = wanted.misreportsBlockSize ? asked : currentBufferSize;
    activeInputs = {};
    activeOutputs = {};

    for (int channel = 0; channel < numChannels; ++channel)
    {
        activeInputs.setBit (channel, inputChannels[channel]);
        activeOutputs.setBit (channel, outputChannels[channel]);
    }

    opened = true;
    slot->live = this;
    slot->counters.opens.fetch_add (1);
    lastError = {};
    return {};
}

bool VirtualAudioDevice::isOpen()
{
    if (playing.load() && behaviour.whenAskedIfOpen)
        behaviour.whenAskedIfOpen();

    return opened;
}

void VirtualAudioDevice::close()
{
    stop();

    if (! opened)
        return;

    opened = false;
    const std::lock_guard<std::mutex> lock (slot->mutex);
    if (slot->live == this)
        slot->live = nullptr;
}

void VirtualAudioDevice::start (juce::AudioIODeviceCallback* newCallback)
{
    if (! opened || newCallback == nullptr)
        return;

    newCallback->audioDeviceAboutToStart (this);

    if (playing.load())
    {
        const std::lock_guard<std::mutex> lock (callbackMutex);
        callback = newCallback;
        return;
    }

    {
        const std::lock_guard<std::mutex> lock (slot->mutex);
        behaviour = slot->behaviour;
    }

    manual = behaviour.manual;
    inputs.setSize (numChannels, currentBufferSize);
    outputs.setSize (numChannels, currentBufferSize);
    jitter.setSeed ((juce::int64) behaviour.seed);
    periodTicks = (double) currentBufferSize / (currentSampleRate * (1.0 + behaviour.clockPpm * 1.0e-6))
                  * (double) HostClock::ticksPerSecond();
    startTime = HostClock::now();
    lastTime = startTime;
    period = 0;
    stalledUntil.store (-1);
    scheduleNext();

    {
        const std::lock_guard<std::mutex> lock (callbackMutex);
        callback = newCallback;
    }

    slot->counters.starts.fetch_add (1);
    playing.store (true);

    if (! manual)
    {
        {
            const std::lock_guard<std::mutex> lock (threadMutex);
            quit = false;
        }

        audioThread = std::thread ([this] { runThread(); });
    }
}

void VirtualAudioDevice::stop()
{
    if (playing.exchange (false))
    {
        if (audioThread.joinable())
        {
            {
                const std::lock_guard<std::mutex> lock (threadMutex);
                quit = true;
            }

            wake.notify_all();
            audioThread.join();
        }

        slot->counters.stops.fetch_add (1);
    }

    juce::AudioIODeviceCallback* stopped = nullptr;
    {
        const std::lock_guard<std::mutex> lock (callbackMutex);
        std::swap (stopped, callback);
    }

    if (stopped != nullptr)
        stopped->audioDeviceStopped();
}

//==============================================================================
int64_t VirtualAudioDevice::periodStartTime (int64_t p) const noexcept
{
    return startTime + (int64_t) std::llround ((double) p * periodTicks);
}

int64_t VirtualAudioDevice::callbackOffset (int64_t p) noexcept
{
    double seconds = behaviour.jitterSeconds > 0.0 ? jitter.nextDouble() * behaviour.jitterSeconds : 0.0;

    if (behaviour.lateEvery > 0 && (p + 1) % behaviour.lateEvery == 0)
        seconds += behaviour.lateSeconds;

    return (int64_t) (seconds * (double) HostClock::ticksPerSecond());
}

bool VirtualAudioDevice::isMissed (int64_t p, int64_t time) const noexcept
{
    return (behaviour.missEvery > 0 && (p + 1) % behaviour.missEvery == 0) || time < stalledUntil.load();
}

void VirtualAudioDevice::scheduleNext() noexcept
{
    // A late callback is late on the host clock only: the periods after it
    // keep their times, and no callback comes before the one before it.
    const auto due = periodStartTime (period);
    nextMissed = isMissed (period, due);
    nextTime = std::max (lastTime, nextMissed ? due : due + callbackOffset (period));
}

int64_t VirtualAudioDevice::getNextPeriodTime() const noexcept
{
    if (! manual || ! playing.load() || ! slot->present.load())
        return -1;

    return nextTime;
}

void VirtualAudioDevice::runNextPeriod()
{
    if (! playing.load() || ! slot->present.load())
        return;

    runPeriod (! nextMissed && nextTime >= stalledUntil.load());
    lastTime = nextTime;
    ++period;
    scheduleNext();
}

void VirtualAudioDevice::stall (double seconds)
{
    stalledUntil.store (HostClock::now() + (int64_t) (seconds * (double) HostClock::ticksPerSecond()));
}

void VirtualAudioDevice::runPeriod (bool called)
{
    const int numSamples = currentBufferSize;
    const auto counter = sampleCounter.load();
    float* const* in = inputs.getArrayOfWritePointers();
    float* const* out = outputs.getArrayOfWritePointers();
    inputs.clear();
    outputs.clear();

    {
        const std::lock_guard<std::mutex> lock (slot->mutex);
        if (slot->endpoint != nullptr)
            slot->endpoint->fillInputs (counter, in, numChannels, numSamples);
    }

    if (called)
    {
        // Like many devices, it hands the callback output buffers that still
        // hold something: a callback must write or clear them.
        for (int channel = 0; channel < numChannels; ++channel)
            juce::FloatVectorOperations::fill (out[channel], staleSample, numSamples);

        const float* inputPointers[numChannels] {};
        float* outputPointers[numChannels] {};
        int numInputs = 0, numOutputs = 0;

        for (int channel = 0; channel < numChannels; ++channel)
        {
            if (activeInputs[channel])
                inputPointers[numInputs++] = in[channel];

            if (activeOutputs[channel])
                outputPointers[numOutputs++] = out[channel];
        }

        {
            const std::lock_guard<std::mutex> lock (callbackMutex);
            if (callback != nullptr)
            {
                if (behaviour.watch != nullptr)
                    behaviour.watch->enteringCallback();

                callback->audioDeviceIOCallbackWithContext (inputPointers, numInputs, outputPointers, numOutputs,
                                                            numSamples, {});

                if (behaviour.watch != nullptr)
                    behaviour.watch->leftCallback();
            }
        }

        slot->counters.callbacks.fetch_add (1);
    }
    else
    {
        outputs.clear();
        slot->counters.missedPeriods.fetch_add (1);
    }

    {
        const std::lock_guard<std::mutex> lock (slot->mutex);
        if (slot->endpoint != nullptr)
            slot->endpoint->takeOutputs (counter, outputs.getArrayOfReadPointers(), numChannels, numSamples);
    }

    sampleCounter.store (counter + numSamples);
}

void VirtualAudioDevice::runThread()
{
    using Clock = std::chrono::steady_clock;
    const auto ticksPerSecond = (double) HostClock::ticksPerSecond();

    for (;;)
    {
        // On the host clock, which in threaded use is the monotonic clock.
        const auto wait = std::chrono::duration<double> ((double) (nextTime - HostClock::now()) / ticksPerSecond);

        {
            std::unique_lock<std::mutex> lock (threadMutex);
            if (wake.wait_until (lock, Clock::now() + std::chrono::duration_cast<Clock::duration> (wait),
                                 [this] { return quit; }))
                return;
        }

        // Unplugged: no more callbacks.
        if (slot->present.load())
            runPeriod (! nextMissed && nextTime >= stalledUntil.load());

        lastTime = nextTime;
        ++period;
        scheduleNext();
    }
}
