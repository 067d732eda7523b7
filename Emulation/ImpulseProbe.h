#pragma once

#include <juce_audio_basics/juce_audio_basics.h>
#include <cmath>
#include <cstdint>
#include <vector>

// Impulses into the host's channels every `period` samples, and where they come
// back: the signed centroid of each period's output, which a Lagrange reader
// moves by exactly its fractional delay, so it measures sub-sample delays.
class ImpulseProbe
{
public:
    explicit ImpulseProbe (int periodToUse, float amplitudeToUse = 1.0f)
        : period (periodToUse), amplitude (amplitudeToUse) {}

    void fill (juce::AudioBuffer<float>& block, int64_t first) const
    {
        const auto offset = (int) ((period - first % period) % period);

        for (int i = offset; i < block.getNumSamples(); i += period)
            for (int c = 0; c < block.getNumChannels(); ++c)
                block.setSample (c, i, amplitude);
    }

    void take (const juce::AudioBuffer<float>& block, int64_t first)
    {
        const float* output = block.getReadPointer (0);

        for (int i = 0; i < block.getNumSamples(); ++i)
        {
            const auto sample = first + i;
            const auto impulse = sample / period;

            if (impulse != current)
            {
                finish();
                current = impulse;
            }

            if (output[i] != 0.0f)
            {
                sum += output[i];
                moment += output[i] * (double) (sample - impulse * period);
            }
        }
    }

    struct Arrival
    {
        int64_t sentAt;  // host sample of the impulse
        double delay;    // samples until its centroid came out
    };

    // Periods whose output carried the impulse whole (its area about the amplitude).
    std::vector<Arrival> arrivals;

private:
    void finish()
    {
        if (current >= 0 && std::abs (sum - amplitude) < 0.01 * amplitude)
            arrivals.push_back ({ current * period, moment / sum });

        sum = moment = 0.0;
    }

    const int period;
    const float amplitude;
    int64_t current = -1;
    double sum = 0.0, moment = 0.0;
};
