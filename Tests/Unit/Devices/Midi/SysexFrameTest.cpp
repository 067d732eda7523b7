#include "Devices/Midi/SysexMessage.h"

#include "Support/LinkSupport.h"

#include <gtest/gtest.h>
#include <cstring>
#include <memory>
#include <vector>

namespace
{
// A heap copy of exactly the given size, so a read past its end is caught by ASan.
std::unique_ptr<uint8_t[]> exactCopy (const Bytes& bytes)
{
    std::unique_ptr<uint8_t[]> copy (new uint8_t[bytes.size()]);
    std::memcpy (copy.get(), bytes.data(), bytes.size());
    return copy;
}

SysexMessage parseExact (const Bytes& bytes)
{
    const auto copy = exactCopy (bytes);
    auto message = SysexMessage::parse (copy.get(), (int) bytes.size());
    message.payload = nullptr; // the copy dies here
    return message;
}

//==============================================================================
TEST (SysexFrameBuildTest, AFrameWithoutPayloadIsTenBytesEvenWithALengthGiven)
{
    for (int length : { 0, 7 })
        EXPECT_EQ (bytesOf (Sysex::buildFrame (5, Sysex::SystemGroup, 0, Sysex::KeepAlive, nullptr, length)),
                   (Bytes { 0xF0, 0x00, 0x5A, 0x3D, 0x00, 0x02, 0x05, 0x11, 0x0C, 0xF7 })) << length;
}

TEST (SysexFrameBuildTest, AStateWriteOfTwentyThreeBytesIsThirtyThreeBytes)
{
    Bytes record (23);
    for (size_t i = 0; i < record.size(); ++i)
        record[i] = (uint8_t) (i + 1);

    const auto frame = Sysex::buildFrame (0x21, Sysex::StateGroup, 3, Sysex::StateWrite, record.data(), (int) record.size());
    const auto bytes = bytesOf (frame);

    ASSERT_EQ (bytes.size(), 33u);
    EXPECT_EQ (Bytes (bytes.begin(), bytes.begin() + 9), (Bytes { 0xF0, 0x00, 0x5A, 0x3D, 0x00, 0x02, 0x21, 0x04, 0x30 }));
    EXPECT_EQ (Bytes (bytes.begin() + 9, bytes.begin() + 32), record);
    EXPECT_EQ (bytes.back(), 0xF7);
}

TEST (SysexFrameBuildTest, PayloadBytesAreSentUnmasked)
{
    const Bytes payload { 0x80, 0xFF, 0x7F, 0xF7 };
    const auto bytes = bytesOf (Sysex::buildFrame (1, Sysex::ControlGroup, 0, Sysex::ControlChange, payload.data(), (int) payload.size()));

    ASSERT_EQ (bytes.size(), 14u);
    EXPECT_EQ (Bytes (bytes.begin() + 9, bytes.begin() + 13), payload);
    EXPECT_EQ (bytes.back(), 0xF7);
}

TEST (SysexFrameBuildTest, StoredSlotFifteenWrapsWithoutTouchingTheGroup)
{
    for (uint8_t group = Sysex::StateGroup; group <= Sysex::DisplayGroup; ++group)
    {
        const auto bytes = bytesOf (Sysex::buildFrame (1, group, 15, 0, nullptr, 0));
        ASSERT_EQ (bytes.size(), 10u);
        EXPECT_EQ (bytes[7], (uint8_t) (group << 4)) << "group " << (int) group;
    }

    for (int slot = 0; slot < 15; ++slot)
        EXPECT_EQ (bytesOf (Sysex::buildFrame (1, Sysex::DisplayGroup, slot, 0, nullptr, 0))[7], (uint8_t) (0x40 | (slot + 1)));
}

//==============================================================================
TEST (SysexFrameParseTest, ShortForeignOrMissingFramesAreInvalid)
{
    const Bytes invalid[] = {
        { 0xF0, 0x00, 0x5A, 0x3D, 0x00, 0x02, 0x05, 0x11, 0xF7 },       // nine bytes
        { 0xF0, 0x00, 0x5A, 0x3D, 0x00, 0x01, 0x05, 0x11, 0x0C, 0xF7 }, // another header
        { 0xF1, 0x00, 0x5A, 0x3D, 0x00, 0x02, 0x05, 0x11, 0x0C, 0xF7 },
        { 0x90, 0x3C, 0x64, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00 },
        { 0xF0 },
    };

    for (const auto& bytes : invalid)
        EXPECT_FALSE (parseExact (bytes).valid) << bytes.size() << " bytes from " << (int) bytes[0];

    EXPECT_FALSE (SysexMessage::parse (nullptr, 10).valid);
    EXPECT_FALSE (SysexMessage::parse (nullptr, 0).valid);
}

TEST (SysexFrameParseTest, AValidFrameGivesItsFields)
{
    const Bytes bytes { 0xF0, 0x00, 0x5A, 0x3D, 0x00, 0x02, 0x15, 0x35, 0x42, 0x0A, 0x0B, 0x0C, 0xF7 };
    const auto copy = exactCopy (bytes);
    const auto message = SysexMessage::parse (copy.get(), (int) bytes.size());

    ASSERT_TRUE (message.valid);
    EXPECT_EQ (message.deviceId, 0x15);
    EXPECT_EQ (message.group, 3);
    EXPECT_EQ (message.slot, 5);
    EXPECT_EQ (message.command, 0x42);
    EXPECT_EQ (message.length, (int) bytes.size() - 10);
    EXPECT_EQ (message.payload, copy.get() + 9);
}

TEST (SysexFrameParseTest, ParsesAMidiMessageAndRoundTripsABuiltFrame)
{
    const Bytes payload { 1, 2, 3 };
    const auto frame = Sysex::buildFrame (0x7F, Sysex::DisplayGroup, 6, Sysex::LedState, payload.data(), (int) payload.size());
    const auto message = SysexMessage::parse (frame);

    ASSERT_TRUE (message.valid);
    EXPECT_EQ (message.deviceId, 0x7F);
    EXPECT_EQ (message.group, Sysex::DisplayGroup);
    EXPECT_EQ (message.slot, 7); // outgoing frames carry the stored slot plus one
    EXPECT_EQ (message.command, Sysex::LedState);
    EXPECT_EQ (message.length, 3);
    EXPECT_EQ (Bytes (message.payload, message.payload + message.length), payload);
}

TEST (SysexFrameParseTest, NeverReadsBeyondTheGivenSize)
{
    const Bytes full { 0xF0, 0x00, 0x5A, 0x3D, 0x00, 0x02, 0x15, 0x12, 0x01, 0x00, 0x01, 0x00, 0x02, 0x00, 0x03, 0xF7 };

    // Every prefix on its own exact-size heap block: ASan reports any overread.
    for (size_t size = 0; size <= full.size(); ++size)
    {
        const Bytes prefix (full.begin(), full.begin() + (long) size);
        const auto copy = exactCopy (prefix.empty() ? Bytes { 0 } : prefix);
        const auto message = SysexMessage::parse (copy.get(), (int) size);

        if (size < 10)
        {
            EXPECT_FALSE (message.valid) << size;
        }

        if (message.valid)
        {
            EXPECT_EQ (message.length, (int) size - 10);
            EXPECT_LE (message.payload + message.length, copy.get() + size);
            (void) message.getFirmwareVersion();
        }
    }
}

//==============================================================================
TEST (SysexFrameVersionTest, SixNibblesMakeTheVersion)
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
        const auto copy = exactCopy (bytes);
        EXPECT_EQ (SysexMessage::parse (copy.get(), (int) bytes.size()).getFirmwareVersion(), c.version) << c.payload.size();
    }

    EXPECT_EQ (SysexMessage().getFirmwareVersion(), -1);
}
} // namespace
