#include "Support/LinkRig.h"

#include <gtest/gtest.h>

// The found pedal's driver against the emulated pedal. Its timers never fire by
// themselves here: the tests tick and drain by hand.
namespace
{
constexpr uint8_t pedalId = LinkRig::pedalId;

class UsbDeviceDriverTest : public ::testing::Test
{
protected:
    UsbDeviceDriverTest() { driver.addListener (&log); }
    ~UsbDeviceDriverTest() override { driver.removeListener (&log); }

    void connectAndSettle (Mode mode)
    {
        driver.connect (mode);
        rig.drain();
        ASSERT_EQ (driver.getDeviceId(), pedalId);
        ASSERT_EQ (driver.getState(), mode);
        rig.pedal.clearReceivedMessages();
        log.clear();
    }

    int keepAlivesSent() const { return rig.pedal.countReceived (Sysex::SystemGroup, Sysex::KeepAlive); }

    LinkRig rig;
    UsbDeviceDriver& driver = rig.driver();
    CallLog log;
};

TEST_F (UsbDeviceDriverTest, EachModeIsRequestedForIdZeroAdoptsTheAnnouncedPedalAndIsReleasedOnDisconnect)
{
    const struct { Mode mode; uint8_t command; } cases[] = { { Mode::audio, 0x01 }, { Mode::control, 0x02 }, { Mode::pedalboard, 0x03 } };

    // Each after the previous one's disconnect, which releases the pedal, closes and forgets.
    for (const auto& c : cases)
    {
        SCOPED_TRACE (toInt (c.mode));
        driver.getSettings().extraLatency.setValue (25, nullptr);
        driver.connect (c.mode);

        EXPECT_EQ (rig.pedal.getReceivedMessages(), (std::vector<Bytes> { { 0xF0, 0x00, 0x5A, 0x3D, 0x00, 0x02, 0x00, 0x11, c.command, 0xF7 } }));
        EXPECT_TRUE (driver.getMidiDevice().isInputOpen() && driver.getMidiDevice().isOutputOpen());
        rig.drain();

        EXPECT_EQ (driver.getDeviceId(), pedalId);
        EXPECT_EQ (driver.getState(), c.mode);
        EXPECT_EQ (driver.getSlot(), LinkRig::pedalSlot);
        EXPECT_EQ (driver.getFirmwareVersion(), LinkRig::pedalVersion);
        EXPECT_EQ (rig.pedal.getMode(), c.mode);
        EXPECT_EQ (log.events(), (CallLog::Lines { "connected", "status " + std::to_string (toInt (c.mode)) }));
        EXPECT_EQ (driver.getSettings().extraLatency.get(), c.mode == Mode::pedalboard ? 0 : 25); // pedalboard use adds none

        rig.pedal.clearReceivedMessages();
        driver.disconnect();
        EXPECT_EQ (rig.pedal.getReceivedMessages(), std::vector<Bytes> { LinkRig::frame (Sysex::SystemGroup, Sysex::Release) });
        EXPECT_TRUE (rig.pedal.wasReleased());
        EXPECT_FALSE (driver.getMidiDevice().isInputOpen() || driver.getMidiDevice().isOutputOpen());
        EXPECT_EQ (driver.getDeviceId(), 0);
        EXPECT_EQ (driver.getState(), Mode::none);
        EXPECT_EQ (driver.getWatchdogCountdown(), 0);
        rig.tick (12);
        EXPECT_EQ (rig.pedal.getReceivedMessages().size(), 1u);

        rig.pedal.clearReceivedMessages();
        log.clear();
    }
}

TEST_F (UsbDeviceDriverTest, AModeThatCannotBeRequestedOnlyClearsTheStateAndSendsNothing)
{
    // Numbers cast past the three uses too.
    for (Mode mode : { Mode::none, static_cast<Mode> (4), static_cast<Mode> (-1) })
    {
        SCOPED_TRACE (toInt (mode));
        driver.connect (mode);
        driver.requestMode (mode);
        rig.tick (12);

        EXPECT_EQ (driver.getState(), Mode::none);
        EXPECT_TRUE (rig.pedal.getReceivedMessages().empty());
        EXPECT_FALSE (driver.getMidiDevice().isInputOpen() || driver.getMidiDevice().isOutputOpen());
    }

    // Nor while connected.
    ASSERT_NO_FATAL_FAILURE (connectAndSettle (Mode::audio));
    driver.connect (static_cast<Mode> (4));
    EXPECT_EQ (driver.getState(), Mode::none);
    EXPECT_TRUE (rig.pedal.getReceivedMessages().empty());
}

TEST_F (UsbDeviceDriverTest, AnyModeReplyIsTakenAndAShortOneKeepsThePreviousVersion)
{
    rig.pedal.setModeReply (EmulatedPedal::ModeReply::truncated);
    rig.pedal.setTruncatedReplyLength (0);
    driver.connect (Mode::audio);
    rig.drain();
    EXPECT_EQ (driver.getState(), Mode::audio);
    EXPECT_EQ (driver.getSlot(), LinkRig::pedalSlot);
    EXPECT_EQ (driver.getFirmwareVersion(), 0);

    rig.pedal.setModeReply (EmulatedPedal::ModeReply::normal);
    ASSERT_NO_FATAL_FAILURE (connectAndSettle (Mode::audio));
    ASSERT_EQ (driver.getFirmwareVersion(), LinkRig::pedalVersion);

    rig.pedal.setFirmwareVersion (0x040506);
    rig.pedal.setModeReply (EmulatedPedal::ModeReply::truncated);
    rig.pedal.setTruncatedReplyLength (5);
    driver.connect (Mode::control);
    rig.drain();
    EXPECT_EQ (driver.getState(), Mode::control);
    EXPECT_EQ (driver.getFirmwareVersion(), LinkRig::pedalVersion);

    // A reply for another mode than the one asked for is the pedal's mode.
    rig.pedal.setModeReply (EmulatedPedal::ModeReply::wrong);
    driver.connect (Mode::pedalboard);
    rig.drain();
    EXPECT_EQ (driver.getState(), Mode::audio);
    EXPECT_EQ (rig.pedal.getMode(), Mode::audio);
}

// One keep-alive per tick while connected with an id; ten ticks without a frame
// from the pedal's id (from the connect, the Announce or its last frame) drop it.
TEST_F (UsbDeviceDriverTest, TheWatchdogDropsAPedalAfterTenSilentTicks)
{
    const struct { const char* what; bool announces, answers, modeOff; int frameAfterTick, ticks, dropsAt, keepAlives, statusChanges; } cases[] = {
        { "answered keep-alives feed it", true, true, false, -1, 30, 0, 30, 0 },
        { "a pedal that never announces", false, true, false, -1, 20, 10, 0, 1 },
        { "a silent pedal", true, false, false, -1, 15, 10, 10, 1 },
        { "any frame from its id reloads it", true, false, false, 9, 25, 19, 19, 1 },
        { "ModeOff stops keep-alives, not the watchdog", true, true, true, -1, 12, 10, 0, 2 },
    };

    for (const auto& c : cases)
    {
        SCOPED_TRACE (c.what);
        rig.pedal.setAnnounceEnabled (c.announces);
        rig.pedal.setHeartbeat (c.answers);
        driver.connect (Mode::audio);
        rig.drain();
        EXPECT_EQ (log.count ("connected"), c.announces ? 1 : 0); // before the Announce every frame is dropped
        rig.pedal.clearReceivedMessages();
        log.clear();

        if (c.modeOff)
        {
            ASSERT_TRUE (rig.pedal.sendModeOff());
            rig.drain();
            EXPECT_EQ (driver.getState(), Mode::none);
        }

        int dropsAt = 0;
        for (int tick = 1; tick <= c.ticks; ++tick)
        {
            const auto before = log.count ("status 0");
            rig.tick();
            if (dropsAt == 0 && log.count ("status 0") > before)
                dropsAt = tick;
            if (tick == c.frameAfterTick)
            {
                ASSERT_TRUE (rig.pedal.sendCalibrate());
                rig.drain();
            }
        }

        EXPECT_EQ (dropsAt, c.dropsAt);
        EXPECT_EQ (keepAlivesSent(), c.keepAlives);
        EXPECT_EQ (log.count ("status 0"), c.statusChanges);
        EXPECT_EQ (driver.getState(), c.dropsAt == 0 ? Mode::audio : Mode::none);
        EXPECT_EQ (driver.getDeviceId(), c.announces ? pedalId : 0);
        EXPECT_TRUE (driver.getMidiDevice().isInputOpen()); // closing is a listener's reaction

        driver.disconnect();
    }
}

TEST_F (UsbDeviceDriverTest, OnlyMidiAndWellFormedFramesFromThePedalsIdReachTheListeners)
{
    ASSERT_NO_FATAL_FAILURE (connectAndSettle (Mode::audio));

    ASSERT_TRUE (rig.pedal.sendNoteOn (1, 60, 100));
    ASSERT_TRUE (rig.pedal.sendFrame (Sysex::ControlGroup, Sysex::ControlChange, { 7, 100 }));
    rig.drain();
    EXPECT_EQ (log.messages, (std::vector<Bytes> { bytesOf (juce::MidiMessage::noteOn (1, 60, (uint8_t) 100)),
                                                   bytesOf (rig.pedal.buildFrame (Sysex::ControlGroup, Sysex::ControlChange, { 7, 100 })) }));
    log.clear();

    // Foreign or no ids, a second Announce among them, a nine-byte frame, another header.
    for (int id : { 0x33, 0 })
    {
        rig.pedal.setFrameDeviceId (id);
        ASSERT_TRUE (rig.pedal.announce());
        ASSERT_TRUE (rig.pedal.sendFrame (Sysex::ControlGroup, Sysex::ControlChange, { 7, 100 }));
        ASSERT_TRUE (rig.pedal.sendModeOff());
        ASSERT_TRUE (rig.pedal.sendFrame (Sysex::SystemGroup, Sysex::ModePedalboard, rig.pedal.versionPayload()));
    }

    rig.pedal.setFrameDeviceId (pedalId);
    ASSERT_TRUE (rig.pedal.sendRaw ({ 0xF0, 0x00, 0x5A, 0x3D, 0x00, 0x02, pedalId, 0x12, 0xF7 }));
    rig.pedal.setHeader ({ 0x00, 0x5A, 0x3D, 0x00, 0x01 });
    ASSERT_TRUE (rig.pedal.sendModeOff());
    rig.drain();

    EXPECT_TRUE (log.lines.empty());
    EXPECT_EQ (driver.getState(), Mode::audio);
    EXPECT_EQ (driver.getDeviceId(), pedalId);

    rig.tick();
    EXPECT_EQ (rig.pedal.getReceivedMessages(), std::vector<Bytes> { LinkRig::frame (Sysex::SystemGroup, Sysex::KeepAlive) });
}

// The one home of bursts: the MIDI thread never waits, the queue keeps what fits
// and counts the rest, and the link goes on.
TEST_F (UsbDeviceDriverTest, ABurstIsCutAtTheQueueInOrderAndTheLinkGoesOn)
{
    ASSERT_NO_FATAL_FAILURE (connectAndSettle (Mode::audio));

    EXPECT_EQ (rig.pedal.sendBurst (5000), 5000);
    rig.drain();

    ASSERT_FALSE (log.messages.empty());
    EXPECT_LE ((int) log.messages.size(), MidiQueue::capacity - 1);
    EXPECT_EQ ((int) log.messages.size() + driver.getMidiDevice().getNumDroppedMessages(), 5000);

    int previous = -1;
    for (auto& frame : log.messages)
    {
        ASSERT_EQ (frame.size(), 12u);
        const auto index = (frame[9] << 7) | frame[10];
        ASSERT_GT (index, previous);
        previous = index;
    }

    rig.tick();
    EXPECT_EQ (driver.getState(), Mode::audio);
    EXPECT_EQ (keepAlivesSent(), 1);
}
} // namespace
