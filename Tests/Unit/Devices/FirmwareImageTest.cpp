#include "Devices/FirmwareImage.h"
#include "Updates/FirmwareUpdateController.h"
#include "Updates/VersionNumber.h"

#include <gtest/gtest.h>
#include <map>
#include <zlib.h>

namespace
{
TEST (FirmwareImage, TheCarriedImageIsVersion015WithItsPayloadIntact)
{
    EXPECT_EQ (FirmwareImage::checkCarriedImage(), FirmwareImage::Problem::none);
    EXPECT_EQ (FirmwareImage::getFirmwareVersion(), 0x000105u);
    EXPECT_EQ (versionToString ((int) FirmwareImage::getFirmwareVersion()), "0.1.5");

    const auto payload = FirmwareImage::getPayload();
    ASSERT_EQ (payload.getSize(), (size_t) FirmwareImage::carriedPayloadLength);
    EXPECT_EQ (payload.getSize(), 46073u);
}

TEST (FirmwareImage, ThePayloadIs985BootloaderMessagesInTheirOrder)
{
    juce::MidiBuffer buffer;
    ASSERT_TRUE (FirmwareUpdateController::loadBuffer (buffer, FirmwareImage::getPayload()));
    ASSERT_EQ (buffer.getNumEvents(), 985);

    // command -> (length, count), and the order in which commands appear.
    std::map<int, std::pair<int, int>> seen;
    std::string order;
    juce::uint8 previous = 0;
    const juce::MemoryBlock identity ((*buffer.begin()).data + 4, 3);

    for (const auto event : buffer)
    {
        ASSERT_GE (event.numBytes, 9);
        EXPECT_EQ (juce::MemoryBlock (event.data + 1, 3), juce::MemoryBlock ("\x00\x5A\x3D", 3));
        EXPECT_EQ (juce::MemoryBlock (event.data + 4, 3), identity) << "the same three bytes follow in every message";

        const auto command = event.data[7];
        auto& [length, count] = seen[command];
        EXPECT_TRUE (length == 0 || length == event.numBytes) << std::hex << (int) command;
        length = event.numBytes;
        ++count;

        if (command != previous)
            order += juce::String::toHexString ((int) command).toStdString() + " ";
        previous = command;
    }

    const std::map<int, std::pair<int, int>> expected {
        { 0x7A, { 13, 1 } }, { 0x7D, { 24, 1 } }, { 0x7E, { 47, 978 } }, { 0x7C, { 15, 4 } }, { 0x7F, { 10, 1 } }
    };
    EXPECT_EQ (seen, expected);
    EXPECT_EQ (order, "7a 7d 7e 7c 7e 7c 7e 7c 7e 7c 7f ");
}

TEST (FirmwareImage, ADamagedImageIsRefusedWithWhatIsWrong)
{
    juce::MemoryBlock good (FirmwareImage::getPayload().getSize() + FirmwareImage::headerSize);
    const auto payload = FirmwareImage::getPayload();
    good.copyFrom ("QZRI", 0, 4);
    const juce::uint32 fields[] = { (juce::uint32) payload.getSize(), 0x000105,
                                    (juce::uint32) crc32 (0, static_cast<const Bytef*> (payload.getData()), (uInt) payload.getSize()) };
    for (int i = 0; i < 3; ++i)
        for (int b = 0; b < 4; ++b)
            good[(size_t) (4 + 4 * i + b)] = (char) (fields[i] >> (8 * b));
    good.copyFrom (payload.getData(), (int) FirmwareImage::headerSize, payload.getSize());

    using Problem = FirmwareImage::Problem;
    ASSERT_EQ (FirmwareImage::check (good.getData(), good.getSize()), Problem::none);
    EXPECT_EQ (FirmwareImage::readVersion (good.getData(), good.getSize()), 0x000105u);

    const std::pair<std::function<void (juce::MemoryBlock&)>, Problem> damages[] = {
        { [] (juce::MemoryBlock& b) { b[0] = 'X'; }, Problem::wrongMagic },
        { [] (juce::MemoryBlock& b) { b[4] = (char) (b[4] + 1); }, Problem::wrongLength },
        { [] (juce::MemoryBlock& b) { b.setSize (b.getSize() - 1); }, Problem::wrongLength },
        { [] (juce::MemoryBlock& b) { b.append ("\xF0\xF7", 2); }, Problem::wrongLength },
        { [] (juce::MemoryBlock& b) { b[1000] = (char) (b[1000] ^ 1); }, Problem::wrongChecksum },
        { [] (juce::MemoryBlock& b) { b[12] = (char) (b[12] ^ 1); }, Problem::wrongChecksum },
        { [] (juce::MemoryBlock& b) { b.setSize (15); }, Problem::tooShort },
    };

    for (const auto& [damage, problem] : damages)
    {
        auto copy = good;
        damage (copy);
        EXPECT_EQ (FirmwareImage::check (copy.getData(), copy.getSize()), problem);
        EXPECT_EQ (FirmwareImage::readVersion (copy.getData(), copy.getSize()), 0u);
        EXPECT_TRUE (FirmwareImage::describe (problem).isNotEmpty());
    }
}
} // namespace
