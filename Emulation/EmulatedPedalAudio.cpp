#include "Emulation/EmulatedPedalAudio.h"

#include <juce_audio_basics/juce_audio_basics.h>

#include <algorithm>

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
    receivedCapture.assign ((size_t) numChannels * (size_t) captureLength, 0.0f);
    sentCapture.assign ((size_t) numChannels * (size_t) captureLength, 0.0f);
}

float EmulatedPedalAudio::captured (const std::vector<float>& samples, int channel, int64_t sample) const noexcept
{
    const auto offset = sample - captureStart;

    if (channel < 0 || channel >= numChannels || offset < 0 || offset >= captureLength)
        return 0.0f;

    return samples[(size_t) ((int64_t) channel * captureLength + offset)];
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

void EmulatedPedalAudio::copyCaptured (std::vector<float>& capture, int channel, int64_t firstSample,
                                       const float* samples, int numSamples) noexcept
{
    const auto from = std::max (firstSample, captureStart);
    const auto to = std::min (firstSample + numSamples, captureStart + captureLength);

    if (from < to)
        std::copy (samples + (from - firstSample), samples + (to - firstSample),
                   capture.begin() + ((int64_t) channel * captureLength + (from - captureStart)));
}

void EmulatedPedalAudio::fillInputs (int64_t sampleCounter, float* const* inputs, int numInputs,
                                     int numSamples) noexcept
{
    followCalibration (sampleCounter);
    const int delay = calibrating.load() ? roundTrip.load() : roundTrip.load() + effectDelay;

    // Only what the device has played before this period can come back: the
    // samples from before its start and from this period read as silence.
    const auto first = sampleCounter - delay;
    const int silentBefore = (int) std::clamp<int64_t> (-first, 0, numSamples);
    const int known = (int) std::clamp<int64_t> (sampleCounter - std::max<int64_t> (first, 0), 0, numSamples - silentBefore);

    for (int c = 0; c < std::min (numInputs, (int) numChannels); ++c)
    {
        float* in = inputs[c];
        const float* received = history.data() + (size_t) c * historyLength;
        std::fill (in, in + numSamples, 0.0f);

        for (int done = 0; done < known;)
        {
            const auto index = (int) ((first + silentBefore + done) & (historyLength - 1));
            const int run = std::min (known - done, historyLength - index);
            juce::FloatVectorOperations::copyWithMultiply (in + silentBefore + done, received + index,
                                                           gains[(size_t) c].load(), run);
            done += run;
        }

        copyCaptured (sentCapture, c, sampleCounter, in, numSamples);
    }
}

void EmulatedPedalAudio::takeOutputs (int64_t sampleCounter, const float* const* outputs, int numOutputs,
                                      int numSamples) noexcept
{
    for (int c = 0; c < std::min (numOutputs, (int) numChannels); ++c)
    {
        float* received = history.data() + (size_t) c * historyLength;

        for (int done = 0; done < numSamples;)
        {
            const auto index = (int) ((sampleCounter + done) & (historyLength - 1));
            const int run = std::min (numSamples - done, historyLength - index);
            std::copy (outputs[c] + done, outputs[c] + done + run, received + index);
            done += run;
        }

        copyCaptured (receivedCapture, c, sampleCounter, outputs[c], numSamples);
    }

    lastSample.store (sampleCounter + numSamples);
}
