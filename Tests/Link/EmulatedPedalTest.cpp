#include "Devices/Midi/MidiDevice.h"
#include "Devices/Midi/SysexMessage.h"
#include "Emulation/EmulatedPedal.h"

#include "Support/LinkSupport.h"

#include <gtest/gtest.h>
#include <atomic>
#include <chrono>
#include <thread>
#include <utility>

namespace
{
constexpr uint8_t pedalId = 0x15;
const juce::String pedalName ("QZR-1A2B");

struct Collector final : MidiDevice::Listener
{
    void incomingMidiMessage (MidiDevice*, const juce::MidiMessage& message) override { messages.push_back (bytesOf (message)); }
    std::vector<Bytes> messages;
};

// The plug-in's side is a real MidiDevice over the pedal's ports, found by name.
class EmulatedPedalTest : public ::testing::Test
{
protected:
    EmulatedPedalTest()
    {
        ports.install();
        audioTypes.install();
        pedal.plugIn();
        device = std::make_unique<MidiDevice> (findPort (MidiPorts::system().getInputs(), pedalName),
                                               findPort (MidiPorts::system().getOutputs(), pedalName));
        device->addListener (&collector);
    }

    // Everything the pedal sent so far, as the plug-in's listeners see it.
    std::vector<Bytes> drain()
    {
        EXPECT_TRUE (ports.flush());
        device->deliverWaitingMessages();
        return std::exchange (collector.messages, {});
    }

    juce::MidiMessage request (uint8_t command, uint8_t id = pedalId)
    {
        return Sysex::buildFrame (id, Sysex::SystemGroup, 0, command, nullptr, 0);
    }

    VirtualMidiPorts ports;
    VirtualAudioDeviceTypes audioTypes;
    EmulatedPedal pedal { ports, audioTypes, pedalName, pedalId };
    Collector collector;
    std::unique_ptr<MidiDevice> device;
};

TEST_F (EmulatedPedalTest, AnnouncesOnlyWhenThePlugInFirstOpensItsInput)
{
    EXPECT_TRUE (drain().empty());

    device->open();
    EXPECT_EQ (drain(), (std::vector<Bytes> { { 0xF0, 0x00, 0x5A, 0x3D, 0x00, 0x02, pedalId, 0x12, 0x0B, 0xF7 } }));

    device->close();
    device->open();
    EXPECT_TRUE (drain().empty());

    EXPECT_TRUE (pedal.announce());
    EXPECT_EQ (drain().size(), 1u);
}

TEST_F (EmulatedPedalTest, AnswersAModeRequestWithItsSlotAndFirmwareVersion)
{
    pedal.setSlot (5);
    pedal.setFirmwareVersion (0x020A0F);
    device->open();
    drain();

    device->sendMessageNow (request (Sysex::ModeAudio));
    const auto replies = drain();

    ASSERT_EQ (replies, (std::vector<Bytes> { { 0xF0, 0x00, 0x5A, 0x3D, 0x00, 0x02, pedalId, 0x15, 0x01,
                                                0x00, 0x02, 0x00, 0x0A, 0x00, 0x0F, 0xF7 } }));
    EXPECT_EQ (SysexMessage::parse (replies[0].data(), (int) replies[0].size()).getFirmwareVersion(), 0x020A0F);
    EXPECT_EQ (pedal.getMode(), modeAudio);
}

TEST_F (EmulatedPedalTest, AnswersARequestForDeviceIdZeroRightAfterAnAnnounce)
{
    device->open();
    drain();

    device->sendMessageNow (request (Sysex::ModeControl, 0));
    const auto replies = drain();

    ASSERT_EQ (replies.size(), 2u);
    const auto announce = SysexMessage::parse (replies[0].data(), (int) replies[0].size());
    EXPECT_EQ (announce.command, Sysex::Announce);
    EXPECT_EQ (announce.deviceId, pedalId);
    const auto reply = SysexMessage::parse (replies[1].data(), (int) replies[1].size());
    EXPECT_EQ (reply.command, Sysex::ModeControl);
    EXPECT_EQ (reply.deviceId, pedalId);
    EXPECT_EQ (pedal.getMode(), modeControl);
}

TEST_F (EmulatedPedalTest, HeartbeatAnswersKeepAlivesWithTheLedState)
{
    device->open();
    drain();
    pedal.setLedState (0x23);

    device->sendMessageNow (request (Sysex::KeepAlive));
    EXPECT_EQ (drain(), (std::vector<Bytes> { { 0xF0, 0x00, 0x5A, 0x3D, 0x00, 0x02, pedalId, 0x42, 0x01, 0x23, 0xF7 } }));

    pedal.setHeartbeat (false);
    device->sendMessageNow (request (Sysex::KeepAlive));
    EXPECT_TRUE (drain().empty());
    EXPECT_EQ (pedal.getKeepAliveCount(), 2);
}

TEST_F (EmulatedPedalTest, RecordsEveryMessageItReceivesInOrder)
{
    device->open();
    const juce::MidiMessage sent[] = { request (Sysex::ModePedalboard), request (Sysex::KeepAlive),
                                       juce::MidiMessage::noteOn (1, 60, (uint8_t) 100), request (Sysex::Release) };
    std::vector<Bytes> expected;

    for (auto& message : sent)
    {
        device->sendMessageNow (message);
        expected.push_back (bytesOf (message));
    }

    EXPECT_EQ (pedal.getReceivedMessages(), expected);
    EXPECT_EQ (pedal.countReceived (Sysex::SystemGroup, Sysex::KeepAlive), 1);
    EXPECT_TRUE (pedal.wasReleased());
    EXPECT_EQ (pedal.getMode(), modeNone);

    pedal.clearReceivedMessages();
    EXPECT_TRUE (pedal.getReceivedMessages().empty());
}

TEST_F (EmulatedPedalTest, WithdrawnPortsVanishAndOpenHandlesGoQuiet)
{
    device->open();
    drain();
    pedal.publishBootloader ("QZR MIDI Bootloader");
    auto audioType = AudioDeviceTypes::create();
    audioType->scanForDevices();
    EXPECT_TRUE (audioType->getDeviceNames().contains (pedalName));
    EXPECT_TRUE (findPort (MidiPorts::system().getInputs(), "QZR MIDI Bootloader").identifier.isNotEmpty());

    pedal.unplug();

    EXPECT_TRUE (findPort (MidiPorts::system().getInputs(), pedalName).identifier.isEmpty());
    EXPECT_TRUE (findPort (MidiPorts::system().getOutputs(), pedalName).identifier.isEmpty());
    audioType->scanForDevices();
    EXPECT_FALSE (audioType->getDeviceNames().contains (pedalName));

    device->sendMessageNow (request (Sysex::KeepAlive));
    EXPECT_FALSE (pedal.announce());
    EXPECT_TRUE (drain().empty());
    EXPECT_TRUE (pedal.getReceivedMessages().empty());

    device->open();
    EXPECT_FALSE (device->isInputOpen());
    EXPECT_FALSE (device->isOutputOpen());
}

TEST_F (EmulatedPedalTest, ABurstOverflowsThePlugInQueueButStaysInOrder)
{
    device->open();
    drain();

    EXPECT_EQ (pedal.sendBurst (5000), 5000);
    const auto delivered = drain();

    ASSERT_FALSE (delivered.empty());
    EXPECT_LE (delivered.size(), 4095u);

    int previous = -1;
    for (auto& frame : delivered)
    {
        ASSERT_EQ (frame.size(), 12u);
        const auto index = (frame[9] << 7) | frame[10];
        EXPECT_GT (index, previous);
        previous = index;
    }
}

TEST_F (EmulatedPedalTest, TheAudioDeviceCallsBackWithSilence)
{
    struct Counter final : juce::AudioIODeviceCallback
    {
        void audioDeviceIOCallbackWithContext (const float* const* inputs, int numInputs, float* const*, int, int numSamples,
                                               const juce::AudioIODeviceCallbackContext&) override
        {
            for (int channel = 0; channel < numInputs; ++channel)
                if (juce::FloatVectorOperations::findMinAndMax (inputs[channel], numSamples) != juce::Range<float>())
                    silent = false;
            ++blocks;
        }
        void audioDeviceAboutToStart (juce::AudioIODevice*) override { ++starts; }
        void audioDeviceStopped() override { ++stops; }
        std::atomic<int> blocks { 0 }, starts { 0 }, stops { 0 };
        std::atomic<bool> silent { true };
    } counter;

    auto audioType = AudioDeviceTypes::create();
    audioType->scanForDevices();
    std::unique_ptr<juce::AudioIODevice> audioDevice (audioType->createDevice (pedalName, pedalName));
    ASSERT_NE (audioDevice, nullptr);
    EXPECT_EQ (audioDevice->open (3, 3, 96000.0, 64), juce::String());

    audioDevice->start (&counter);
    for (int i = 0; i < 200 && counter.blocks < 3; ++i)
        std::this_thread::sleep_for (std::chrono::milliseconds (5));
    audioDevice->stop();

    EXPECT_GE (counter.blocks, 3);
    EXPECT_TRUE (counter.silent);
    EXPECT_EQ (counter.starts, 1);
    EXPECT_EQ (counter.stops, 1);
}
} // namespace
