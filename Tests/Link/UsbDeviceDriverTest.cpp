#include "Devices/SysexMessage.h"
#include "Devices/UsbDeviceDriver.h"
#include "EmulatedPedal.h"

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

    int keepAlivesSent() const { return pedal.countReceived (Sysex::SystemGroup, Sysex::KeepAlive); }

    VirtualMidiPorts ports;
    VirtualAudioDeviceTypes audioTypes;
    EmulatedPedal pedal { ports, audioTypes, pedalName, pedalId };
    Recorder recorder;
    std::unique_ptr<UsbDeviceDriver> driver;
};

using UsbDeviceDriverHandshakeTest = UsbDeviceDriverTest;
using UsbDeviceDriverKeepAliveTest = UsbDeviceDriverTest;
using UsbDeviceDriverWatchdogTest = UsbDeviceDriverTest;
using UsbDeviceDriverReleaseTest = UsbDeviceDriverTest;
using UsbDeviceDriverFilterTest = UsbDeviceDriverTest;
using UsbDeviceDriverStressTest = UsbDeviceDriverTest;

//==============================================================================
TEST_F (UsbDeviceDriverHandshakeTest, TheFirstFrameIsTheModeRequestForIdZero)
{
    driver->connect (modeAudio);

    const auto received = pedal.getReceivedMessages();
    ASSERT_FALSE (received.empty());
    EXPECT_EQ (received[0], (Bytes { 0xF0, 0x00, 0x5A, 0x3D, 0x00, 0x02, 0x00, 0x11, 0x01, 0xF7 }));
    EXPECT_EQ (received.size(), 1u);
    EXPECT_TRUE (driver->getMidiDevice().isInputOpen());
    EXPECT_TRUE (driver->getMidiDevice().isOutputOpen());
}

TEST_F (UsbDeviceDriverHandshakeTest, AudioModeAdoptsTheAnnouncedIdSlotAndVersion)
{
    driver->connect (modeAudio);
    EXPECT_EQ (driver->getDeviceId(), 0);
    drain();

    EXPECT_EQ (driver->getDeviceId(), pedalId);
    EXPECT_EQ (driver->getState(), modeAudio);
    EXPECT_EQ (driver->getSlot(), pedalSlot);
    EXPECT_EQ (driver->getFirmwareVersion(), pedalVersion);
    EXPECT_EQ (pedal.getMode(), modeAudio);

    EXPECT_EQ (recorder.connections, 1);
    EXPECT_EQ (recorder.statusChanges, 1);
    EXPECT_EQ (recorder.events, (std::vector<std::string> { "connected", "status" }));
    EXPECT_EQ (recorder.statesSeen, std::vector<int> { modeAudio });
}

TEST_F (UsbDeviceDriverHandshakeTest, ControlModeReply)
{
    driver->connect (modeControl);
    EXPECT_EQ (pedal.getReceivedMessages().at (0), (Bytes { 0xF0, 0x00, 0x5A, 0x3D, 0x00, 0x02, 0x00, 0x11, 0x02, 0xF7 }));
    drain();

    EXPECT_EQ (driver->getState(), modeControl);
    EXPECT_EQ (recorder.connections, 1);
    EXPECT_EQ (recorder.statusChanges, 1);
}

TEST_F (UsbDeviceDriverHandshakeTest, PedalboardModeReplyClearsTheExtraLatency)
{
    driver->getSettings().extraLatency.setValue (25, nullptr);
    ASSERT_EQ (driver->getSettings().extraLatency.get(), 25);

    driver->connect (modePedalboard);
    EXPECT_EQ (pedal.getReceivedMessages().at (0), (Bytes { 0xF0, 0x00, 0x5A, 0x3D, 0x00, 0x02, 0x00, 0x11, 0x03, 0xF7 }));
    drain();

    EXPECT_EQ (driver->getState(), modePedalboard);
    EXPECT_EQ (driver->getSettings().extraLatency.get(), 0);
    EXPECT_EQ (recorder.connections, 1);
    EXPECT_EQ (recorder.statusChanges, 1);
}

TEST_F (UsbDeviceDriverHandshakeTest, ModesOutsideOneToThreeOnlyClearTheState)
{
    for (int mode : { (int) modeNone, 4 })
    {
        driver->connect (mode);
        drain();

        EXPECT_EQ (driver->getState(), modeNone) << mode;
        EXPECT_TRUE (pedal.getReceivedMessages().empty()) << mode;
        EXPECT_FALSE (driver->getMidiDevice().isInputOpen()) << mode;
        EXPECT_FALSE (driver->getMidiDevice().isOutputOpen()) << mode;
    }

    tick (12);
    EXPECT_TRUE (pedal.getReceivedMessages().empty());
}

TEST_F (UsbDeviceDriverHandshakeTest, ModesOutsideOneToThreeSendNothingWhenConnected)
{
    connectAndSettle (modeAudio);

    driver->connect (4);
    EXPECT_EQ (driver->getState(), modeNone);
    driver->connect (modeNone);
    EXPECT_EQ (driver->getState(), modeNone);

    EXPECT_TRUE (pedal.getReceivedMessages().empty());
}

TEST_F (UsbDeviceDriverHandshakeTest, AShortModeReplyKeepsThePreviousVersion)
{
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

TEST_F (UsbDeviceDriverHandshakeTest, AShortFirstReplyLeavesNoVersion)
{
    pedal.setModeReply (EmulatedPedal::ModeReply::truncated);
    pedal.setTruncatedReplyLength (0);
    driver->connect (modeAudio);
    drain();

    EXPECT_EQ (driver->getState(), modeAudio);
    EXPECT_EQ (driver->getSlot(), pedalSlot);
    EXPECT_EQ (driver->getFirmwareVersion(), 0);
}

TEST_F (UsbDeviceDriverHandshakeTest, AWrongReplyIsTakenAsThePedalsMode)
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

TEST_F (UsbDeviceDriverHandshakeTest, ASecondAnnounceWithAnotherIdIsIgnored)
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
TEST_F (UsbDeviceDriverKeepAliveTest, OneKeepAlivePerTickWhileConnected)
{
    connectAndSettle (modeAudio);

    tick();
    EXPECT_EQ (pedal.getReceivedMessages(),
               (std::vector<Bytes> { { 0xF0, 0x00, 0x5A, 0x3D, 0x00, 0x02, pedalId, 0x10 | (pedalSlot + 1), 0x0C, 0xF7 } }));

    tick (4);
    EXPECT_EQ (keepAlivesSent(), 5);
    EXPECT_EQ (pedal.getKeepAliveCount(), 5);
}

TEST_F (UsbDeviceDriverKeepAliveTest, NoKeepAliveAndNoFramesBeforeTheAnnounce)
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

TEST_F (UsbDeviceDriverKeepAliveTest, ModeOffStopsKeepAlivesButKeepsTheIdAndTheWatchdog)
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
TEST_F (UsbDeviceDriverWatchdogTest, APedalThatNeverAnnouncesIsDroppedOnTheTenthTick)
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

TEST_F (UsbDeviceDriverWatchdogTest, TheHeartbeatKeepsTheWatchdogFed)
{
    connectAndSettle (modeAudio);

    for (int i = 0; i < 30; ++i)
    {
        tick();
        ASSERT_EQ (driver->getState(), modeAudio) << "tick " << i;
    }

    EXPECT_EQ (recorder.statusChanges, 0);
    EXPECT_EQ (keepAlivesSent(), 30);
    EXPECT_EQ (recorder.incoming.size(), 30u); // the LED answers reach the listeners
}

TEST_F (UsbDeviceDriverWatchdogTest, TenSilentTicksDropAnAnnouncedPedal)
{
    connectAndSettle (modeAudio);
    pedal.setHeartbeat (false);

    tick (UsbDeviceDriver::watchdogReload - 1);
    EXPECT_EQ (driver->getState(), modeAudio);
    EXPECT_EQ (recorder.statusChanges, 0);

    tick();
    EXPECT_EQ (driver->getState(), modeNone);
    EXPECT_EQ (recorder.statusChanges, 1);
    EXPECT_EQ (keepAlivesSent(), UsbDeviceDriver::watchdogReload);

    tick (5);
    EXPECT_EQ (keepAlivesSent(), UsbDeviceDriver::watchdogReload);
    EXPECT_EQ (recorder.statusChanges, 1);
}

TEST_F (UsbDeviceDriverWatchdogTest, AnyFrameFromThePedalReloadsTheWatchdog)
{
    connectAndSettle (modeAudio);
    pedal.setHeartbeat (false);

    tick (UsbDeviceDriver::watchdogReload - 1);
    ASSERT_TRUE (pedal.sendCalibrate());
    drain();
    EXPECT_EQ (driver->getWatchdogCountdown(), UsbDeviceDriver::watchdogReload);

    tick (UsbDeviceDriver::watchdogReload - 1);
    EXPECT_EQ (driver->getState(), modeAudio);
}

//==============================================================================
TEST_F (UsbDeviceDriverReleaseTest, DisconnectReleasesClosesAndForgets)
{
    connectAndSettle (modeAudio);

    driver->disconnect();

    EXPECT_EQ (pedal.getReceivedMessages(),
               (std::vector<Bytes> { { 0xF0, 0x00, 0x5A, 0x3D, 0x00, 0x02, pedalId, 0x10 | (pedalSlot + 1), 0x05, 0xF7 } }));
    EXPECT_EQ (pedal.countReceived (Sysex::SystemGroup, Sysex::Release), 1);
    EXPECT_TRUE (pedal.wasReleased());
    EXPECT_FALSE (driver->getMidiDevice().isInputOpen());
    EXPECT_FALSE (driver->getMidiDevice().isOutputOpen());
    EXPECT_EQ (ports.getNumStartedInputs (pedal.getSourceIdentifier()), 0);
    EXPECT_EQ (driver->getDeviceId(), 0);
    EXPECT_EQ (driver->getState(), modeNone);
    EXPECT_EQ (driver->getWatchdogCountdown(), 0);

    tick (12);
    EXPECT_EQ (pedal.getReceivedMessages().size(), 1u);
}

TEST_F (UsbDeviceDriverReleaseTest, ReconnectsAfterADisconnect)
{
    connectAndSettle (modeAudio);
    driver->disconnect();
    pedal.clearReceivedMessages();

    driver->connect (modeControl);
    EXPECT_EQ (pedal.getReceivedMessages().at (0), (Bytes { 0xF0, 0x00, 0x5A, 0x3D, 0x00, 0x02, 0x00, 0x11, 0x02, 0xF7 }));
    drain();

    EXPECT_EQ (driver->getDeviceId(), pedalId);
    EXPECT_EQ (driver->getState(), modeControl);
}

//==============================================================================
TEST_F (UsbDeviceDriverFilterTest, ANoteOnOnlyReachesTheListeners)
{
    connectAndSettle (modeAudio);

    ASSERT_TRUE (pedal.sendNoteOn (1, 60, 100));
    drain();

    EXPECT_EQ (recorder.incoming, std::vector<Bytes> { bytesOf (juce::MidiMessage::noteOn (1, 60, (uint8_t) 100)) });
    EXPECT_EQ (recorder.statusChanges, 0);
    EXPECT_EQ (recorder.connections, 0);
    EXPECT_EQ (driver->getState(), modeAudio);
}

TEST_F (UsbDeviceDriverFilterTest, FramesFromTheRightIdReachTheListeners)
{
    connectAndSettle (modeAudio);

    ASSERT_TRUE (pedal.sendFrame (Sysex::ControlGroup, Sysex::ControlChange, { 7, 100 }));
    drain();

    EXPECT_EQ (recorder.incoming, std::vector<Bytes> { bytesOf (pedal.buildFrame (Sysex::ControlGroup, Sysex::ControlChange, { 7, 100 })) });
}

TEST_F (UsbDeviceDriverFilterTest, FramesWithAForeignIdOrIdZeroAreDropped)
{
    connectAndSettle (modeAudio);

    for (int id : { 0x33, 0 })
    {
        pedal.setFrameDeviceId (id);
        ASSERT_TRUE (pedal.sendFrame (Sysex::ControlGroup, Sysex::ControlChange, { 7, 100 }));
        ASSERT_TRUE (pedal.sendModeOff());
        ASSERT_TRUE (pedal.sendFrame (Sysex::SystemGroup, Sysex::ModePedalboard, pedal.versionPayload()));
        drain();

        EXPECT_TRUE (recorder.incoming.empty()) << id;
        EXPECT_EQ (recorder.statusChanges, 0) << id;
        EXPECT_EQ (recorder.connections, 0) << id;
        EXPECT_EQ (driver->getState(), modeAudio) << id;
        EXPECT_EQ (driver->getDeviceId(), pedalId) << id;
    }
}

TEST_F (UsbDeviceDriverFilterTest, AWrongHeaderIsDropped)
{
    connectAndSettle (modeAudio);

    pedal.setHeader ({ 0x00, 0x5A, 0x3D, 0x00, 0x01 });
    ASSERT_TRUE (pedal.sendModeOff());
    ASSERT_TRUE (pedal.sendFrame (Sysex::ControlGroup, Sysex::ControlChange, { 7, 100 }));
    drain();

    EXPECT_TRUE (recorder.incoming.empty());
    EXPECT_EQ (recorder.statusChanges, 0);
    EXPECT_EQ (driver->getState(), modeAudio);
}

TEST_F (UsbDeviceDriverFilterTest, ShortSysexIsDropped)
{
    connectAndSettle (modeAudio);

    ASSERT_TRUE (pedal.sendRaw ({ 0xF0, 0x00, 0x5A, 0x3D, 0x00, 0x02, pedalId, 0x12, 0xF7 }));
    drain();

    EXPECT_TRUE (recorder.incoming.empty());
    EXPECT_EQ (driver->getState(), modeAudio);
}

//==============================================================================
TEST_F (UsbDeviceDriverStressTest, ABurstNeverBlocksAndIsCutAtTheQueue)
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

TEST_F (UsbDeviceDriverStressTest, TheStateIsReadableFromAnotherThread)
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
