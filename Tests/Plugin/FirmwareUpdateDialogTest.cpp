#include "Components/Dialogs/FirmwareUpdateComponent.h"
#include "Devices/FirmwareImage.h"
#include "Support/DesktopRecorder.h"
#include "Support/DialogRig.h"
#include "Support/Found.h"
#include "Support/HostileFirmware.h"
#include "Support/MessageLoop.h"
#include "Support/PluginFixture.h"
#include "Support/UpdateRig.h"
#include "Windows/AlertManager.h"

#include <gtest/gtest.h>
#include <map>

namespace
{
using Flow = FirmwareUpdateFlow;

const std::string site = "www.example.com";
const std::string checking = "Checking for updates | Checking online for new plugin & firmware updates... | Cancel (0)";
const std::string offerCarried = "Firmware Update | Update pedal firmware to v0.1.5? | OK (3) Cancel (0) | toggle on";
const std::string offerDownload = "Firmware Update | Download & update pedal firmware to v1.3.0? | OK (2) Cancel (0) | toggle on";
const std::string complete = "Firmware Update | Update complete | OK (0)";

// The firmware update dialog as the editor opens it, over the update rig,
// with the desktop recorded. The message loop runs the jobs' relays, the scans
// and the MIDI.
struct FirmwareDialogTest : ::testing::Test, UpdateRig
{
    ~FirmwareDialogTest() override { manager.reset(); }

    juce::File writeFirmwareFile (const juce::String& name, juce::uint32 version)
    {
        ScratchFolder::write (files.folder, name.toStdString(), smallFirmware (version));
        return files.folder.getChildFile (name);
    }

    bool open (int status, juce::uint32 version = 0)
    {
        VersionQuery query;
        query.status = status;
        query.version = VersionNumber (version);
        return manager->alert_updateFirmware (query, settings, [this] (int result)
        {
            results.push_back (result);
            if (afterResult)
                afterResult (result);
        });
    }

    FirmwareUpdateComponent& dialog()
    {
        return found (dynamic_cast<FirmwareUpdateComponent*> (manager->alert.box.get()), "the firmware update dialog");
    }

    // What the dialog shows, and its toggle's state.
    std::string shows()
    {
        auto* toggle = dialog().getAutoCheckToggle();
        return describe (dialog()) + (toggle == nullptr ? "" : toggle->getToggleState() ? " | toggle on" : " | toggle off");
    }

    void press (const juce::String& text) { click (*findButton (dialog(), text)); }

    ::testing::AssertionResult runUntil (const std::function<bool()>& done, int timeoutMs = (int) patience.count())
    {
        return rig.runUntil (done, timeoutMs);
    }

    ::testing::AssertionResult runUntilState (Flow::State state)
    {
        return runUntil ([this, state] { return manager->alert.isShowing() && dialog().getFlow().getState() == state; });
    }

    DesktopRecorder desktop;
    DialogParent parent;
    juce::PropertySet settings;
    std::vector<int> results;
    std::function<void (int)> afterResult; // what the editor does with the result
    std::unique_ptr<AlertManager> manager = std::make_unique<AlertManager> (pedal, parent);

    // The whole chain from the offer of the carried image, as the editor runs it
    // for an instance in Audio Stereo use: "OK" flashes the image into the
    // emulated bootloader; the pedal comes back with it; "OK" ends the dialog
    // with 0, upon which the processor attaches the recorded pedal 200 ms later.
    void flashCarriedImageAndReattach()
    {
        auto instance = makeProcessor();
        instance->getPendingDevice() = { LinkRig::pedalName, ChannelSetting::stereo, Mode::audio, PedalModeConfig::none };
        afterResult = [&instance] (int result)
        {
            if (result == 0)
                instance->startTimer (VelmoraAudioProcessor::reconnectTimerId, VelmoraAudioProcessor::reconnectDelayMs);
        };

        press ("OK");
        EXPECT_EQ (enterBootloaderSent(), 1);
        ASSERT_TRUE (runUntil ([this] { return dialog().getFlow().getState() != Flow::updating; }, 180000)) << "the flash never ended";
        EXPECT_EQ (shows(), complete);
        auto& bootloader = rig.pedal.getBootloader();
        EXPECT_EQ (bootloader.getState(), EmulatedBootloader::State::flashed) << bootloader.getReason();
        EXPECT_EQ (bootloader.getMessages().size(), 985u);
        EXPECT_EQ (instance->getDevice(), nullptr) << "the pedal went into its bootloader";

        press ("OK");
        afterResult = nullptr;
        EXPECT_EQ (results, std::vector<int> { 0 });
        EXPECT_FALSE (manager->alert.isShowing());
        EXPECT_EQ (instance->getTimerInterval (VelmoraAudioProcessor::reconnectTimerId), 200);

        ASSERT_TRUE (runUntil ([&instance] { return instance->getUsbClient() != nullptr
                                                    && instance->getDevice()->getDriver().getFirmwareVersion() != 0; }))
            << "the pedal was not attached again";
        auto& driver = instance->getDevice()->getDriver();
        EXPECT_EQ (instance->getDevice()->getName(), LinkRig::pedalName);
        EXPECT_EQ (driver.getState(), Mode::audio);
        EXPECT_EQ (instance->getChannelSetting(), ChannelSetting::stereo);
        EXPECT_EQ ((juce::uint32) driver.getFirmwareVersion(), FirmwareImage::getFirmwareVersion());
    }

    // Opens the dialog after a check that finds firmware 1.3.0 online at that address.
    void offerOnlineFirmware (const std::string& address)
    {
        serveVersionFile (R"({"pluginVersion":"0.2.0","firmwareVersion":"1.3.0")" + (address.empty() ? "" : R"(,"firmwareURL":")" + address + "\"") + "}");
        ASSERT_TRUE (open (VersionQuery::queryUpToDate));
        ASSERT_TRUE (runUntilState (Flow::onlineUpdateAvailable));
    }
};
} // namespace

//==============================================================================
TEST_F (FirmwareDialogTest, EachWayInEndsInTheStateItsAnswerSelectsAndReportsWhetherAJobRan)
{
    const std::map<Flow::State, std::string> shownIn = {
        { Flow::checkFailed, "Checking for updates | Unable to download version information.\nPlease go to " + site
                                 + " to check\nfor updates. | Visit website (1) Close (0) | toggle on" },
        { Flow::upToDate, "Checking for updates | Already up-to-date | Close (0) | toggle on" },
        { Flow::pluginUpdateAvailable, "Plugin Update | Plugin update v0.3.1 is available.\nPlease go to " + site
                                           + " to download\nand install this update. | Visit website (1) Close (0) | toggle on" },
        { Flow::onlineUpdateAvailable, offerDownload },
        { Flow::embeddedUpdateAvailable, offerCarried },
    };

    // Each way in, and last the carried image flashed: "OK" flashes the offer, and "OK" ends the dialog.
    struct Case : WayIn
    {
        bool flash = false;
    };
    std::vector<Case> cases;
    for (const auto& way : waysIn())
        cases.push_back ({ way });
    cases.push_back ({ { "the carried image, flashed", 0x000100, 2, 0, "", Flow::embeddedUpdateAvailable, 0 }, true });

    size_t requests = 0;
    for (const auto& c : cases)
    {
        SCOPED_TRACE (c.what);
        attachPedal (c.pedalVersion);
        serveVersionFileOf (c);
        results.clear();

        ASSERT_TRUE (open (c.status, c.version));
        if (c.status < 2)
        {
            EXPECT_EQ (shows(), checking);
            saveSnapshot (dialog(), "firmware-checking");
            ++requests;
        }
        ASSERT_TRUE (runUntil ([this] { return dialog().getFlow().getState() != Flow::checking; }));
        EXPECT_EQ (dialog().getFlow().getState(), c.state);
        EXPECT_EQ (shows(), shownIn.at (c.state));
        saveSnapshot (dialog(), "firmware-state-" + juce::String ((int) c.state));
        EXPECT_EQ (server.getRequests().size(), requests);

        if (c.state == Flow::embeddedUpdateAvailable)
        {
            EXPECT_EQ ((juce::uint32) dialog().getFlow().getVersion(), FirmwareImage::getFirmwareVersion());
            EXPECT_EQ (dialog().getFlow().getFirmware(), FirmwareImage::getPayload());
        }

        if (c.flash)
        {
            ASSERT_NO_FATAL_FAILURE (flashCarriedImageAndReattach());
            continue;
        }

        press (shownIn.at (c.state).find ("Close (0)") != std::string::npos ? "Close" : "Cancel");
        EXPECT_EQ (results, std::vector<int> { c.result });
        EXPECT_FALSE (manager->alert.isShowing());
        EXPECT_TRUE (rig.receivedBesidesKeepAlives().empty()) << "none of this touches the pedal";
    }
}

TEST_F (FirmwareDialogTest, CancelWhileCheckingReportsZeroAndLetsTheCheckGo)
{
    LoopbackHttpServer::Reply stall;
    stall.stall = true;
    server.serve (versionPath, stall);
    ASSERT_TRUE (open (VersionQuery::queryUpToDate));
    ASSERT_TRUE (server.waitForRequests (1));

    const juce::Component::SafePointer<juce::Component> box (&dialog());
    press ("Cancel");
    EXPECT_EQ (results, std::vector<int> { 0 });
    EXPECT_TRUE (runUntil ([&box] { return box == nullptr; })) << "the cancelled dialog goes";
}

TEST_F (FirmwareDialogTest, VisitWebsiteOpensOnlyAWebAddressAndReportsZero)
{
    const std::pair<std::string, std::string> cases[] = {
        { R"(,"pluginInfoURL":"https://www.example.org/pellion/news")", "open https://www.example.org/pellion/news" },
        { "", "open https://www.example.com/pellion/" },
        { R"(,"pluginInfoURL":"file:///etc/passwd")", "open https://www.example.com/pellion/" },
        { R"x(,"pluginInfoURL":"https://x.example.com/$(reboot)")x", "open https://www.example.com/pellion/" },
    };

    for (const auto& [property, opened] : cases)
    {
        serveVersionFile (R"({"pluginVersion":"0.3.0")" + property + "}");
        desktop.calls.clear();
        results.clear();
        ASSERT_TRUE (open (VersionQuery::queryUpToDate));
        ASSERT_TRUE (runUntilState (Flow::pluginUpdateAvailable));
        press ("Visit website");
        EXPECT_EQ (desktop.calls, std::vector<std::string> { opened });
        EXPECT_EQ (results, std::vector<int> { 0 });
    }
}

TEST_F (FirmwareDialogTest, TheToggleWritesTheSettingAtOnceEvenWhenTheDialogIsCancelled)
{
    ASSERT_TRUE (open (VersionQuery::queryFirmwareRequired));
    EXPECT_TRUE (dialog().getAutoCheckToggle()->getToggleState()) << "on while the setting is absent";
    click (*dialog().getAutoCheckToggle());
    EXPECT_FALSE (settings.getBoolValue ("checkForUpdates", true));
    EXPECT_TRUE (results.empty());

    press ("Cancel");
    ASSERT_TRUE (open (VersionQuery::queryPluginAvailable, 0x000300));
    EXPECT_FALSE (dialog().getAutoCheckToggle()->getToggleState());
}

//==============================================================================
TEST_F (FirmwareDialogTest, OnlineFirmwareIsDownloadedAndFlashedIntoTheAttachedPedal)
{
    attachPedal();
    ASSERT_NO_FATAL_FAILURE (offerOnlineFirmware (serveFirmware (0x010300)));
    press ("OK");
    EXPECT_EQ (shows(), "Firmware Update | Download & update pedal firmware to v1.3.0? | Cancel (0)");
    saveSnapshot (dialog(), "firmware-downloading");

    ASSERT_TRUE (runUntilState (Flow::updateComplete));
    EXPECT_EQ (shows(), complete);
    EXPECT_EQ (enterBootloaderSent(), 1);
    EXPECT_EQ (rig.pedal.getBootloader().getMessages().size(), 7u);
    ASSERT_NE (rig.findDevice(), nullptr);
    EXPECT_EQ (rig.findDevice()->getDriver().getFirmwareVersion(), 0x010300);

    // The editor re-attaches the pedal 200 ms after a 0.
    press ("OK");
    EXPECT_EQ (results, std::vector<int> { 0 });
}

TEST_F (FirmwareDialogTest, DownloadFailuresStayInTheMessageAndReportOne)
{
    server.serve ("/readme.zip", LoopbackHttpServer::text (toString (makeZip ({ { "readme.txt", "hello" } }))));
    std::vector<std::pair<std::string, std::string>> cases = {
        { server.address ("/missing.zip"), "Download failed" },
        { "", "Download failed" },
        { server.address ("/readme.zip"), "Downloaded file is not valid" },
    };

    // Damaged archives and archives of no whole firmware: never "Download complete", never flashed.
    for (const auto& c : HostileFirmware::archives (smallFirmware (0x010300)))
    {
        if (c.status == "Download complete")
            continue;

        const auto path = "/hostile" + std::to_string (cases.size()) + ".zip";
        server.serve (path, LoopbackHttpServer::text (c.archive));
        cases.push_back ({ server.address (path), c.status });
    }

    attachPedal();
    for (const auto& [address, message] : cases)
    {
        results.clear();
        ASSERT_NO_FATAL_FAILURE (offerOnlineFirmware (address));
        press ("OK");
        ASSERT_TRUE (runUntilState (Flow::downloadFailed));
        EXPECT_EQ (shows(), "Firmware Update | " + message + " | Close (0)");
        saveSnapshot (dialog(), "firmware-download-failed");
        press ("Close");
        EXPECT_EQ (results, std::vector<int> { 1 });
    }

    EXPECT_EQ (enterBootloaderSent(), 0);
    EXPECT_TRUE (rig.pedal.getBootloader().getMessages().empty());
}

//==============================================================================
TEST_F (FirmwareDialogTest, OneDroppedSyxFileIsFlashedInsteadOfTheCarriedImage)
{
    attachPedal();
    const auto good = writeFirmwareFile ("update.syx", 0x000107);
    const auto path = good.getFullPathName();

    ASSERT_TRUE (open (VersionQuery::queryFirmwareAvailable, 0x010300));
    EXPECT_FALSE (dialog().isInterestedInFileDrag ({ path })) << "only while the carried image is offered";

    ASSERT_TRUE (open (VersionQuery::queryFirmwareRequired));
    auto& d = dialog();
    for (const juce::StringArray& refused : { juce::StringArray { writeFirmwareFile ("UPDATE.SYX", 1).getFullPathName() },
                                              juce::StringArray { writeFirmwareFile ("update.bin", 1).getFullPathName() },
                                              juce::StringArray { path, path }, juce::StringArray { "update.syx" } })
    {
        EXPECT_FALSE (d.isInterestedInFileDrag (refused)) << refused.joinIntoString (",");
        d.filesDropped (refused, 10, 10);
    }
    EXPECT_EQ (shows(), offerCarried);

    ASSERT_TRUE (d.isInterestedInFileDrag ({ path }));
    d.fileDragEnter ({ path }, 10, 10);
    EXPECT_EQ (argb (saveSnapshot (d, "firmware-file-dragged-over"), 30, 30), 0xFF808080u);
    d.filesDropped ({ path }, 10, 10);
    EXPECT_EQ (argb (snapshot (d), 30, 30), 0xFF201717u);
    EXPECT_EQ (shows(), "Firmware Update | Update pedal firmware from " + path.toStdString() + "? | OK (3) Cancel (0) | toggle on");

    press ("OK");
    EXPECT_TRUE (d.getFlow().isFlashing());
    EXPECT_EQ (d.getNumButtons(), 0);
    EXPECT_EQ (enterBootloaderSent(), 1);
    ASSERT_TRUE (runUntil ([&d] { return d.getFlow().getProgress() > 0.0; })) << "the flash under way";
    saveSnapshot (parent, "firmware-updating");

    ASSERT_TRUE (runUntilState (Flow::updateComplete));
    EXPECT_EQ (shows(), complete);
    EXPECT_EQ (rig.pedal.getBootloader().getMessages().size(), 7u) << "the file, not the carried image";
    EXPECT_EQ (rig.findDevice()->getDriver().getFirmwareVersion(), 0x000107);
    press ("OK");
    EXPECT_EQ (results, std::vector<int> { 0 });
}

TEST_F (FirmwareDialogTest, ADroppedFileThatIsNoWholeFirmwareNeverSendsThePedalIntoItsBootloader)
{
    attachPedal();
    auto* attached = pedal.device;
    ASSERT_NE (attached, nullptr);

    for (const auto& c : HostileFirmware::syxFiles (smallFirmware (0x000107)))
    {
        SCOPED_TRACE (c.what);
        results.clear();
        files.write ("hostile.syx", c.bytes);
        ASSERT_TRUE (open (VersionQuery::queryFirmwareRequired));
        dialog().filesDropped ({ files.folder.getChildFile ("hostile.syx").getFullPathName() }, 10, 10);
        press ("OK");

        ASSERT_TRUE (runUntilState (Flow::updateComplete));
        EXPECT_EQ (shows(), "Firmware Update | Failed to load update file | OK (0)");
        press ("OK");
        EXPECT_EQ (results, std::vector<int> { -1 });
    }

    EXPECT_EQ (enterBootloaderSent(), 0);
    EXPECT_EQ (rig.findDevice(), attached) << "the pedal stayed as it was";
    EXPECT_TRUE (rig.pedal.getBootloader().getMessages().empty());
}

TEST_F (FirmwareDialogTest, ADroppedFilesPathTakesThreeRowsBrokenAfterItsFoldersAtFullSize)
{
    // The gap between the title and the message, and the drawn lines, in a picture of the dialog.
    const auto measure = [this] (const juce::String& picture)
    {
        const auto image = saveSnapshot (dialog(), picture);
        const auto rows = inkRows (image, dialog().getLocalBounds().reduced (12, 10));
        EXPECT_GE (rows.size(), 3u) << picture;
        return rows.size() < 2 ? 0 : rows[1].getStart() - rows[0].getEnd();
    };

    // The dialog's own three-row messages, and a one-row one.
    ASSERT_TRUE (open (VersionQuery::queryPluginAvailable, 0x000301));
    const auto threeRowGap = measure ("firmware-plugin-offered");
    ASSERT_TRUE (open (VersionQuery::queryFirmwareRequired));
    const auto oneRowGap = measure ("firmware-carried-image-offered");
    EXPECT_GE (oneRowGap, 20);
    EXPECT_GE (threeRowGap, 12);

    const struct
    {
        const char* path;
        const char* picture;
        std::vector<std::string> lines;
    } drops[] = {
        { "/home/anna/Downloads/QZR-firmware/QZR-1A2B-firmware-v0.1.7.syx", "firmware-file-dropped",
          { "Update pedal firmware from", "/home/anna/Downloads/QZR-firmware/", "QZR-1A2B-firmware-v0.1.7.syx?" } },
        { "/home/anna/update.syx", "firmware-short-file-dropped", { "Update pedal firmware from", "/home/anna/update.syx?" } },
    };

    for (const auto& drop : drops)
    {
        SCOPED_TRACE (drop.path);
        ASSERT_TRUE (open (VersionQuery::queryFirmwareRequired));
        dialog().filesDropped ({ drop.path }, 10, 10);
        ASSERT_EQ (dialog().getFlow().getDroppedFile(), drop.path);

        const auto& message = dialog().getMessageLabel();
        EXPECT_EQ ((int) message.getProperties().getWithDefault ("nrows", 1), 3);
        EXPECT_EQ (message.getDrawnScale(), 1.0f);
        EXPECT_EQ (drawnLines (message), drop.lines);
        EXPECT_GE (measure (drop.picture), threeRowGap) << "the title keeps at least the gap of the other three-row messages";
    }
}

TEST_F (FirmwareDialogTest, AFlashThatCannotStartEndsWithItsReasonAndItsResult)
{
    const auto file = writeFirmwareFile ("update.syx", 0x000108);
    const auto broken = files.folder.getChildFile ("broken.syx");
    ASSERT_TRUE (broken.replaceWithText ("not firmware"));
    const std::string timedOut = "Firmware Update | Operation timeout\n\nDevice not found\nor not ready | Retry (3) Cancel (0)";
    rig.unplugAndScan();

    const struct
    {
        const char* what;
        juce::File dropped;
        std::vector<const char*> answers; // after the first outcome
        std::string firstShown;
        int result;
    } cases[] = {
        { "unreadable data", broken, { "OK" }, "Firmware Update | Failed to load update file | OK (0)", -1 },
        { "no bootloader, cancelled", file, { "Cancel" }, timedOut, 2 },
        { "no bootloader, then one for the retry", file, { "Retry", "OK" }, timedOut, 0 },
    };

    for (const auto& c : cases)
    {
        SCOPED_TRACE (c.what);
        results.clear();
        ASSERT_TRUE (open (VersionQuery::queryFirmwareRequired));
        dialog().filesDropped ({ c.dropped.getFullPathName() }, 10, 10);
        press ("OK");

        // No bootloader: the sixty-second wait, driven; data that does not load waits for none.
        auto* job = dialog().getFlow().getUpdateController();
        EXPECT_EQ (job->getTimerInterval (FirmwareUpdateController::waitTimerId), c.result == -1 ? 0 : 60000);
        ASSERT_TRUE (runUntil ([this] { return ! dialog().getFlow().isFlashing() || dialog().getMessage().startsWith ("Waiting for device"); }));
        if (dialog().getFlow().isFlashing())
            job->timerCallback (FirmwareUpdateController::waitTimerId);
        ASSERT_TRUE (runUntil ([this] { return ! dialog().getFlow().isFlashing(); }));
        EXPECT_EQ (shows(), c.firstShown);
        saveSnapshot (dialog(), "firmware-ended");

        for (const auto* answer : c.answers)
        {
            if (juce::String (answer) == "Retry")
            {
                rig.pedal.publishBootloader (UsbBootDevice::pedalBootloaderName);
                press (answer);
                EXPECT_NE (dialog().getFlow().getUpdateController(), job) << "a new job";
                ASSERT_TRUE (runUntilState (Flow::updateComplete));
                EXPECT_EQ (shows(), complete);
                continue;
            }
            press (answer);
        }
        EXPECT_EQ (results, std::vector<int> { c.result });
    }
}

//==============================================================================
TEST_F (FirmwareDialogTest, ClosingTheEditorMidFlashStopsTheTransfer)
{
    attachPedal();
    ASSERT_TRUE (open (VersionQuery::queryFirmwareRequired));
    press ("OK");
    auto& bootloader = rig.pedal.getBootloader();
    ASSERT_TRUE (runUntil ([&bootloader] { return bootloader.getMessages().size() >= 20; }));

    // The flash job is gone with the dialog; what it had sent is all there is.
    manager.reset();
    rig.drain();
    const auto sent = bootloader.getMessages().size();
    deliverPostedMessages();
    rig.drain();
    EXPECT_EQ (bootloader.getMessages().size(), sent) << "nothing is sent once the dialog has gone";
    EXPECT_NE (bootloader.getState(), EmulatedBootloader::State::flashed);
    EXPECT_TRUE (results.empty());
}

// From the start of a download that will flash, the pedal is claimed for the
// whole process and nothing replaces the dialog; cancelled while it downloads,
// the dialog never goes on to flash and lets the pedal go.
TEST_F (FirmwareDialogTest, ADialogCancelledWhileDownloadingNeverGoesOnToFlash)
{
    attachPedal();
    ASSERT_NO_FATAL_FAILURE (offerOnlineFirmware (serveFirmware (0x010300)));
    press ("OK");
    auto& cancelled = dialog();
    EXPECT_TRUE (cancelled.getFlow().isFlashing());
    EXPECT_TRUE (rig.getManager().getFlashes().isFlashing (LinkRig::pedalName));
    EXPECT_FALSE (manager->alert_pedalOptions (juce::ValueTree ("DEVICE"), false, [] (int, juce::ValueTree&) {}));

    // The download ends, and its completion still waits in the message queue
    // when "Cancel" is clicked (without running the loop).
    ASSERT_TRUE (cancelled.getFlow().getDownloadController()->waitForThreadToExit ((int) patience.count())) << "the download ends";
    ASSERT_EQ (cancelled.getFlow().getDownloadController()->getResult(), FirmwareDownloadController::downloadSucceeded);
    cancelled.buttonClicked (findButton (cancelled, "Cancel"));
    EXPECT_EQ (results, std::vector<int> { 1 }) << "a check ran before";
    EXPECT_FALSE (rig.getManager().getFlashes().isFlashing (LinkRig::pedalName));

    cancelled.getFlow().threadComplete (false);
    EXPECT_EQ (cancelled.getFlow().getUpdateController(), nullptr);
    deliverPostedMessages();
    rig.drain();
    EXPECT_EQ (enterBootloaderSent(), 0);
    EXPECT_EQ (results, std::vector<int> { 1 });
}
