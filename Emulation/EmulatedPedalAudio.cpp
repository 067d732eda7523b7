#include "Emulation/EmulatedPedalAudio.h"

#include <juce_core/juce_core.h>

EmulatedPedalAudio::EmulatedPedalAudio() : history ((size_t) (numChannels * historyLength), 0.0f)
{
    for (auto& gain : gains)
        gain.store (1.0f);
}

void EmulatedPedalAudio::setRoundTrip (int samples)
{
    jassert (samples >= 1 && samples < historyLength - effectDelay);
    roundTrip.store (juce::jlimit (1, historyLength - effectDelay - 1, samples));
}

void EmulatedPedalAudio::setGain (int channel, float gain)
{
    if (channel >= 0 && channel < numChannels)
        gains[(size_t) channel].store (gain);
}

void EmulatedPedalAudio::command (bool begin) noexcept
{
    const auto serial = commands.fetch_add (1) + 1;
    latestCommand.store ((serial << 1) | (begin ? 1u : 0u));
}

void EmulatedPedalAudio::capture (int64_t firstSample, int length)
{
    captureStart = firstSample;
    captureLength = std::max (0, length);
    receivedCapture.assign ((size_t) (numChannels * captureLength), 0.0f);
    sentCapture.assign ((size_t) (numChannels * captureLength), 0.0f);
}

float EmulatedPedalAudio::captured (const std::vector<float>& samples, int channel, int64_t sample) const noexcept
{
    const auto offset = sample - captureStart;

    if (channel < 0 || channel >= numChannels || offset < 0 || offset >= captureLength)
        return 0.0f;

    return samples[(size_t) (channel * captureLength + offset)];
}

float EmulatedPedalAudio::getReceived (int channel, int64_t sample) const noexcept
{
    return captured (receivedCapture, channel, sample);
}

float EmulatedPedalAudio::getSent (int channel, int64_t sample) const noexcept
{
    return captured (sentCapture, channel, sample);
}

void EmulatedPedalAudio::followCalibration (int64_t sampleCounter) noexcept
{
    const auto latest = latestCommand.load();

    if (latest != commandSeen)
    {
        commandSeen = latest;
        calibrating.store ((latest & 1u) != 0);
        calibrationEndsAt = sampleCounter + calibrationWindow;
    }

    if (calibrating.load() && sampleCounter >= calibrationEndsAt)
        calibrating.store (false);
}

void EmulatedPedalAudio::fillInputs (int64_t sampleCounter, float* const* inputs, int numInputs,
                                     int numSamples) noexcept
{
    followCalibration (sampleCounter);
    const int delay = calibrating.load() ? roundTrip.load() : roundTrip.load() + effectDelay;

    for (int c = 0; c < std::min (numInputs, (int) numChannels); ++c)
    {
        const float gain = gains[(size_t) c].load();
        const float* received = history.data() + (size_t) c * historyLength;

        for (int i = 0; i < numSamples; ++i)
        {
            // Only what the device has played by now can come back.
            const auto source = sampleCounter + i - delay;
            const bool known = source >= 0 && source < sampleCounter;
            inputs[c][i] = known ? gain * received[source & (historyLength - 1)] : 0.0f;
        }
    }

    for (int c = 0; c < std::min (numInputs, (int) numChannels); ++c)
        for (int i = 0; i < numSamples; ++i)
            if (auto offset = sampleCounter + i - captureStart; offset >= 0 && offset < captureLength)
                sentCapture[(size_t) (c * captureLength + offset)] = inputs[c][i];
}

void EmulatedPedalAudio::takeOutputs (int64_t sampleCounter, const float* const* outputs, int numOutputs,
                                      int numSamples) noexcept
{
    for (int c = 0; c < std::min (numOutputs, (int) numChannels); ++c)
    {
        float* received = history.data() + (size_t) c * historyLength;

        for (int i = 0; i < numSamples; ++i)
        {
            const auto sample = sampleCounter + i;
            received[sample & (historyLength - 1)] = outputs[c][i];

            if (auto offset = sample - captureStart; offset >= 0 && offset < captureLength)
                receivedCapture[(size_t) (c * captureLength + offset)] = outputs[c][i];
        }
    }

    lastSample.store (sampleCounter + numSamples);
}
