#include "Updates/FirmwareUpdateController.h"
#include "Utilities/InputLimits.h"

#include <gtest/gtest.h>

namespace
{
using Bytes = std::vector<uint8_t>;

std::vector<Bytes> split (const Bytes& bytes, bool& loaded)
{
    juce::MidiBuffer buffer;
    buffer.addEvent (juce::MidiMessage::noteOn (1, 60, (juce::uint8) 100), 0); // replaced, never appended to
    loaded = FirmwareUpdateController::loadBuffer (buffer, juce::MemoryBlock (bytes.data(), bytes.size()));

    std::vector<Bytes> messages;
    for (const auto event : buffer)
        messages.emplace_back (event.data, event.data + event.numBytes);
    return messages;
}

struct SplitCase
{
    const char* what;
    Bytes file;
    std::vector<Bytes> messages; // empty: the file is refused
};

const SplitCase splitCases[] = {
    { "two messages back to back", { 0xF0, 0x01, 0xF7, 0xF0, 0x02, 0xF7 }, { { 0xF0, 0x01, 0xF7 }, { 0xF0, 0x02, 0xF7 } } },
    { "an empty message", { 0xF0, 0xF7 }, { { 0xF0, 0xF7 } } },
    { "an empty file", {}, {} },
    { "a stray byte before the first message", { 0x05, 0xF0, 0x01, 0xF7 }, {} },
    { "a stray byte between messages", { 0xF0, 0x01, 0xF7, 0x05, 0xF0, 0x02, 0xF7 }, {} },
    { "a stray byte after the last message", { 0xF0, 0x01, 0xF7, 0x05 }, {} },
    { "a status byte inside", { 0xF0, 0x01, 0x90, 0xF7 }, {} },
    { "a message cut short by the next (not silently shortened)", { 0xF0, 0x01, 0xF0, 0x02, 0xF7 }, {} },
    { "no end", { 0xF0, 0x01, 0x02 }, {} },
    { "an end without a start", { 0xF7 }, {} },
};

TEST (FirmwareUpdateFile, SplitsCompleteMessagesInOrderAndRefusesAnythingElseWhole)
{
    for (const auto& c : splitCases)
    {
        SCOPED_TRACE (c.what);
        bool loaded = false;
        EXPECT_EQ (split (c.file, loaded), c.messages);
        EXPECT_EQ (loaded, ! c.messages.empty());
    }
}

TEST (FirmwareUpdateFile, MessagesTooLargeForTheBufferOrTooManyAreRefusedNotDropped)
{
    Bytes large { 0xF0 };
    large.insert (large.end(), 65535, 0x11);
    large.push_back (0xF7);

    Bytes many;
    for (int i = 0; i <= InputLimits::firmwareMessages; ++i)
        many.insert (many.end(), { 0xF0, 0xF7 });

    for (const auto* file : { &large, &many })
    {
        bool loaded = true;
        EXPECT_TRUE (split (*file, loaded).empty());
        EXPECT_FALSE (loaded);
    }

    // One message fewer than the limit loads.
    many.resize (many.size() - 2);
    bool loaded = false;
    EXPECT_EQ ((int) split (many, loaded).size(), InputLimits::firmwareMessages);
}
} // namespace
