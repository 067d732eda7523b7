#include "Devices/Midi/SysexMessage.h"

#include <gtest/gtest.h>
#include <cstring>
#include <memory>
#include <vector>

namespace
{
using Bytes = std::vector<uint8_t>;

Bytes frameOf (uint8_t id, uint8_t group, int slot, uint8_t command, const Bytes& payload, int length)
{
    const auto m = Sysex::buildFrame (id, group, slot, command, payload.empty() ? nullptr : payload.data(), length);
    return { m.getRawData(), m.getRawData() + m.getRawDataSize() };
}

// Parses a heap copy of exactly the given size, so that ASan reports a read past its end.
template <typename Check>
void parseExact (const Bytes& bytes, Check&& check)
{
    std::unique_ptr<uint8_t[]> copy (new uint8_t[juce::jmax<size_t> (1, bytes.size())]);
    if (! bytes.empty())
        std::memcpy (copy.get(), bytes.data(), bytes.size());
    check (SysexMessage::parse (copy.get(), (int) bytes.size()), copy.get());
}

Bytes counting (int n, uint8_t first = 1)
{
    Bytes bytes ((size_t) n);
    for (int i = 0; i < n; ++i)
        bytes[(size_t) i] = (uint8_t) (first + i);
    return bytes;
}

TEST (SysexFrameTest, FramesAreBuiltFromTheirParts)
{
    const auto record = counting (23);
    auto stateWrite = Bytes { 0xF0, 0x00, 0x5A, 0x3D, 0x00, 0x02, 0x21, 0x04, 0x30 };
    stateWrite.insert (stateWrite.end(), record.begin(), record.end());
    stateWrite.push_back (0xF7);

    const struct { const char* what; uint8_t id, group; int slot; uint8_t command; Bytes payload; int length; Bytes expected; } cases[] = {
        { "no payload is ten bytes, whatever length is given", 5, Sysex::SystemGroup, 0, Sysex::KeepAlive, {}, 7,
          { 0xF0, 0x00, 0x5A, 0x3D, 0x00, 0x02, 0x05, 0x11, 0x0C, 0xF7 } },
        { "a state write is 33 bytes", 0x21, Sysex::StateGroup, 3, Sysex::StateWrite, record, 23, stateWrite },
        { "payload bytes go out unmasked", 1, Sysex::ControlGroup, 0, Sysex::ControlChange, { 0x80, 0xFF, 0x7F, 0xF7 }, 4,
          { 0xF0, 0x00, 0x5A, 0x3D, 0x00, 0x02, 0x01, 0x21, 0x00, 0x80, 0xFF, 0x7F, 0xF7, 0xF7 } },
        { "slot 14 is sent as 15", 1, Sysex::DisplayGroup, 14, 0, {}, 0, { 0xF0, 0x00, 0x5A, 0x3D, 0x00, 0x02, 0x01, 0x4F, 0x00, 0xF7 } },
        { "slot 15 wraps to 0 and leaves the group alone", 1, Sysex::DisplayGroup, 15, 0, {}, 0,
          { 0xF0, 0x00, 0x5A, 0x3D, 0x00, 0x02, 0x01, 0x40, 0x00, 0xF7 } },
    };

    for (const auto& c : cases)
        EXPECT_EQ (frameOf (c.id, c.group, c.slot, c.command, c.payload, c.length), c.expected) << c.what;
}

TEST (SysexFrameTest, ShortForeignOrMissingFramesAreInvalid)
{
    const Bytes invalid[] = {
        { 0xF0, 0x00, 0x5A, 0x3D, 0x00, 0x02, 0x05, 0x11, 0xF7 },       // nine bytes
        { 0xF0, 0x00, 0x5A, 0x3D, 0x00, 0x01, 0x05, 0x11, 0x0C, 0xF7 }, // another header
        { 0xF1, 0x00, 0x5A, 0x3D, 0x00, 0x02, 0x05, 0x11, 0x0C, 0xF7 },
        { 0x90, 0x3C, 0x64, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00 },
        { 0xF0 },
        {},
    };

    for (const auto& bytes : invalid)
        parseExact (bytes, [&] (const SysexMessage& m, const uint8_t*) { EXPECT_FALSE (m.valid) << bytes.size() << " bytes"; });

    EXPECT_FALSE (SysexMessage::parse (nullptr, 10).valid);
}

TEST (SysexFrameTest, AValidFrameGivesItsFieldsAndABuiltOneReadsBack)
{
    parseExact ({ 0xF0, 0x00, 0x5A, 0x3D, 0x00, 0x02, 0x15, 0x35, 0x42, 0x0A, 0x0B, 0x0C, 0xF7 },
                [] (const SysexMessage& m, const uint8_t* data)
                {
                    ASSERT_TRUE (m.valid);
                    EXPECT_EQ (m.deviceId, 0x15);
                    EXPECT_EQ (m.group, 3);
                    EXPECT_EQ (m.slot, 5);
                    EXPECT_EQ (m.command, 0x42);
                    EXPECT_EQ (m.length, 3);
                    EXPECT_EQ (m.payload, data + 9);
                });

    const Bytes payload { 1, 2, 3 };
    const auto frame = Sysex::buildFrame (0x7F, Sysex::DisplayGroup, 6, Sysex::LedState, payload.data(), 3);
    const auto m = SysexMessage::parse (frame);
    ASSERT_TRUE (m.valid);
    EXPECT_EQ (m.slot, 7); // outgoing frames carry the stored slot plus one
    EXPECT_EQ (Bytes (m.payload, m.payload + m.length), payload);
}

TEST (SysexFrameTest, NeverReadsBeyondTheGivenSize)
{
    const Bytes full { 0xF0, 0x00, 0x5A, 0x3D, 0x00, 0x02, 0x15, 0x12, 0x01, 0x00, 0x01, 0x00, 0x02, 0x00, 0x03, 0xF7 };

    for (size_t size = 0; size <= full.size(); ++size)
        parseExact (Bytes (full.begin(), full.begin() + (long) size), [size] (const SysexMessage& m, const uint8_t*)
        {
            EXPECT_EQ (m.valid, size >= 10) << size;
            EXPECT_EQ (m.getFirmwareVersion(), size == 16 ? 0x010203 : -1) << size;
        });
}

TEST (SysexFrameTest, SixNibblesMakeTheFirmwareVersion)
{
    const struct { Bytes payload; int version; } cases[] = {
        { { 0x00, 0x01, 0x00, 0x02, 0x00, 0x03 }, 0x010203 },
        { { 0x02, 0x0A, 0x00, 0x0F, 0x0F, 0x0F, 0x00 }, 0x2A0FFF }, // two-digit nibbles, an extra byte
        { { 0x00, 0x01, 0x00, 0x02, 0x00 }, -1 },                    // five bytes carry none
    };

    for (const auto& c : cases)
    {
        Bytes bytes { 0xF0, 0x00, 0x5A, 0x3D, 0x00, 0x02, 0x15, 0x12, 0x01 };
        bytes.insert (bytes.end(), c.payload.begin(), c.payload.end());
        bytes.push_back (0xF7);
        parseExact (bytes, [&] (const SysexMessage& m, const uint8_t*) { EXPECT_EQ (m.getFirmwareVersion(), c.version); });
    }

    EXPECT_EQ (SysexMessage().getFirmwareVersion(), -1);
}
} // namespace
