#pragma once

#include <cstddef>
#include <vector>

// Test signals and level measurement for the host stand-in.

// Linear gain of a level in dBFS, and back; silence measures as -infinity.
double gainFromDb (double db);
double dbFromGain (double gain);

// A sine starting at phase zero; `levelDb` is its peak level in dBFS.
std::vector<float> sine (int numFrames, double sampleRate, double frequency, double levelDb);
std::vector<float> silence (int numFrames);
// All zeros except one sample of `amplitude` at `position` (left out when outside).
std::vector<float> impulse (int numFrames, int position = 0, float amplitude = 1.0f);

// Continues a sine from block to block without a phase jump.
class SineGenerator
{
public:
    SineGenerator (double sampleRate, double frequency, double levelDb);
    void fill (float* destination, int numFrames);

private:
    double phase = 0.0;
    double increment;
    double gain;
};

struct Level
{
    double peakDb;
    double rmsDb;
};

Level measure (const float* samples, size_t numSamples);
Level measure (const std::vector<float>& samples);
std::vector<Level> measure (const std::vector<std::vector<float>>& channels);
