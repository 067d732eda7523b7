#include "Devices/Audio/AudioPeakDetector.h"

void AudioPeakDetector::raise (std::atomic<float>& peak, float value) noexcept
{
    auto current = peak.load();
    while (value > current && ! peak.compare_exchange_weak (current, value))
    {
    }
}

void AudioPeakDetector::update (const juce::AudioBuffer<float>& buffer) noexcept
{
    idleTicks.store (0);

    for (int channel = 0; channel < 2; ++channel)
    {
        float magnitude = 0.0f;

        if (channel < buffer.getNumChannels() && ! buffer.hasBeenCleared())
            magnitude = buffer.getMagnitude (channel, 0, buffer.getNumSamples());

        raise (peaks[channel], magnitude);
    }
}

std::pair<float, float> AudioPeakDetector::readStereo()
{
    jassert (juce::MessageManager::existsAndIsCurrentThread());
    const auto left = peaks[0].exchange (-1.0f);
    const auto right = peaks[1].exchange (-1.0f);
    return { left, right };
}

std::pair<float, float> AudioPeakDetector::readMono()
{
    jassert (juce::MessageManager::existsAndIsCurrentThread());
    const auto left = peaks[0].exchange (-1.0f);
    peaks[1].exchange (-1.0f);
    return { left, left };
}

void AudioPeakDetector::timerCallback()
{
    jassert (juce::MessageManager::existsAndIsCurrentThread());

    if (idleTicks.load() > 1)
        return;

    if (idleTicks.fetch_add (1) >= 1)
    {
        peaks[0].store (0.0f);
        peaks[1].store (0.0f);
    }
}
