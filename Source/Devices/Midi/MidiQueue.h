#pragma once

#include <juce_audio_basics/juce_audio_basics.h>
#include <juce_core/juce_core.h>
#include <vector>

// Single-producer, single-consumer ring of received MIDI messages. The MIDI
// input thread writes, the message thread reads; neither ever waits. A full
// queue drops the newest message.
class MidiQueue
{
public:
    static constexpr int capacity = 4096; // the fifo keeps one slot free: 4095 may wait

    MidiQueue() : fifo (capacity), slots ((size_t) capacity) {}

    // MIDI input thread. False when the message was dropped.
    bool write (const juce::MidiMessage& message)
    {
        const auto scope = fifo.write (1);
        if (scope.blockSize1 == 0)
            return false;

        slots[(size_t) scope.startIndex1] = message;
        return true;
    }

    // Message thread. False when nothing waits.
    bool read (juce::MidiMessage& message)
    {
        const auto scope = fifo.read (1);
        if (scope.blockSize1 == 0)
            return false;

        message = slots[(size_t) scope.startIndex1];
        return true;
    }

private:
    juce::AbstractFifo fifo;
    std::vector<juce::MidiMessage> slots;

    JUCE_DECLARE_NON_COPYABLE (MidiQueue)
};
