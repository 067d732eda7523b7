#pragma once

#include "Utilities/AbstractQueue.h"

#include <juce_audio_basics/juce_audio_basics.h>

// A single-producer, single-consumer ring of multichannel float audio. One
// thread writes, one thread reads; neither locks, waits or allocates. The
// storage is allocated once and starts silent, so a ring read before it was
// written yields silence.
//
// Counts must stay below the capacity and start samples must not be negative;
// calls that break this are refused and counted (see AbstractQueue).
class CircularAudioBuffer : public AbstractQueue
{
public:
    static constexpr int defaultNumChannels = 2;
    static constexpr int defaultCapacity = 32768;

    explicit CircularAudioBuffer (int numChannels = defaultNumChannels, int capacity = defaultCapacity);
    virtual ~CircularAudioBuffer();

    // Both indices to 0; the stored audio stays. Only while neither side is active.
    virtual void reset();

    // Reader: takes numSamples samples into dest[c] + startSample for every
    // non-null destination channel (zeros where the ring has no channel c).
    // With mustFill and fewer samples ready, or a refused count, every
    // destination gets silence, the read index stays and the result is false.
    // Without mustFill a short ring yields stale samples and the read passes
    // the write index.
    virtual bool readBuffer (float* const* dest, int numDestChannels, int numSamples, int startSample, bool mustFill);

    // Writer: appends numSamples samples of every ring channel, from
    // source[c] + startSample, or silence where the source has no channel c.
    // With mustFit the block is written whole or not at all (false); without it
    // unread samples are overwritten.
    bool writeBuffer (const float* const* source, int numSourceChannels, int numSamples, int startSample, bool mustFit);

    // Silence in all of the storage. Only while neither side is active.
    void clear() noexcept;

    int getNumChannels() const noexcept { return storage.getNumChannels(); }

protected:
    const float* getChannel (int channel) const noexcept { return channels[channel]; }

    // True when a read of numSamples (0 included) may go ahead; otherwise the
    // destinations are silenced where that is safe and the call is refused.
    // No destination array means no destination channels.
    bool acceptRead (float* const* dest, int& numDestChannels, int numSamples, int startSample) noexcept;

    static void clearDestination (float* const* dest, int numDestChannels, int numSamples, int startSample) noexcept;

private:
    juce::AudioBuffer<float> storage;
    float* const* channels; // the storage's channels, taken once so audio threads never touch the buffer object

    JUCE_DECLARE_NON_COPYABLE (CircularAudioBuffer)
};
