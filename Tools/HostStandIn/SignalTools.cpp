#include "SignalTools.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace
{
    constexpr double twoPi = 6.283185307179586476925286766559;
}

double gainFromDb (double db)
{
    return std::pow (10.0, db / 20.0);
}

double dbFromGain (double gain)
{
    if (std::isnan (gain))
        return gain;

    return gain > 0.0 ? 20.0 * std::log10 (gain) : -std::numeric_limits<double>::infinity();
}

std::vector<float> sine (int numFrames, double sampleRate, double frequency, double levelDb)
{
    std::vector<float> samples ((size_t) std::max (numFrames, 0));
    SineGenerator (sampleRate, frequency, levelDb).fill (samples.data(), (int) samples.size());
    return samples;
}

std::vector<float> silence (int numFrames)
{
    return std::vector<float> ((size_t) std::max (numFrames, 0), 0.0f);
}

std::vector<float> impulse (int numFrames, int position, float amplitude)
{
    auto samples = silence (numFrames);

    if (position >= 0 && position < (int) samples.size())
        samples[(size_t) position] = amplitude;

    return samples;
}

SineGenerator::SineGenerator (double sampleRate, double frequency, double levelDb)
    : increment (twoPi * frequency / sampleRate), gain (gainFromDb (levelDb))
{
}

void SineGenerator::fill (float* destination, int numFrames)
{
    for (int i = 0; i < numFrames; ++i)
    {
        destination[i] = (float) (gain * std::sin (phase));
        // Wrapping keeps the phase small, so long runs stay as precise as short ones.
        phase = std::fmod (phase + increment, twoPi);
    }
}

Level measure (const float* samples, size_t numSamples)
{
    double peak = 0.0;
    double sumOfSquares = 0.0;
    bool sawNaN = false;

    for (size_t i = 0; i < numSamples; ++i)
    {
        const double s = samples[i];
        sawNaN = sawNaN || std::isnan (s);
        peak = std::max (peak, std::abs (s));
        sumOfSquares += s * s;
    }

    // A NaN anywhere must show in the peak too, not vanish in the comparison.
    if (sawNaN)
        peak = std::numeric_limits<double>::quiet_NaN();

    const double rms = numSamples > 0 ? std::sqrt (sumOfSquares / (double) numSamples) : 0.0;
    return { dbFromGain (peak), dbFromGain (rms) };
}

Level measure (const std::vector<float>& samples)
{
    return measure (samples.data(), samples.size());
}

std::vector<Level> measure (const std::vector<std::vector<float>>& channels)
{
    std::vector<Level> levels;
    levels.reserve (channels.size());

    for (auto& channel : channels)
        levels.push_back (measure (channel));

    return levels;
}
