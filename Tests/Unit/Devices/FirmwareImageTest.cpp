#include "Devices/FirmwareImage.h"
#include "Updates/FirmwareUpdateController.h"
#include "Updates/VersionNumber.h"

#include <gtest/gtest.h>
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

    // Runs of equal messages as "command/length" and their count.
    std::vector<std::pair<std::string, int>> runs;
    const juce::MemoryBlock frame ((*buffer.begin()).data + 1, 6);

    for (const auto event : buffer)
    {
        ASSERT_GE (event.numBytes, 9);
        EXPECT_EQ (juce::MemoryBlock (event.data + 1, 6), frame) << "the manufacturer and the same three bytes in every message";

        const auto run = juce::String::toHexString ((int) event.data[7]).toStdString() + "/" + std::to_string (event.numBytes);
        if (runs.empty() || runs.back().first != run)
            runs.push_back ({ run, 0 });
        ++runs.back().second;
    }

    EXPECT_EQ (juce::MemoryBlock (frame.getData(), 3), juce::MemoryBlock ("\x00\x5A\x3D", 3));
    const std::vector<std::pair<std::string, int>> expected {
        { "7a/13", 1 }, { "7d/24", 1 }, { "7e/47", 256 }, { "7c/15", 1 }, { "7e/47", 256 }, { "7c/15", 1 },
        { "7e/47", 256 }, { "7c/15", 1 }, { "7e/47", 210 }, { "7c/15", 1 }, { "7f/10", 1 }
    };
    EXPECT_EQ (runs, expected);
}

TEST (FirmwareImage, ADamagedImageIsRefusedWithWhatIsWrong)
{
    const auto payload = FirmwareImage::getPayload();
    juce::MemoryOutputStream image;
    image.write ("QZRI", 4);
    image.writeInt ((int) payload.getSize());
    image.writeInt (0x000105);
    image.writeInt ((int) crc32 (0, static_cast<const Bytef*> (payload.getData()), (uInt) payload.getSize()));
    image << payload;
    const auto good = image.getMemoryBlock();

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
