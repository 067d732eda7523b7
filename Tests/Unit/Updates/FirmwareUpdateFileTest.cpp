#include "Devices/FirmwareImage.h"
#include "Support/HostileFirmware.h"
#include "Updates/FirmwareUpdateController.h"

#include <gtest/gtest.h>

namespace
{
using Problem = FirmwareUpdateFile::Problem;
using HostileFirmware::Messages;

const std::string carried = toString (FirmwareImage::getPayload());

// The smallest firmware the carried one gives: begin, header, three records, their block end, end.
std::string smallFirmware()
{
    const auto m = HostileFirmware::messagesOf (carried);
    return m[0] + m[1] + m[2] + m[3] + m[4] + m[258] + m.back();
}

Messages split (const std::string& bytes, Problem& problem)
{
    juce::MidiBuffer buffer;
    buffer.addEvent (juce::MidiMessage::noteOn (1, 60, (juce::uint8) 100), 0); // replaced, never appended to
    problem = FirmwareUpdateFile::split (juce::MemoryBlock (bytes.data(), bytes.size()), buffer);

    Messages messages;
    for (const auto event : buffer)
        messages.emplace_back (reinterpret_cast<const char*> (event.data), (size_t) event.numBytes);
    return messages;
}

TEST (FirmwareUpdateFile, AWholeFirmwareSplitsIntoItsMessagesInFileOrder)
{
    for (const auto& firmware : { carried, smallFirmware() })
    {
        Problem problem = Problem::empty;
        const auto messages = split (firmware, problem);
        EXPECT_EQ (problem, Problem::none);
        EXPECT_EQ (messages, HostileFirmware::messagesOf (firmware));
        EXPECT_EQ (HostileFirmware::join (messages), firmware);
    }

    EXPECT_EQ (HostileFirmware::messagesOf (carried).size(), 985u);
    EXPECT_EQ (HostileFirmware::messagesOf (smallFirmware()).size(), 7u);
}

TEST (FirmwareUpdateFile, AnythingButAWholeFirmwareIsRefusedWholeWithWhatIsWrong)
{
    for (const auto& firmware : { carried, smallFirmware() })
    {
        for (const auto& c : HostileFirmware::syxFiles (firmware))
        {
            SCOPED_TRACE (c.what + " of " + std::to_string (firmware.size()) + " bytes");
            Problem problem = Problem::none;
            EXPECT_TRUE (split (c.bytes, problem).empty());
            EXPECT_EQ (problem, c.problem);

            juce::MidiBuffer buffer;
            EXPECT_FALSE (FirmwareUpdateController::loadBuffer (buffer, juce::MemoryBlock (c.bytes.data(), c.bytes.size())));
            EXPECT_TRUE (buffer.isEmpty());
        }
    }
}

TEST (FirmwareUpdateFile, BlocksHoldUpTo256RecordsAndEveryMessageItsCommandsLength)
{
    const auto m = HostileFirmware::messagesOf (carried);
    std::string fullBlock = m[0] + m[1];
    for (int i = 0; i < BootloaderFrame::recordsPerBlock; ++i)
        fullBlock += m[2];

    Problem problem = Problem::empty;
    EXPECT_EQ (split (fullBlock + m[258] + m.back(), problem).size(), 260u);
    EXPECT_EQ (problem, Problem::none);

    const std::pair<uint8_t, int> lengths[] = { { 0x7A, 13 }, { 0x7D, 24 }, { 0x7E, 47 }, { 0x7C, 15 }, { 0x7F, 10 }, { 0x7B, 0 }, { 0x00, 0 } };
    for (const auto& [command, length] : lengths)
        EXPECT_EQ (BootloaderFrame::lengthOf (command), length) << (int) command;
}
} // namespace
