#include "Devices/Midi/MidiQueue.h"

#include <gtest/gtest.h>
#include <vector>

namespace
{
using Bytes = std::vector<uint8_t>;

Bytes read (MidiQueue& queue)
{
    MidiQueue::Message message;
    if (! queue.read (message))
        return {};
    return { message.bytes.begin(), message.bytes.begin() + message.size };
}

TEST (MidiQueueTest, TakesMessagesUpToTheLongestFrameAndCountsWhatItDrops)
{
    const struct { int size; bool taken; } cases[] = {
        { 1, true }, { 3, true }, { 33, true }, { 0, false }, { 34, false }, { 65536, false },
    };

    MidiQueue queue;
    int dropped = 0;

    for (const auto& c : cases)
    {
        SCOPED_TRACE (c.size);
        Bytes message ((size_t) c.size);
        for (size_t i = 0; i < message.size(); ++i)
            message[i] = (uint8_t) (i * 7);

        EXPECT_EQ (queue.write (message.data(), c.size), c.taken);
        EXPECT_EQ (read (queue), c.taken ? message : Bytes());
        EXPECT_EQ (queue.getNumDropped(), dropped += c.taken ? 0 : 1);
    }
}

TEST (MidiQueueTest, AFullQueueDropsTheNewestAndGivesTheRestInOrder)
{
    MidiQueue queue;
    constexpr int waiting = MidiQueue::capacity - 1;

    for (int i = 0; i <= waiting; ++i)
    {
        const uint8_t message[] = { 0xB0, (uint8_t) ((i >> 7) & 0x7F), (uint8_t) (i & 0x7F) };
        EXPECT_EQ (queue.write (message, 3), i < waiting) << i;
    }

    EXPECT_EQ (queue.getNumDropped(), 1);

    for (int i = 0; i < waiting; ++i)
        ASSERT_EQ (read (queue), (Bytes { 0xB0, (uint8_t) ((i >> 7) & 0x7F), (uint8_t) (i & 0x7F) })) << i;

    EXPECT_EQ (read (queue), Bytes());

    const uint8_t next[] = { 0xF8 };
    EXPECT_TRUE (queue.write (next, 1));
    EXPECT_EQ (read (queue), Bytes { 0xF8 });
}
} // namespace
