#pragma once

#include <juce_audio_basics/juce_audio_basics.h>

// A gain that ramps once per block.
class AudioSmoothedValue : public juce::SmoothedValue<float, juce::ValueSmoothingTypes::Linear>
{
public:
    explicit AudioSmoothedValue (float rampSeconds = 0.1f) : rampLengthSeconds (rampSeconds) {}
    virtual ~AudioSmoothedValue() = default;

    // Steps once per block: floor (ramp length * blocks per second) steps, and the
    // current value jumps to the target.
    void prepare (double sampleRate, int blockSize)
    {
        jassert (sampleRate > 0.0 && blockSize > 0);
        if (! (sampleRate > 0.0) || blockSize <= 0)
            return;

        reset (sampleRate / blockSize, rampLengthSeconds);
        setCurrentAndTargetValue (getTargetValue());
    }

    float getRampLengthSeconds() const noexcept { return rampLengthSeconds; }

private:
    float rampLengthSeconds;
};

// The mute ramp that fades the output while the dry delay switches.
class AudioMute : public AudioSmoothedValue
{
public:
    AudioMute() : AudioSmoothedValue (0.06f) {}
    ~AudioMute() override = default;
};
