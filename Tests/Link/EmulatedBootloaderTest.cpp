#include "Emulation/EmulatedBootloader.h"
#include "Support/LinkRig.h"
#include "Support/Waiting.h"

#include <gtest/gtest.h>
#include <functional>
#include <thread>

namespace
{
namespace SF = SyntheticFirmware;
using Messages = std::vector<Bytes>;
using State = EmulatedBootloader::State;

// A stream of three records, one message per entry.
Messages stream (const SF::Identity& identity = SF::pedalIdentity)
{
    const auto bytes = SF::buildPayload (0x000106, 3, identity);
    Messages messages;
    for (size_t start = 0, end = 0; end < bytes.size(); ++end)
    {
        if (bytes[end] == 0xF7)
        {
            messages.emplace_back (bytes.begin() + (long) start, bytes.begin() + (long) end + 1);
            start = end + 1;
        }
    }
    return messages;
}

// Sets the checksum right again after a change.
void reseal (Bytes& message)
{
    message[message.size() - 2] = 0;
    message[message.size() - 2] = SF::checksum (message.data() + 1, message.data() + message.size() - 1);
}

class EmulatedBootloaderTest : public ::testing::Test
{
protected:
    EmulatedBootloaderTest()
    {
        bootloader.setOnFlashed ([this] (uint32_t version) { flashedVersion = version; });
        bootloader.publish ("QZR MIDI Bootloader");
    }

    void send (const Messages& messages)
    {
        auto output = ports.openOutput (bootloader.getDestinationIdentifier());
        ASSERT_NE (output, nullptr);
        for (const auto& m : messages)
            output->sendMessageNow (juce::MidiMessage (m.data(), (int) m.size()));
    }

    VirtualMidiPorts ports;
    EmulatedBootloader bootloader { ports };
    uint32_t flashedVersion = 0;
};

TEST_F (EmulatedBootloaderTest, ACompleteStreamFlashesAndTheBootloaderGoes)
{
    send (stream());
    EXPECT_EQ (bootloader.getState(), State::flashed) << bootloader.getReason();
    EXPECT_EQ (bootloader.getFlashedVersion(), 0x000106u);
    EXPECT_EQ (flashedVersion, 0x000106u);
    EXPECT_FALSE (bootloader.isPublished());
    EXPECT_EQ (bootloader.getMessages(), stream());
    EXPECT_EQ (bootloader.getArrivalTimesMs().size(), 7u);
}

TEST_F (EmulatedBootloaderTest, TheFirstUnsoundMessageRejectsTheStreamAndItStaysABootloader)
{
    const std::tuple<const char*, std::function<void (Messages&)>, const char*> cases[] = {
        { "another product's identity", [] (Messages& m) { m = stream ({ 0x01, 0x22, 0x33 }); }, "message 1: not for this bootloader" },
        { "another manufacturer", [] (Messages& m) { m[0][2] = 0x11; reseal (m[0]); }, "message 1: another manufacturer" },
        { "a wrong checksum", [] (Messages& m) { m[2][10] ^= 1; }, "message 3: wrong checksum" },
        { "a status byte inside", [] (Messages& m) { m[2][10] = 0x90; }, "message 3: a status byte inside" },
        { "a byte too many", [] (Messages& m) { m[0].insert (m[0].end() - 1, 0x00); }, "message 1: wrong length 14" },
        { "the header first", [] (Messages& m) { std::swap (m[0], m[1]); }, "message 1: command 7d out of order" },
        { "a record left out", [] (Messages& m) { m.erase (m.begin() + 3); }, "message 4: record 2 instead of 1" },
        { "a firmware byte changed", [] (Messages& m) { m[3][12] ^= 1; reseal (m[3]); }, "message 6: block 0 does not add up" },
        { "the end before the block closed", [] (Messages& m) { m.erase (m.begin() + 5); }, "message 6: command 7f out of order" },
    };

    for (const auto& [what, spoil, reason] : cases)
    {
        SCOPED_TRACE (what);
        bootloader.publish ("QZR MIDI Bootloader");
        auto messages = stream();
        spoil (messages);
        ASSERT_NO_FATAL_FAILURE (send (messages));

        EXPECT_EQ (bootloader.getState(), State::rejected);
        EXPECT_EQ (bootloader.getReason(), reason);
        EXPECT_EQ (bootloader.getMessages().size(), messages.size()) << "every message is still recorded";
        EXPECT_TRUE (bootloader.isPublished());
        EXPECT_EQ (flashedVersion, 0u);
    }
}

TEST_F (EmulatedBootloaderTest, PowerLossTakesThePortsMidStream)
{
    bootloader.losePowerAfter (2);
    send (stream());
    EXPECT_EQ (bootloader.getState(), State::powerLost);
    EXPECT_EQ (bootloader.getMessages().size(), 2u);
    EXPECT_FALSE (bootloader.isPublished());
    EXPECT_EQ (flashedVersion, 0u);
}

// A held sender waits in the n-th message until it is let go, by holdAfter (0)
// or by a withdrawal, which would otherwise wait for it for ever.
TEST_F (EmulatedBootloaderTest, AHeldSenderWaitsInItsMessageUntilLetGo)
{
    const std::tuple<const char*, std::function<void()>, State, size_t> cases[] = {
        { "let go", [this] { bootloader.holdAfter (0); }, State::flashed, 7u },
        { "withdrawn", [this] { bootloader.withdraw(); }, State::receiving, 3u },
    };

    for (const auto& [what, letGo, ending, received] : cases)
    {
        SCOPED_TRACE (what);
        bootloader.publish ("QZR MIDI Bootloader");
        bootloader.holdAfter (3);
        std::thread sender ([this] { send (stream()); });

        // Let go before anything can fail, so the sender never outlives the test.
        const auto held = waitUntil ("the sender held", [this] { return bootloader.isHolding(); });
        const auto messagesWhileHeld = bootloader.getMessages().size();
        const auto stateWhileHeld = bootloader.getState();
        letGo();
        sender.join();

        ASSERT_TRUE (held);
        EXPECT_EQ (messagesWhileHeld, 3u);
        EXPECT_EQ (stateWhileHeld, State::receiving);

        EXPECT_FALSE (bootloader.isHolding());
        EXPECT_EQ (bootloader.getState(), ending) << bootloader.getReason();
        EXPECT_EQ (bootloader.getMessages().size(), received);
    }
}
} // namespace
