#pragma once

#include "Devices/Audio/AudioIODeviceSource.h"

// The host's gain for the pedal's audio, sample by sample, after what its
// bridge says of each block: 0 wherever the block holds no audio of the
// pedal's current stream, a ramp up from the sample where that audio really
// comes back, and a ramp down that ends where it stops, or, when a restart
// waits for the host, at the fade's own pace. The delayed dry signal keeps
// its own share meanwhile (see the processor): at 100 % wet the pedal's
// audio fades to silence and back.
//
// Host audio thread only, except prepare.
class PedalAudioFade
{
public:
    static constexpr float fadeSeconds = 0.06f; // as long as the mute's ramp

    void prepare (double sampleRate) noexcept;

    // Plans the next block from its span. wetStart and wetEnd are the gains
    // the pedal's audio has at the block's ends anyway (mix and mute): where
    // they are 0 it is not heard, and a waiting restart need not wait.
    void plan (const AudioIODeviceSource::WetSpan& span, int numSamples, float wetStart, float wetEnd) noexcept;

    // The next block holds none of the pedal's audio, or audio that does not
    // line up with the dry path.
    void silence (int numSamples) noexcept;

    // The planned block: one gain throughout, or a gain per sample.
    bool isSteady() const noexcept { return numSegments == 1 && segments[0].slope == 0.0f; }
    float getSteadyGain() const noexcept { return segments[0].value; }
    void fill (float* gains) const noexcept;

    // After the planned block: a restart waits, and the pedal's audio is out.
    bool mayLetGo() const noexcept { return handingOver && gain == 0.0f; }

    float getGain() const noexcept { return gain; }

private:
    struct Segment
    {
        int start, end;
        float value, slope; // at start, and per sample
    };

    void add (int start, int end, float value, float slope) noexcept;

    Segment segments[3] {};
    int numSegments = 0;
    float gain = 0.0f;  // at the start of the next block
    float step = 1.0f;  // per sample of a fade
    bool handingOver = false;
};
