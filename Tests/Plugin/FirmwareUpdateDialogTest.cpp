#include "Devices/FirmwareImage.h"
#include "Support/FirmwareDialogRig.h"

#include <gtest/gtest.h>

namespace
{
using State = FirmwareUpdateComponent::State;

const std::string site = "www.example.com";
const std::string checking = "Checking for updates | Checking online for new plugin & firmware updates... | Cancel (0)";
const std::string offerCarried = "Firmware Update | Update pedal firmware to v0.1.5? | OK (3) Cancel (0) | toggle on";

struct FirmwareDialogTest : ::testing::Test, FirmwareDialogRig
{
    int enterBootloaderSent() const { return rig.pedal.countReceived (Sysex::SystemGroup, Sysex::EnterBootloader); }
};
} // namespace

//==============================================================================
TEST_F (FirmwareDialogTest, ACheckEndsInTheStateItsAnswerSelectsAndClosingReportsOne)
{
    const struct
    {
        const char* what;
        int pedalVersion;
        std::string versionFile; // empty: none is served
        State state;
        std::string shown;
    } cases[] = {
        { "no version file", 0x010203, "", FirmwareUpdateComponent::checkFailed,
          "Checking for updates | Unable to download version information.\nPlease go to " + site
              + " to check\nfor updates. | Visit website (1) Close (0) | toggle on" },
        { "nothing newer", 0x010203, R"({"pluginVersion":"0.2.0","firmwareVersion":"1.2.3"})", FirmwareUpdateComponent::upToDate,
          "Checking for updates | Already up-to-date | Close (0) | toggle on" },
        { "a newer plug-in", 0x010203, R"({"pluginVersion":"0.3.1","firmwareVersion":"9.0.0"})",
          FirmwareUpdateComponent::pluginUpdateAvailable,
          "Plugin Update | Plugin update v0.3.1 is available.\nPlease go to " + site
              + " to download\nand install this update. | Visit website (1) Close (0) | toggle on" },
        { "newer firmware online", 0x010203, R"({"pluginVersion":"0.2.0","firmwareVersion":"1.3.0"})",
          FirmwareUpdateComponent::onlineUpdateAvailable,
          "Firmware Update | Download & update pedal firmware to v1.3.0? | OK (2) Cancel (0) | toggle on" },
        { "a pedal older than the carried image", 0x000100, R"({"pluginVersion":"0.2.0","firmwareVersion":"1.3.0"})",
          FirmwareUpdateComponent::embeddedUpdateAvailable, offerCarried },
    };

    for (const auto& c : cases)
    {
        SCOPED_TRACE (c.what);
        attachPedal (c.pedalVersion);
        server.serve (versionPath, c.versionFile.empty() ? LoopbackHttpServer::text ("", 404) : LoopbackHttpServer::text (c.versionFile));
        results.clear();

        ASSERT_TRUE (open (VersionQuery::queryFailed));
        EXPECT_EQ (shows(), checking);
        saveSnapshot (dialog(), "firmware-checking");
        ASSERT_TRUE (runUntil ([this] { return dialog().getState() != FirmwareUpdateComponent::checking; }));
        EXPECT_EQ (dialog().getState(), c.state);
        EXPECT_EQ (shows(), c.shown);
        saveSnapshot (dialog(), juce::String ("firmware-state-") + juce::String ((int) c.state));

        press (c.shown.find ("Close (0)") != std::string::npos ? "Close" : "Cancel");
        EXPECT_EQ (results, std::vector<int> { 1 });
        EXPECT_FALSE (manager->alert.isShowing());
    }

    EXPECT_TRUE (rig.pedal.getReceivedMessages().empty()) << "a check never touches the pedal";
}

TEST_F (FirmwareDialogTest, OpenedWithAnAnswerItOffersAtOnceWithoutAsking)
{
    const struct
    {
        int status;
        juce::uint32 version;
        std::string shown;
    } cases[] = {
        { VersionQuery::queryFirmwareRequired, 0, offerCarried },
        { VersionQuery::queryFirmwareAvailable, 0x010300, "Firmware Update | Download & update pedal firmware to v1.3.0? | OK (2) Cancel (0) | toggle on" },
        { VersionQuery::queryPluginAvailable, 0x000301, "Plugin Update | Plugin update v0.3.1 is available.\nPlease go to " + site
                                                             + " to download\nand install this update. | Visit website (1) Close (0) | toggle on" },
    };

    for (const auto& c : cases)
    {
        ASSERT_TRUE (open (c.status, c.version));
        EXPECT_EQ (shows(), c.shown);
    }

    // The carried image, whatever version the opener named.
    ASSERT_TRUE (open (VersionQuery::queryFirmwareRequired, 0x090909));
    EXPECT_EQ ((juce::uint32) dialog().getVersion(), FirmwareImage::getFirmwareVersion());
    EXPECT_EQ (dialog().getFirmware(), FirmwareImage::getPayload());
    EXPECT_EQ (dialog().getFirmware().getSize(), (size_t) FirmwareImage::carriedPayloadLength);

    runUntil ([] { return false; }, 100);
    EXPECT_TRUE (server.getRequests().empty());

    // A closed offer reports 0: nothing ran.
    press ("Cancel");
    EXPECT_EQ (results, std::vector<int> { 0 });
}

TEST_F (FirmwareDialogTest, CancelWhileCheckingReportsZeroAndEndsTheCheck)
{
    LoopbackHttpServer::Reply stall;
    stall.stall = true;
    server.serve (versionPath, stall);

    ASSERT_TRUE (open (VersionQuery::queryUpToDate));
    ASSERT_TRUE (server.waitForRequests (1));
    const juce::Component::SafePointer<juce::Component> box (&dialog());
    press ("Cancel");

    EXPECT_EQ (results, std::vector<int> { 0 });
    ASSERT_TRUE (runUntil ([&box] { return box == nullptr; }, 5000)) << "the stalled check is let go at once";
}

TEST_F (FirmwareDialogTest, VisitWebsiteOpensOnlyAWebAddressAndReportsZero)
{
    const struct
    {
        std::string pluginInfoURL; // empty: none in the version file
        std::string opened;
    } cases[] = {
        { "https://www.example.org/pellion/news", "open https://www.example.org/pellion/news" },
        { "", "open https://www.example.com/pellion/" },
        { "file:///etc/passwd", "open https://www.example.com/pellion/" },
        { "https://x.example.com/$(reboot)", "open https://www.example.com/pellion/" },
    };

    for (const auto& c : cases)
    {
        SCOPED_TRACE (c.pluginInfoURL);
        serveVersionFile (R"({"pluginVersion":"0.3.0")" + (c.pluginInfoURL.empty() ? "" : R"(,"pluginInfoURL":")" + c.pluginInfoURL + "\"") + "}");
        desktop.calls.clear();
        results.clear();

        ASSERT_TRUE (open (VersionQuery::queryUpToDate));
        ASSERT_TRUE (runUntilState (FirmwareUpdateComponent::pluginUpdateAvailable));
        press ("Visit website");

        EXPECT_EQ (desktop.calls, std::vector<std::string> { c.opened });
        EXPECT_EQ (results, std::vector<int> { 0 });
    }
}

TEST_F (FirmwareDialogTest, TheToggleWritesTheSettingAtOnceAndItHoldsForTheNextDialog)
{
    ASSERT_TRUE (open (VersionQuery::queryFirmwareRequired));
    auto* toggle = dialog().getAutoCheckToggle();
    ASSERT_NE (toggle, nullptr);
    EXPECT_TRUE (toggle->getToggleState()) << "on while the setting is absent";

    click (*toggle);
    EXPECT_TRUE (settings.containsKey ("checkForUpdates"));
    EXPECT_FALSE (settings.getBoolValue ("checkForUpdates", true));
    EXPECT_TRUE (results.empty());

    press ("Cancel");
    ASSERT_TRUE (open (VersionQuery::queryPluginAvailable, 0x000300));
    EXPECT_FALSE (dialog().getAutoCheckToggle()->getToggleState());
    click (*dialog().getAutoCheckToggle());
    EXPECT_TRUE (settings.getBoolValue ("checkForUpdates", false));
}

//==============================================================================
TEST_F (FirmwareDialogTest, OnlineFirmwareIsDownloadedFlashedIntoTheAttachedPedalAndReportsZero)
{
    attachPedal();
    const auto archive = serveFirmware (0x010300);
    serveVersionFile (R"({"pluginVersion":"0.2.0","firmwareVersion":"1.3.0","firmwareURL":")" + archive + "\"}");

    ASSERT_TRUE (open (VersionQuery::queryUpToDate));
    ASSERT_TRUE (runUntilState (FirmwareUpdateComponent::onlineUpdateAvailable));
    press ("OK");
    EXPECT_EQ (dialog().getState(), FirmwareUpdateComponent::downloading);
    EXPECT_EQ (shows(), "Firmware Update | Download & update pedal firmware to v1.3.0? | Cancel (0)");
    saveSnapshot (dialog(), "firmware-downloading");

    ASSERT_TRUE (runUntilState (FirmwareUpdateComponent::updateComplete));

    EXPECT_EQ (shows(), "Firmware Update | Update complete | OK (0)");
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
    const struct
    {
        const char* what;
        std::function<std::string()> address;
        std::string message;
    } cases[] = {
        { "no archive", [this] { return server.address ("/missing.zip"); }, "Download failed" },
        { "no address", [] { return std::string(); }, "Download failed" },
        { "no update file in the archive", [this]
          {
              server.serve ("/readme.zip", LoopbackHttpServer::text (toString (makeZip ({ { "readme.txt", "hello" } }))));
              return server.address ("/readme.zip");
          },
          "Downloaded file is not valid" },
    };

    attachPedal();
    for (const auto& c : cases)
    {
        SCOPED_TRACE (c.what);
        const auto address = c.address();
        serveVersionFile (R"({"pluginVersion":"0.2.0","firmwareVersion":"1.3.0")"
                          + (address.empty() ? "" : R"(,"firmwareURL":")" + address + "\"") + "}");
        results.clear();

        ASSERT_TRUE (open (VersionQuery::queryUpToDate));
        ASSERT_TRUE (runUntilState (FirmwareUpdateComponent::onlineUpdateAvailable));
        press ("OK");
        ASSERT_TRUE (runUntilState (FirmwareUpdateComponent::downloadFailed));
        EXPECT_EQ (shows(), "Firmware Update | " + c.message + " | Close (0)");
        saveSnapshot (dialog(), "firmware-download-failed");

        press ("Close");
        EXPECT_EQ (results, std::vector<int> { 1 });
    }

    EXPECT_EQ (enterBootloaderSent(), 0);
}

//==============================================================================
TEST_F (FirmwareDialogTest, OnlyOneDroppedSyxFileIsTakenAndOnlyWhileTheCarriedImageIsOffered)
{
    const auto good = writeFirmwareFile ("update.syx", 0x000107);
    const auto upper = writeFirmwareFile ("UPDATE.SYX", 0x000107);
    const auto other = writeFirmwareFile ("update.bin", 0x000107);

    ASSERT_TRUE (open (VersionQuery::queryFirmwareAvailable, 0x010300));
    EXPECT_FALSE (dialog().isInterestedInFileDrag ({ good.getFullPathName() })) << "not while a download is offered";

    ASSERT_TRUE (open (VersionQuery::queryFirmwareRequired));
    auto& d = dialog();
    EXPECT_FALSE (d.isInterestedInFileDrag ({ upper.getFullPathName() }));
    EXPECT_FALSE (d.isInterestedInFileDrag ({ other.getFullPathName() }));
    EXPECT_FALSE (d.isInterestedInFileDrag ({ good.getFullPathName(), good.getFullPathName() }));
    EXPECT_FALSE (d.isInterestedInFileDrag ({ "update.syx" }));
    d.filesDropped ({ upper.getFullPathName() }, 10, 10);
    EXPECT_EQ (shows(), offerCarried);

    ASSERT_TRUE (d.isInterestedInFileDrag ({ good.getFullPathName() }));
    d.fileDragEnter ({ good.getFullPathName() }, 10, 10);
    const auto dragged = saveSnapshot (d, "firmware-file-dragged-over");
    EXPECT_EQ (argb (dragged, 30, 30), 0xFF808080u);
    d.fileDragExit ({ good.getFullPathName() });
    EXPECT_EQ (argb (snapshot (d), 30, 30), 0xFF201717u);

    d.fileDragEnter ({ good.getFullPathName() }, 10, 10);
    d.filesDropped ({ good.getFullPathName() }, 10, 10);
    EXPECT_FALSE (d.isDragOver());
    EXPECT_EQ (d.getState(), FirmwareUpdateComponent::embeddedUpdateAvailable);
    EXPECT_EQ (shows(), "Firmware Update | Update pedal firmware from " + good.getFullPathName().toStdString()
                            + "? | OK (3) Cancel (0) | toggle on");
    saveSnapshot (d, "firmware-file-dropped");
}

TEST_F (FirmwareDialogTest, ADroppedFileIsFlashedInsteadOfTheCarriedImage)
{
    attachPedal();
    const auto file = writeFirmwareFile ("update.syx", 0x000107);

    ASSERT_TRUE (open (VersionQuery::queryFirmwareRequired));
    dialog().filesDropped ({ file.getFullPathName() }, 10, 10);
    press ("OK");

    EXPECT_TRUE (dialog().isFlashing());
    EXPECT_EQ (dialog().getNumButtons(), 0);
    EXPECT_EQ (enterBootloaderSent(), 1);
    EXPECT_FALSE (rig.findDevice() != nullptr && rig.findDevice()->getDriver().isAudioDeviceOpen());
    runUntil ([this] { return dialog().getProgress() > 0.0; }, 5000);
    saveSnapshot (parent, "firmware-updating");

    ASSERT_TRUE (runUntilState (FirmwareUpdateComponent::updateComplete));
    EXPECT_EQ (shows(), "Firmware Update | Update complete | OK (0)");
    EXPECT_EQ (rig.pedal.getBootloader().getMessages().size(), 7u) << "the file, not the carried image";
    EXPECT_EQ (rig.findDevice()->getDriver().getFirmwareVersion(), 0x000107);
    saveSnapshot (dialog(), "firmware-complete");

    press ("OK");
    EXPECT_EQ (results, std::vector<int> { 0 });
}

TEST_F (FirmwareDialogTest, UpdateDataThatCannotBeLoadedEndsWithItsReasonAndReportsMinusOne)
{
    const auto broken = files.folder.getChildFile ("broken.syx");
    ASSERT_TRUE (broken.replaceWithText ("not firmware"));

    ASSERT_TRUE (open (VersionQuery::queryFirmwareRequired));
    dialog().filesDropped ({ broken.getFullPathName() }, 10, 10);
    press ("OK");

    ASSERT_TRUE (runUntilState (FirmwareUpdateComponent::updateComplete));
    EXPECT_EQ (shows(), "Firmware Update | Failed to load update file | OK (0)");
    press ("OK");
    EXPECT_EQ (results, std::vector<int> { -1 });
}

TEST_F (FirmwareDialogTest, NoBootloaderInTimeOffersRetryWhichFlashesOnceOneAppears)
{
    const auto file = writeFirmwareFile ("update.syx", 0x000108);
    rig.unplugAndScan();

    for (const auto& [answer, result] : { std::pair ("Cancel", 2), std::pair ("Retry", 0) })
    {
        SCOPED_TRACE (answer);
        results.clear();
        ASSERT_TRUE (open (VersionQuery::queryFirmwareRequired));
        dialog().filesDropped ({ file.getFullPathName() }, 10, 10);
        press ("OK");

        auto* job = dialog().getUpdateController();
        ASSERT_NE (job, nullptr);
        ASSERT_TRUE (job->isTimerRunning (FirmwareUpdateController::waitTimerId));
        EXPECT_EQ (job->getTimerInterval (FirmwareUpdateController::waitTimerId), 60000);
        ASSERT_TRUE (runUntil ([this] { return dialog().getMessage().startsWith ("Waiting for device"); }));
        job->timerCallback (FirmwareUpdateController::waitTimerId); // the sixty seconds, driven

        ASSERT_TRUE (runUntilState (FirmwareUpdateComponent::updateFailed));
        EXPECT_EQ (shows(), "Firmware Update | Operation timeout\n\nDevice not found\nor not ready | Retry (3) Cancel (0)");
        saveSnapshot (dialog(), "firmware-timeout");

        juce::String closing (answer);
        if (result == 0)
        {
            rig.pedal.publishBootloader (UsbBootDevice::pedalBootloaderName);
            press (answer);
            EXPECT_NE (dialog().getUpdateController(), job) << "a new job";
            ASSERT_TRUE (runUntilState (FirmwareUpdateComponent::updateComplete));
            EXPECT_EQ (shows(), "Firmware Update | Update complete | OK (0)");
            closing = "OK";
        }

        press (closing);
        EXPECT_EQ (results, std::vector<int> { result });
    }
}

TEST_F (FirmwareDialogTest, ClosingTheEditorMidFlashStopsTheCarriedImagesTransfer)
{
    attachPedal();
    ASSERT_TRUE (open (VersionQuery::queryFirmwareRequired));
    press ("OK");
    EXPECT_EQ (enterBootloaderSent(), 1);

    auto& bootloader = rig.pedal.getBootloader();
    ASSERT_TRUE (runUntil ([&bootloader] { return bootloader.getMessages().size() >= 20; }));
    EXPECT_GT (dialog().getProgress(), 0.0);

    // The carried image's own messages, in order.
    juce::MidiBuffer carried;
    ASSERT_TRUE (FirmwareUpdateController::loadBuffer (carried, FirmwareImage::getPayload()));
    const auto received = bootloader.getMessages();
    size_t i = 0;
    for (const auto event : carried)
    {
        if (i == received.size())
            break;
        EXPECT_EQ (received[i++], Bytes (event.data, event.data + event.numBytes));
    }

    manager.reset();
    const auto sent = bootloader.getMessages().size();
    runUntil ([] { return false; }, 200);
    EXPECT_EQ (bootloader.getMessages().size(), sent) << "nothing is sent once the dialog has gone";
    EXPECT_NE (bootloader.getState(), EmulatedBootloader::State::flashed);
    EXPECT_TRUE (results.empty());
}

TEST_F (FirmwareDialogTest, ADialogReplacedWhileDownloadingNeverGoesOnToFlash)
{
    attachPedal();
    const auto archive = serveFirmware (0x010300);
    serveVersionFile (R"({"pluginVersion":"0.2.0","firmwareVersion":"1.3.0","firmwareURL":")" + archive + "\"}");
    ASSERT_TRUE (open (VersionQuery::queryUpToDate));
    ASSERT_TRUE (runUntilState (FirmwareUpdateComponent::onlineUpdateAvailable));
    press ("OK");

    // The download ends, and its completion waits in the message queue while
    // the automatic Device Options prompt replaces the dialog.
    auto& replaced = dialog();
    auto* download = replaced.getDownloadController();
    ASSERT_NE (download, nullptr);
    ASSERT_TRUE (download->waitForThreadToExit (10000));
    ASSERT_EQ (download->getResult(), FirmwareDownloadController::downloadSucceeded);
    ASSERT_TRUE (manager->alert_pedalOptions (juce::ValueTree ("DEVICE"), false, [] (int, juce::ValueTree&) {}));

    replaced.threadComplete (false);
    EXPECT_EQ (replaced.getState(), FirmwareUpdateComponent::downloading);
    EXPECT_EQ (replaced.getUpdateController(), nullptr);
    runUntil ([] { return false; }, 200);
    EXPECT_EQ (enterBootloaderSent(), 0);
    EXPECT_TRUE (results.empty());
}
