#include "Devices/Midi/SysexMessage.h"
#include "Devices/UsbDeviceDriver.h"
#include "Emulation/EmulatedPedal.h"

#include "Support/LinkSupport.h"

#include <gtest/gtest.h>
#include <atomic>
#include <string>
#include <thread>
#include <vector>

namespace
{
constexpr uint8_t pedalId = 0x15;
constexpr int pedalSlot = 5;
constexpr int pedalVersion = 0x010203;
const juce::String pedalName ("QZR-1A2B");

struct Recorder final : UsbDeviceDriver::Listener
{
    void deviceStatusChanged (UsbDeviceDriver* d) override
    {
        events.push_back ("status");
        statesSeen.push_back (d->getState());
        ++statusChanges;
    }

    void deviceConnected (UsbDeviceDriver*) override
    {
        events.push_back ("connected");
        ++connections;
    }

    void incomingMidiMessage (UsbDeviceDriver*, const juce::MidiMessage& message) override { incoming.push_back (bytesOf (message)); }

    void reset() { *this = Recorder(); }

    std::vector<std::string> events;
    std::vector<int> statesSeen;
    std::vector<Bytes> incoming;
    int statusChanges = 0;
    int connections = 0;
};

// A driver over the emulated pedal's ports, found by name. Its timers never fire
// by themselves here: the tests tick and drain by hand.
class UsbDeviceDriverTest : public ::testing::Test
{
protected:
    UsbDeviceDriverTest()
    {
        ports.install();
        audioTypes.install();
        pedal.setSlot (pedalSlot);
        pedal.setFirmwareVersion (pedalVersion);
        pedal.plugIn();

        const auto input = findPort (MidiPorts::system().getInputs(), pedalName);
        const auto output = findPort (MidiPorts::system().getOutputs(), pedalName);
        EXPECT_TRUE (input.identifier.isNotEmpty());
        EXPECT_TRUE (output.identifier.isNotEmpty());

        driver = std::make_unique<UsbDeviceDriver> (pedalName, input, output);
        driver->addListener (&recorder);
    }

    ~UsbDeviceDriverTest() override
    {
        driver.reset();
        pedal.unplug();
    }

    // Everything the pedal has sent so far reaches the driver, as the 50 ms drain does.
    void drain()
    {
        EXPECT_TRUE (ports.flush());
        driver->getMidiDevice().deliverWaitingMessages();
    }

    // One keep-alive tick, then what the pedal answered.
    void tick (int count = 1)
    {
        for (int i = 0; i < count; ++i)
        {
            driver->timerCallback (UsbDeviceDriver::keepAliveTimerId);
            drain();
        }
    }

    void connectAndSettle (int mode)
    {
        driver->connect (mode);
        drain();
        ASSERT_EQ (driver->getDeviceId(), pedalId);
        ASSERT_EQ (driver->getState(), mode);
        pedal.clearReceivedMessages();
        recorder.reset();
    }

    // The frame the driver sends first, asking for a mode before it knows the id.
    static Bytes modeRequest (uint8_t command) { return { 0xF0, 0x00, 0x5A, 0x3D, 0x00, 0x02, 0x00, 0x11, command, 0xF7 }; }

    // A system frame addressed to the adopted id and slot.
    static Bytes systemFrame (uint8_t command)
    {
        return { 0xF0, 0x00, 0x5A, 0x3D, 0x00, 0x02, pedalId, (uint8_t) (0x10 | (pedalSlot + 1)), command, 0xF7 };
    }

    void expectIgnored()
    {
        EXPECT_TRUE (recorder.incoming.empty());
        EXPECT_EQ (recorder.statusChanges, 0);
        EXPECT_EQ (recorder.connections, 0);
        EXPECT_EQ (driver->getState(), modeAudio);
        EXPECT_EQ (driver->getDeviceId(), pedalId);
    }

    int keepAlivesSent() const { return pedal.countReceived (Sysex::SystemGroup, Sysex::KeepAlive); }

    VirtualMidiPorts ports;
    VirtualAudioDeviceTypes audioTypes;
    EmulatedPedal pedal { ports, audioTypes, pedalName, pedalId };
    Recorder recorder;
    std::unique_ptr<UsbDeviceDriver> driver;
};

//==============================================================================
TEST_F (UsbDeviceDriverTest, EachModeIsRequestedForIdZeroAdoptsTheAnnouncedPedalAndIsReleasedOnDisconnect)
{
    const struct { int mode; uint8_t command; } cases[] = {
        { modeAudio, 0x01 }, { modeControl, 0x02 }, { modePedalboard, 0x03 }
    };

    // Each after the previous one's disconnect, which releases the pedal, closes and forgets.
    for (const auto& c : cases)
    {
        SCOPED_TRACE (c.mode);
        driver->getSettings().extraLatency.setValue (25, nullptr);
        driver->connect (c.mode);

        EXPECT_EQ (pedal.getReceivedMessages(), std::vector<Bytes> { modeRequest (c.command) });
        EXPECT_TRUE (driver->getMidiDevice().isInputOpen());
        EXPECT_TRUE (driver->getMidiDevice().isOutputOpen());
        EXPECT_EQ (driver->getDeviceId(), 0);
        drain();

        EXPECT_EQ (driver->getDeviceId(), pedalId);
        EXPECT_EQ (driver->getState(), c.mode);
        EXPECT_EQ (driver->getSlot(), pedalSlot);
        EXPECT_EQ (driver->getFirmwareVersion(), pedalVersion);
        EXPECT_EQ (pedal.getMode(), c.mode);
        EXPECT_EQ (recorder.connections, 1);
        EXPECT_EQ (recorder.statusChanges, 1);
        EXPECT_EQ (recorder.events, (std::vector<std::string> { "connected", "status" }));
        EXPECT_EQ (recorder.statesSeen, std::vector<int> { c.mode });
        if (c.mode == modePedalboard)
        {
            EXPECT_EQ (driver->getSettings().extraLatency.get(), 0); // pedalboard use adds no latency
        }

        pedal.clearReceivedMessages();
        driver->disconnect();
        EXPECT_EQ (pedal.getReceivedMessages(), std::vector<Bytes> { systemFrame (0x05) });
        EXPECT_TRUE (pedal.wasReleased());
        EXPECT_FALSE (driver->getMidiDevice().isInputOpen());
        EXPECT_FALSE (driver->getMidiDevice().isOutputOpen());
        EXPECT_EQ (ports.getNumStartedInputs (pedal.getSourceIdentifier()), 0);
        EXPECT_EQ (driver->getDeviceId(), 0);
        EXPECT_EQ (driver->getState(), modeNone);
        EXPECT_EQ (driver->getWatchdogCountdown(), 0);
        tick (12);
        EXPECT_EQ (pedal.getReceivedMessages().size(), 1u);

        pedal.clearReceivedMessages();
        recorder.reset();
    }
}

TEST_F (UsbDeviceDriverTest, ModesOutsideOneToThreeOnlyClearTheStateAndSendNothing)
{
    for (int mode : { (int) modeNone, 4 })
    {
        SCOPED_TRACE (mode);
        driver->connect (mode);
        drain();

        EXPECT_EQ (driver->getState(), modeNone);
        EXPECT_TRUE (pedal.getReceivedMessages().empty());
        EXPECT_FALSE (driver->getMidiDevice().isInputOpen());
        EXPECT_FALSE (driver->getMidiDevice().isOutputOpen());
    }

    tick (12);
    EXPECT_TRUE (pedal.getReceivedMessages().empty());

    // Nor while connected.
    connectAndSettle (modeAudio);
    driver->connect (4);
    EXPECT_EQ (driver->getState(), modeNone);
    driver->connect (modeNone);
    EXPECT_EQ (driver->getState(), modeNone);
    EXPECT_TRUE (pedal.getReceivedMessages().empty());
}

TEST_F (UsbDeviceDriverTest, AShortModeReplyKeepsThePreviousVersionOrLeavesNone)
{
    pedal.setModeReply (EmulatedPedal::ModeReply::truncated);
    pedal.setTruncatedReplyLength (0);
    driver->connect (modeAudio);
    drain();
    EXPECT_EQ (driver->getState(), modeAudio);
    EXPECT_EQ (driver->getSlot(), pedalSlot);
    EXPECT_EQ (driver->getFirmwareVersion(), 0);

    pedal.setModeReply (EmulatedPedal::ModeReply::normal);
    connectAndSettle (modeAudio);
    ASSERT_EQ (driver->getFirmwareVersion(), pedalVersion);

    pedal.setFirmwareVersion (0x040506);
    pedal.setModeReply (EmulatedPedal::ModeReply::truncated);
    pedal.setTruncatedReplyLength (5);
    driver->connect (modeControl);
    drain();
    EXPECT_EQ (driver->getState(), modeControl);
    EXPECT_EQ (driver->getSlot(), pedalSlot);
    EXPECT_EQ (driver->getFirmwareVersion(), pedalVersion);
    EXPECT_EQ (recorder.connections, 1);
}

//==============================================================================
TEST_F (UsbDeviceDriverTest, AWrongReplyIsTakenAsThePedalsMode)
{
    pedal.setModeReply (EmulatedPedal::ModeReply::wrong);

    driver->connect (modeAudio);
    drain();
    EXPECT_EQ (driver->getState(), modeControl);
    EXPECT_EQ (pedal.getMode(), modeControl);

    driver->connect (modePedalboard);
    drain();
    EXPECT_EQ (driver->getState(), modeAudio);
    EXPECT_EQ (pedal.getMode(), modeAudio);
}

TEST_F (UsbDeviceDriverTest, ASecondAnnounceWithAnotherIdIsIgnored)
{
    connectAndSettle (modeAudio);

    pedal.setFrameDeviceId (0x33);
    ASSERT_TRUE (pedal.announce());
    drain();

    EXPECT_EQ (driver->getDeviceId(), pedalId);
    EXPECT_EQ (driver->getState(), modeAudio);
    EXPECT_TRUE (recorder.incoming.empty());

    tick();
    const auto received = pedal.getReceivedMessages();
    ASSERT_EQ (received.size(), 1u);
    EXPECT_EQ (SysexMessage::parse (received[0].data(), (int) received[0].size()).deviceId, pedalId);
}

//==============================================================================
TEST_F (UsbDeviceDriverTest, OneKeepAlivePerTickWhileConnectedAndTheHeartbeatKeepsTheWatchdogFed)
{
    connectAndSettle (modeAudio);

    tick();
    EXPECT_EQ (pedal.getReceivedMessages(), std::vector<Bytes> { systemFrame (0x0C) });

    for (int i = 1; i < 30; ++i)
    {
        tick();
        ASSERT_EQ (driver->getState(), modeAudio) << "tick " << i;
    }

    EXPECT_EQ (recorder.statusChanges, 0);
    EXPECT_EQ (keepAlivesSent(), 30);
    EXPECT_EQ (recorder.incoming.size(), 30u); // the LED answers reach the listeners
}

TEST_F (UsbDeviceDriverTest, NoKeepAliveAndNoFramesBeforeTheAnnounce)
{
    pedal.setAnnounceEnabled (false);
    driver->connect (modeAudio);
    drain();

    // The mode reply came with the pedal's id, which the driver does not know yet.
    EXPECT_EQ (driver->getDeviceId(), 0);
    EXPECT_TRUE (recorder.incoming.empty());
    EXPECT_EQ (recorder.connections, 0);
    EXPECT_EQ (recorder.statusChanges, 0);
    EXPECT_EQ (driver->getSlot(), 0);
    EXPECT_EQ (driver->getFirmwareVersion(), 0);

    ASSERT_TRUE (pedal.sendLedState (0x11));
    tick (5);
    EXPECT_EQ (keepAlivesSent(), 0);
    EXPECT_TRUE (recorder.incoming.empty());

    ASSERT_TRUE (pedal.announce());
    drain();
    EXPECT_EQ (driver->getDeviceId(), pedalId);
    EXPECT_TRUE (recorder.incoming.empty()); // the adopting Announce is not passed on

    tick();
    EXPECT_EQ (keepAlivesSent(), 1);
}

TEST_F (UsbDeviceDriverTest, ModeOffStopsKeepAlivesButKeepsTheIdAndTheWatchdog)
{
    connectAndSettle (modeAudio);
    tick (2);
    ASSERT_EQ (keepAlivesSent(), 2);

    ASSERT_TRUE (pedal.sendModeOff());
    drain();

    EXPECT_EQ (driver->getState(), modeNone);
    EXPECT_EQ (driver->getDeviceId(), pedalId);
    EXPECT_EQ (recorder.statusChanges, 1);
    EXPECT_EQ (driver->getWatchdogCountdown(), UsbDeviceDriver::watchdogReload);

    tick (3);
    EXPECT_EQ (keepAlivesSent(), 2);
    EXPECT_EQ (driver->getWatchdogCountdown(), UsbDeviceDriver::watchdogReload - 3);
    EXPECT_EQ (driver->getDeviceId(), pedalId);
    EXPECT_TRUE (driver->getMidiDevice().isInputOpen());
}

//==============================================================================
TEST_F (UsbDeviceDriverTest, APedalThatNeverAnnouncesIsDroppedOnTheTenthTick)
{
    pedal.setAnnounceEnabled (false);
    driver->connect (modeAudio);
    drain();

    for (int i = 1; i < UsbDeviceDriver::watchdogReload; ++i)
    {
        tick();
        ASSERT_EQ (driver->getState(), modeAudio) << "tick " << i;
        ASSERT_EQ (recorder.statusChanges, 0) << "tick " << i;
    }

    tick();
    EXPECT_EQ (driver->getState(), modeNone);
    EXPECT_EQ (recorder.statusChanges, 1);
    EXPECT_EQ (recorder.statesSeen, std::vector<int> { modeNone });

    tick (20);
    EXPECT_EQ (recorder.statusChanges, 1);
    EXPECT_EQ (keepAlivesSent(), 0);
}

TEST_F (UsbDeviceDriverTest, AnyFrameReloadsTheWatchdogAndTenSilentTicksDropAnAnnouncedPedal)
{
    connectAndSettle (modeAudio);
    pedal.setHeartbeat (false);

    tick (UsbDeviceDriver::watchdogReload - 1);
    ASSERT_TRUE (pedal.sendCalibrate());
    drain();
    EXPECT_EQ (driver->getWatchdogCountdown(), UsbDeviceDriver::watchdogReload);

    tick (UsbDeviceDriver::watchdogReload - 1);
    EXPECT_EQ (driver->getState(), modeAudio);
    EXPECT_EQ (recorder.statusChanges, 0);

    tick();
    EXPECT_EQ (driver->getState(), modeNone);
    EXPECT_EQ (recorder.statusChanges, 1);
    EXPECT_EQ (keepAlivesSent(), 2 * UsbDeviceDriver::watchdogReload - 1);

    tick (5);
    EXPECT_EQ (keepAlivesSent(), 2 * UsbDeviceDriver::watchdogReload - 1);
    EXPECT_EQ (recorder.statusChanges, 1);
}

//==============================================================================
TEST_F (UsbDeviceDriverTest, OnlyMidiAndWellFormedFramesFromThePedalsIdReachTheListeners)
{
    connectAndSettle (modeAudio);

    ASSERT_TRUE (pedal.sendNoteOn (1, 60, 100));
    ASSERT_TRUE (pedal.sendFrame (Sysex::ControlGroup, Sysex::ControlChange, { 7, 100 }));
    drain();
    EXPECT_EQ (recorder.incoming, (std::vector<Bytes> { bytesOf (juce::MidiMessage::noteOn (1, 60, (uint8_t) 100)),
                                                        bytesOf (pedal.buildFrame (Sysex::ControlGroup, Sysex::ControlChange, { 7, 100 })) }));
    recorder.reset();
    expectIgnored();

    for (int id : { 0x33, 0 })
    {
        SCOPED_TRACE (id);
        pedal.setFrameDeviceId (id);
        ASSERT_TRUE (pedal.sendFrame (Sysex::ControlGroup, Sysex::ControlChange, { 7, 100 }));
        ASSERT_TRUE (pedal.sendModeOff());
        ASSERT_TRUE (pedal.sendFrame (Sysex::SystemGroup, Sysex::ModePedalboard, pedal.versionPayload()));
        drain();
        expectIgnored();
    }

    pedal.setFrameDeviceId (pedalId);
    ASSERT_TRUE (pedal.sendRaw ({ 0xF0, 0x00, 0x5A, 0x3D, 0x00, 0x02, pedalId, 0x12, 0xF7 }));
    pedal.setHeader ({ 0x00, 0x5A, 0x3D, 0x00, 0x01 });
    ASSERT_TRUE (pedal.sendModeOff());
    ASSERT_TRUE (pedal.sendFrame (Sysex::ControlGroup, Sysex::ControlChange, { 7, 100 }));
    drain();
    expectIgnored();
}

//==============================================================================
TEST_F (UsbDeviceDriverTest, ABurstNeverBlocksAndIsCutAtTheQueue)
{
    connectAndSettle (modeAudio);

    EXPECT_EQ (pedal.sendBurst (5000), 5000);
    drain();

    ASSERT_FALSE (recorder.incoming.empty());
    EXPECT_LE ((int) recorder.incoming.size(), MidiQueue::capacity - 1);

    int previous = -1;
    for (auto& frame : recorder.incoming)
    {
        ASSERT_EQ (frame.size(), 12u);
        const auto index = (frame[9] << 7) | frame[10];
        ASSERT_GT (index, previous);
        previous = index;
    }

    EXPECT_EQ (driver->getState(), modeAudio);
    tick();
    EXPECT_EQ (keepAlivesSent(), 1);
}

TEST_F (UsbDeviceDriverTest, TheStateIsReadableFromAnotherThread)
{
    std::atomic<bool> done { false };
    std::atomic<int> reads { 0 }, outOfRange { 0 };

    std::thread reader ([&] {
        while (! done.load())
        {
            const auto state = driver->getState();
            if (state < modeNone || state > modePedalboard)
                ++outOfRange;
            ++reads;
        }
    });

    for (int round = 0; round < 20; ++round)
    {
        driver->connect (modeControl + round % 3);
        drain();
        pedal.sendModeOff();
        drain();
        driver->disconnect();
    }

    while (reads.load() == 0)
        std::this_thread::yield();

    done = true;
    reader.join();

    EXPECT_GT (reads.load(), 0);
    EXPECT_EQ (outOfRange.load(), 0);
    EXPECT_EQ (driver->getState(), modeNone);
}
} // namespace
