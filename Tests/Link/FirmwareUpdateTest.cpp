#include "Devices/Audio/AudioDeviceTypes.h"
#include "Devices/FirmwareImage.h"
#include "Emulation/EmulatedBootloader.h"
#include "Support/HostileFirmware.h"
#include "Support/JobRecorder.h"
#include "Support/LinkRig.h"
#include "Updates/FirmwareUpdateController.h"

#include <gtest/gtest.h>
#include <atomic>
#include <chrono>

namespace
{
using Job = FirmwareUpdateController;
using Strings = std::vector<std::string>;
using BootManager = UsbBaseDeviceManager<UsbBootDevice>;

const std::string waiting = "Waiting for device...\n\nDO NOT UNPLUG PEDAL!";
const std::string updating = "Updating...\n\nDO NOT UNPLUG PEDAL!";
const std::string restarting = "Restarting pedal...\n\nDO NOT UNPLUG PEDAL!";
const std::string timedOut = "Operation timeout\n\nDevice not found\nor not ready";
const std::string notRestarted = "Update failed\n\nThe pedal did not restart\nwith the new firmware";
const juce::String pedalBootloader (UsbBootDevice::pedalBootloaderName);
const juce::String genericBootloader (UsbBootDevice::genericBootloaderName);

// A firmware stream of a few records that the emulated bootloader accepts.
juce::MemoryBlock smallFirmware (juce::uint32 version, const SyntheticFirmware::Identity& identity = SyntheticFirmware::pedalIdentity)
{
    const auto bytes = SyntheticFirmware::buildPayload (version, 3, identity);
    return { bytes.data(), bytes.size() };
}

// Time that passes only when the job pauses after a message. The bootloader
// stamps each arrival with it, so the pacing is checked without being waited
// for. The first pause holds until released (the fixture releases it at the
// latest as it goes), so the sending can be seen under way however slowly.
class SimulatedPacing
{
public:
    void pace (FirmwareUpdateController& job, EmulatedBootloader& bootloader)
    {
        job.setMessagePause ([this] (int milliseconds) { pause (milliseconds); });
        bootloader.setClock ([this] { return nowMs.load(); });
    }

    void release() { released.signal(); }

private:
    // The job's thread only.
    void pause (int milliseconds)
    {
        if (pauses++ == 0)
            released.wait();

        nowMs.store (nowMs.load() + milliseconds);
    }

    std::atomic<double> nowMs { 0.0 };
    int pauses = 0;
    juce::WaitableEvent released;
};

// The update dialog's part: it makes the job, listens, starts it and, with a
// pedal attached, frees the pedal's audio and sends it EnterBootloader. The
// message loop runs the relay, the scans and the MIDI deliveries.
class FirmwareUpdateTest : public ::testing::Test
{
protected:
    ~FirmwareUpdateTest() override
    {
        pacing.release();
        job.reset();
    }

    Job& makeJob (const juce::MemoryBlock& bytes, const juce::String& path = {}, juce::uint32 expected = 0)
    {
        job = std::make_unique<Job> (bytes, path);
        job->setExpectedFirmwareVersion (expected);
        job->addListener (&recorder);
        return *job;
    }

    UsbDevice& attachPedal()
    {
        auto* device = rig.findDevice();
        EXPECT_NE (device, nullptr);
        device->getDriver().connect (Mode::audio);
        rig.drain();
        EXPECT_EQ (device->getDriver().getFirmwareVersion(), 0x010203);
        return *device;
    }

    static void sendEnterBootloader (UsbDevice& device)
    {
        device.getDriver().releaseAudio();
        device.getDriver().sendSysExMessage (Sysex::SystemGroup, Sysex::EnterBootloader, nullptr, 0);
    }

    ::testing::AssertionResult runUntil (const std::function<bool()>& done) { return rig.runUntil (done); }

    ::testing::AssertionResult runUntilComplete() { return runUntil ([this] { return recorder.completions > 0; }); }

    SimulatedPacing pacing;
    LinkRig rig;
    juce::SharedResourcePointer<BootManager> bootManager;
    JobRecorder recorder;
    std::unique_ptr<Job> job;
};

//==============================================================================
TEST_F (FirmwareUpdateTest, TheCarriedImageFlashesAnAttachedPedalEndToEnd)
{
    auto& device = attachPedal();
    auto& flash = makeJob (FirmwareImage::getPayload(), {}, FirmwareImage::getFirmwareVersion());
    pacing.pace (flash, rig.pedal.getBootloader());
    flash.start (true);
    EXPECT_TRUE (flash.isTimerRunning (Job::waitTimerId));
    EXPECT_EQ (flash.getTimerInterval (Job::waitTimerId), 60000);

    // The pedal takes a moment to restart into its bootloader.
    ASSERT_TRUE (runUntil ([this] { return recorder.lastStatus() == waiting; }));
    EXPECT_EQ (recorder.events.back(), "progress -1.000");
    sendEnterBootloader (device);
    EXPECT_TRUE (rig.pedal.getSourceIdentifier().isEmpty());
    auto audio = AudioDeviceTypes::create();
    audio->scanForDevices();
    EXPECT_FALSE (audio->getDeviceNames().contains (LinkRig::pedalName));

    // Held after the first message, in simulated time, until the sending shows.
    ASSERT_TRUE (runUntil ([this] { return recorder.lastStatus() == updating; }));
    pacing.release();
    ASSERT_TRUE (runUntilComplete());
    EXPECT_EQ (flash.getResult(), Job::flashSucceeded);
    EXPECT_EQ (recorder.statuses(), (Strings { waiting, updating, restarting, "Update complete" }));

    // Every message, verbatim and in order, at least 10 ms apart on the job's clock.
    auto& bootloader = rig.pedal.getBootloader();
    EXPECT_EQ (bootloader.getState(), EmulatedBootloader::State::flashed) << bootloader.getReason();
    juce::MidiBuffer expected;
    ASSERT_TRUE (Job::loadBuffer (expected, FirmwareImage::getPayload()));
    const auto received = bootloader.getMessages();
    ASSERT_EQ (received.size(), 985u);
    size_t i = 0;
    for (const auto event : expected)
        EXPECT_EQ (received[i++], Bytes (event.data, event.data + event.numBytes));

    const auto arrivals = bootloader.getArrivalTimesMs();
    for (size_t m = 1; m < arrivals.size(); ++m)
        ASSERT_GE (arrivals[m] - arrivals[m - 1], Job::messagePauseMs - 0.1) << m;

    // Progress: message by message up to (N - 1) / N.
    EXPECT_EQ (recorder.events[recorder.events.size() - 2], "progress " + juce::String (984.0f / 985.0f, 3).toStdString());

    // The pedal is back with the new firmware, and was let go after saying so.
    ASSERT_TRUE (rig.pedal.getSourceIdentifier().isNotEmpty());
    ASSERT_NE (rig.findDevice(), nullptr);
    EXPECT_EQ (rig.findDevice()->getDriver().getFirmwareVersion(), 0x000105);
    EXPECT_EQ (rig.pedal.countReceived (Sysex::SystemGroup, Sysex::ModeControl), 1);
    EXPECT_TRUE (rig.pedal.wasReleased());
}

TEST_F (FirmwareUpdateTest, WithABootloaderListedAndNoPedalItFlashesAtOnceAndChecksTheVersionThatComesBack)
{
    const auto file = juce::File::createTempFile (".syx");
    ASSERT_TRUE (file.replaceWithData (smallFirmware (0x000107).getData(), smallFirmware (0x000107).getSize()));

    struct Case
    {
        const char* what;
        juce::MemoryBlock image;
        juce::String path;
        juce::uint32 expected;
        int result;
        std::string status;
    };

    const Case cases[] = {
        { "the expected version", smallFirmware (0x000106), {}, 0x000106, Job::flashSucceeded, "Update complete" },
        { "any version", smallFirmware (0x000106), {}, 0, Job::flashSucceeded, "Update complete" },
        { "a dropped file rather than the image", FirmwareImage::getPayload(), file.getFullPathName(), 0x000107, Job::flashSucceeded, "Update complete" },
        { "another version", smallFirmware (0x000106), {}, 0x000105, Job::flashPending,
          "Update failed\n\nThe pedal reports firmware v0.1.6\ninstead of v0.1.5" },
    };

    for (const auto& c : cases)
    {
        SCOPED_TRACE (c.what);
        rig.unplugAndScan();
        rig.pedal.publishBootloader (pedalBootloader);
        bootManager->scanForDevices();
        recorder = {};

        auto& flash = makeJob (c.image, c.path, c.expected);
        flash.start (false);
        EXPECT_FALSE (flash.isTimerRunning (Job::waitTimerId));
        EXPECT_NE (flash.getBootDevice(), nullptr);

        ASSERT_TRUE (runUntilComplete());
        EXPECT_EQ (flash.getResult(), c.result);
        EXPECT_EQ (recorder.lastStatus(), c.status);
        EXPECT_EQ (rig.pedal.getBootloader().getMessages().size(), 7u);

        // Paced in real time unless a test says otherwise.
        const auto arrivals = rig.pedal.getBootloader().getArrivalTimesMs();
        for (size_t m = 1; m < arrivals.size(); ++m)
            EXPECT_GE (arrivals[m] - arrivals[m - 1], Job::messagePauseMs - 0.1) << m;
        job.reset();
    }

    file.deleteFile();
}

TEST_F (FirmwareUpdateTest, NoBootloaderWithinSixtySecondsEndsWithDeviceNotFound)
{
    attachPedal();
    auto& flash = makeJob (FirmwareImage::getPayload());
    flash.start (true);
    ASSERT_TRUE (runUntil ([this] { return recorder.lastStatus() == waiting; }));

    // The sixty seconds, driven rather than waited.
    ASSERT_EQ (flash.getTimerInterval (Job::waitTimerId), Job::bootloaderWaitMs);
    flash.timerCallback (Job::waitTimerId);

    ASSERT_TRUE (runUntilComplete());
    EXPECT_EQ (flash.getResult(), Job::flashDeviceNotFound);
    EXPECT_EQ (recorder.lastStatus(), timedOut);
    EXPECT_FALSE (flash.isTimerRunning (Job::waitTimerId));
}

TEST_F (FirmwareUpdateTest, PowerLostMidFlashAbortsWithTheBootloaderGone)
{
    auto& device = attachPedal();
    rig.pedal.getBootloader().losePowerAfter (50);
    auto& flash = makeJob (FirmwareImage::getPayload(), {}, FirmwareImage::getFirmwareVersion());
    flash.start (true);
    sendEnterBootloader (device);

    ASSERT_TRUE (runUntilComplete());
    EXPECT_EQ (flash.getResult(), Job::flashPending);
    EXPECT_EQ (recorder.lastStatus(), "Aborted");
    EXPECT_EQ (rig.pedal.getBootloader().getState(), EmulatedBootloader::State::powerLost);
    EXPECT_EQ (rig.pedal.getBootloader().getMessages().size(), 50u);
    EXPECT_EQ (flash.getBootDevice(), nullptr);
    EXPECT_TRUE (rig.pedal.getSourceIdentifier().isEmpty());
}

TEST_F (FirmwareUpdateTest, AForeignBootloaderThatRejectsTheStreamIsAClearFailure)
{
    EmulatedBootloader foreign (rig.ports, { 0x01, 0x22, 0x33 });
    foreign.publish (genericBootloader);
    rig.unplugAndScan();
    bootManager->scanForDevices();

    auto& flash = makeJob (smallFirmware (0x000106), {}, 0x000106);
    flash.start (false);
    ASSERT_NE (flash.getBootDevice(), nullptr);
    EXPECT_EQ (flash.getBootDevice()->getName(), genericBootloader);

    // Sent in full, but the pedal never comes back: after thirty seconds, driven, the job fails.
    ASSERT_TRUE (runUntil ([&] { return flash.isTimerRunning (Job::restartTimerId); }));
    EXPECT_EQ (flash.getTimerInterval (Job::restartTimerId), Job::restartWaitMs);
    EXPECT_EQ (foreign.getState(), EmulatedBootloader::State::rejected);
    EXPECT_EQ (foreign.getReason(), "message 1: not for this bootloader");
    EXPECT_EQ (foreign.getMessages().size(), 7u);

    flash.timerCallback (Job::restartTimerId);
    ASSERT_TRUE (runUntilComplete());
    EXPECT_EQ (flash.getResult(), Job::flashPending);
    EXPECT_EQ (recorder.lastStatus(), notRestarted);
}

TEST_F (FirmwareUpdateTest, ThePedalsOwnBootloaderIsTakenFirstAndABusyOneIsNeverShared)
{
    EmulatedBootloader foreign (rig.ports, { 0x01, 0x22, 0x33 });
    foreign.publish (genericBootloader);
    rig.pedal.publishBootloader (pedalBootloader);
    bootManager->scanForDevices();

    auto& flash = makeJob (smallFirmware (0x000106));
    flash.start (false);
    ASSERT_NE (flash.getBootDevice(), nullptr);
    EXPECT_EQ (flash.getBootDevice()->getName(), pedalBootloader);

    // Two more jobs find the first bootloader busy and wait for one of their own.
    Job second (smallFirmware (0x000106), {}), third (smallFirmware (0x000106), {});
    JobRecorder secondRecorder, thirdRecorder;
    second.addListener (&secondRecorder);
    third.addListener (&thirdRecorder);
    second.start (false);
    third.start (false);
    EXPECT_EQ (second.getBootDevice(), nullptr);
    EXPECT_TRUE (second.isTimerRunning (Job::waitTimerId));

    // A bootloader that appears goes to one of them; the other, left without, fails.
    foreign.withdraw();
    bootManager->scanForDevices();
    foreign.publish (genericBootloader);
    bootManager->scanForDevices();
    ASSERT_NE ((second.getBootDevice() == nullptr), (third.getBootDevice() == nullptr));

    auto& left = second.getBootDevice() == nullptr ? second : third;
    auto& leftRecorder = &left == &second ? secondRecorder : thirdRecorder;
    left.timerCallback (Job::waitTimerId);
    ASSERT_TRUE (relayUntilComplete (left, leftRecorder));
    EXPECT_EQ (left.getResult(), Job::flashDeviceNotFound);
    EXPECT_EQ (leftRecorder.lastStatus(), timedOut);
}

TEST_F (FirmwareUpdateTest, ABootloaderWhoseOutputNeverOpensFailsRatherThanCompleting)
{
    rig.unplugAndScan();
    rig.pedal.publishBootloader (pedalBootloader);
    bootManager->scanForDevices();
    rig.ports.withdraw (rig.pedal.getBootloader().getDestinationIdentifier());

    auto& flash = makeJob (smallFirmware (0x000106));
    flash.start (false);
    ASSERT_TRUE (relayUntilComplete (*job, recorder));
    EXPECT_EQ (flash.getResult(), Job::flashPending);
    EXPECT_EQ (recorder.lastStatus(), "Update failed\n\nThe bootloader's MIDI port\ncould not be opened");
    EXPECT_TRUE (rig.pedal.getBootloader().getMessages().empty());
}

TEST_F (FirmwareUpdateTest, UpdateDataThatIsNoWholeFirmwareFailsBeforeAnyBootloaderIsTouched)
{
    const auto folder = juce::File::getSpecialLocation (juce::File::tempDirectory).getChildFile ("pellion-" + juce::Uuid().toString());
    ASSERT_TRUE (folder.createDirectory());
    const auto truncated = folder.getChildFile ("truncated.syx");
    const uint8_t cut[] = { 0xF0, 0x00, 0x5A, 0x3D, 0x01, 0xF0, 0x00, 0x5A, 0x3D, 0x02, 0xF7 };
    ASSERT_TRUE (truncated.replaceWithData (cut, sizeof (cut)));

    rig.pedal.publishBootloader (pedalBootloader);
    bootManager->scanForDevices();

    const std::tuple<const char*, juce::MemoryBlock, juce::String, std::string> cases[] = {
        { "a dropped file with a message cut short", FirmwareImage::getPayload(), truncated.getFullPathName(), "Failed to load update file" },
        { "a dropped folder", FirmwareImage::getPayload(), folder.getFullPathName(), "Failed to load update file" },
        { "a dropped file that is gone", FirmwareImage::getPayload(), folder.getChildFile ("gone.syx").getFullPathName(), "Failed to load update file" },
        { "a path that is not absolute", FirmwareImage::getPayload(), "relative.syx", "Failed to load update file" },
        { "no update data", {}, {}, "Failed to load firmware image" },
        { "update data with a stray byte", juce::MemoryBlock ("\x05\xF0\xF7", 3), {}, "Failed to load firmware image" },
    };

    const auto expectRefused = [this] (const juce::MemoryBlock& image, const juce::String& path, const std::string& status)
    {
        recorder = {};
        EXPECT_FALSE (makeJob (image, path).start (false)) << "no pedal may be sent into its bootloader";
        EXPECT_EQ (job->getBootDevice(), nullptr) << "nor a bootloader taken";
        EXPECT_FALSE (job->isTimerRunning (Job::waitTimerId));
        ASSERT_TRUE (relayUntilComplete (*job, recorder));
        EXPECT_EQ (job->getResult(), Job::flashPending);
        EXPECT_EQ (recorder.statuses(), Strings { status });
        EXPECT_TRUE (rig.pedal.getBootloader().getMessages().empty());
        EXPECT_FALSE (rig.pedal.getBootloader().getSourceIdentifier().isEmpty()) << "still there, untouched";
        job.reset();
    };

    for (const auto& [what, image, path, status] : cases)
    {
        SCOPED_TRACE (what);
        ASSERT_NO_FATAL_FAILURE (expectRefused (image, path, status));
    }

    // Launched without start(), the job still loads before it waits for anything.
    recorder = {};
    makeJob (juce::MemoryBlock ("\xF0\xF7", 2)).launchThread();
    ASSERT_TRUE (relayUntilComplete (*job, recorder));
    EXPECT_EQ (recorder.statuses(), Strings { "Failed to load firmware image" });
    job.reset();

    // Whatever is not a whole firmware, dropped or handed in.
    const auto firmware = smallFirmware (0x000106);
    const auto dropped = folder.getChildFile ("dropped.syx");
    for (const auto& c : HostileFirmware::syxFiles (toString (firmware)))
    {
        SCOPED_TRACE (c.what);
        ASSERT_TRUE (dropped.replaceWithData (c.bytes.data(), c.bytes.size()));
        ASSERT_NO_FATAL_FAILURE (expectRefused (firmware, dropped.getFullPathName(), "Failed to load update file"));
        ASSERT_NO_FATAL_FAILURE (expectRefused (juce::MemoryBlock (c.bytes.data(), c.bytes.size()), {}, "Failed to load firmware image"));
    }

    folder.deleteRecursively();
}
} // namespace
