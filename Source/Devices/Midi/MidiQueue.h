#pragma once

#include "Utilities/InputLimits.h"

#include <juce_core/juce_core.h>
#include <array>
#include <atomic>
#include <cstdint>
#include <cstring>
#include <vector>

// Single-producer, single-consumer ring of received MIDI messages. The MIDI
// input thread writes, the message thread reads; neither ever waits or
// allocates: every slot holds the bytes of the longest message taken. A longer
// message, or one that finds the queue full, is dropped and counted.
class MidiQueue
{
public:
    static constexpr int capacity = 4096; // the fifo keeps one slot free: 4095 may wait
    static constexpr int slotBytes = InputLimits::midiMessageBytes;

    struct Message
    {
        std::array<uint8_t, slotBytes> bytes {};
        int size = 0;
    };

    MidiQueue() : fifo (capacity), slots ((size_t) capacity) {}

    // MIDI input thread. False when the message was dropped.
    bool write (const uint8_t* data, int size) noexcept
    {
        if (data == nullptr || size <= 0 || size > slotBytes)
            return drop();

        const auto scope = fifo.write (1);
        if (scope.blockSize1 == 0)
            return drop();

        auto& slot = slots[(size_t) scope.startIndex1];
        std::memcpy (slot.bytes.data(), data, (size_t) size);
        slot.size = size;
        return true;
    }

    // Message thread. False when nothing waits.
    bool read (Message& message) noexcept
    {
        const auto scope = fifo.read (1);
        if (scope.blockSize1 == 0)
            return false;

        message = slots[(size_t) scope.startIndex1];
        return true;
    }

    // Messages lost so far, too long or to a full queue.
    int getNumDropped() const noexcept { return dropped.load (std::memory_order_relaxed); }

private:
    bool drop() noexcept
    {
        dropped.fetch_add (1, std::memory_order_relaxed);
        return false;
    }

    juce::AbstractFifo fifo;
    std::vector<Message> slots;
    std::atomic<int> dropped { 0 };

    JUCE_DECLARE_NON_COPYABLE (MidiQueue)
};
