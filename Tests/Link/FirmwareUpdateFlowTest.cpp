#include "Devices/FirmwareImage.h"
#include "Support/AssertionCounter.h"
#include "Support/HostileFirmware.h"
#include "Support/UpdateRig.h"
#include "Updates/FirmwareUpdateFlow.h"
#include "Utilities/InputLimits.h"

#include <gtest/gtest.h>
#include <map>

namespace
{
using Flow = FirmwareUpdateFlow;
using Strings = std::vector<std::string>;

const std::string site = "www.example.com";
const std::string checking = "Checking for updates | Checking online for new plugin & firmware updates... | Cancel (0)";
const std::string offerCarried = "Firmware Update | Update pedal firmware to v0.1.5? | OK (3) Cancel (0) | toggle | drop";
const std::string offerDownload = "Firmware Update | Download & update pedal firmware to v1.3.0? | OK (2) Cancel (0) | toggle";
const std::string offerPlugin = "Plugin Update | Plugin update v0.3.1 is available.\nPlease go to " + site
                              + " to download\nand install this update. | Visit website (1) Close (0) | 3 rows | toggle";
const std::string flashing = "Firmware Update |  | | progress";
const std::string complete = "Firmware Update | Update complete | OK (0)";
const std::string timedOut = "Firmware Update | Operation timeout\n\nDevice not found\nor not ready | Retry (3) Cancel (0)";

// What a view of the flow shows: "title | message |", each button with its
// action, then the message's rows when more than one, the auto-check toggle,
// the progress bar, and whether a ".syx" file may be dropped.
std::string shows (const Flow& flow)
{
    auto text = (flow.getTitle() + " | " + flow.getMessage() + " |").toStdString();
    for (const auto& button : flow.getButtons())
        text += " " + button.text.toStdString() + " (" + std::to_string ((int) button.action) + ")";
    if (flow.getMessageRows() != 1)
        text += " | " + std::to_string (flow.getMessageRows()) + " rows";
    if (flow.offersAutoCheck())
        text += " | toggle";
    if (flow.showsProgress())
        text += " | progress";
    if (flow.acceptsFiles ({ "/home/anna/update.syx" }))
        text += " | drop";
    return text;
}

// The dialog's part, recorded: each state as the view would show it, each
// message, the pages opened and the results. A result closes the flow, as the
// editor closes the dialog.
struct RecordedView : Flow::Listener
{
    void flowStateChanged() override { lines.push_back ("state " + shows (*flow)); }
    void flowMessageChanged() override { lines.push_back ("message " + flow->getMessage().toStdString()); }
    void flowProgressChanged() override { ++progressCalls; }
    void flowOpensWebPage (const juce::String& address) override { pages.push_back (address.toStdString()); }

    void flowEnded (int result) override
    {
        results.push_back (result);
        flow->dismiss();
    }

    // The lines, each once until it changes, as the relay repeats a status at every tick.
    Strings changes() const
    {
        Strings found;
        for (const auto& line : lines)
            if (found.empty() || found.back() != line)
                found.push_back (line);
        return found;
    }

    Flow* flow = nullptr;
    Strings lines, pages;
    std::vector<int> results;
    int progressCalls = 0;
};

// Counts the writes to the settings.
struct CountedSettings : juce::PropertySet
{
    void propertyChanged() override { ++writes; }
    int writes = 0;
};

// The flow without its dialog, over the update rig. The message loop runs the
// jobs' relays, the scans and the MIDI.
class FirmwareUpdateFlowTest : public ::testing::Test, protected UpdateRig
{
protected:
    ~FirmwareUpdateFlowTest() override { flow.reset(); }

    // A flow as the editor opens its dialog, with the query's answer so far
    // and the version file's texts it carries.
    Flow& open (int status, juce::uint32 version = 0, const juce::String& firmwareAddress = {})
    {
        flow.reset();
        view = RecordedView();

        VersionQuery query;
        query.status = status;
        query.version = VersionNumber (version);
        if (firmwareAddress.isNotEmpty())
            query.properties.setValue ("firmwareURL", firmwareAddress);

        flow = std::make_unique<Flow> (&pedal, query, settings, view);
        view.flow = flow.get();
        flow->start();
        return *flow;
    }

    juce::String writeFirmwareFile (const std::string& name, const std::string& bytes)
    {
        files.write (name, bytes);
        return files.folder.getChildFile (name).getFullPathName();
    }

    ::testing::AssertionResult runUntil (const std::function<bool()>& done) { return rig.runUntil (done); }

    ::testing::AssertionResult runUntilState (Flow::State state)
    {
        return runUntil ([this, state] { return flow->getState() == state; });
    }

    bool pedalClaimed() { return rig.getManager().getFlashes().isFlashing (LinkRig::pedalName); }

    CountedSettings settings;
    RecordedView view;
    std::unique_ptr<Flow> flow;
};
} // namespace

//==============================================================================
// Offered at once by the query the dialog opens with, or found by a check of
// its own: each answer lands in its state, and closing it reports whether a job ran.
TEST_F (FirmwareUpdateFlowTest, EachWayInEndsInTheStateItsAnswerSelects)
{
    const std::map<Flow::State, std::string> shownIn = {
        { Flow::checkFailed, "Checking for updates | Unable to download version information.\nPlease go to " + site
                                 + " to check\nfor updates. | Visit website (1) Close (0) | 3 rows | toggle" },
        { Flow::upToDate, "Checking for updates | Already up-to-date | Close (0) | toggle" },
        { Flow::pluginUpdateAvailable, offerPlugin },
        { Flow::onlineUpdateAvailable, offerDownload },
        { Flow::embeddedUpdateAvailable, offerCarried },
    };

    for (const auto& c : waysIn())
    {
        SCOPED_TRACE (c.what);
        attachPedal (c.pedalVersion);
        serveVersionFileOf (c);

        auto& shown = open (c.status, c.version);
        Strings expected { "state " + shownIn.at (c.state) };
        if (! c.versionFile.empty())
        {
            EXPECT_EQ (shows (shown), checking);
            ASSERT_TRUE (runUntil ([&shown] { return shown.getState() != Flow::checking; }));
            expected.insert (expected.begin(), "state " + checking);
        }
        EXPECT_EQ (shown.getState(), c.state);
        EXPECT_EQ (view.lines, expected);

        if (c.state == Flow::embeddedUpdateAvailable)
        {
            EXPECT_EQ ((juce::uint32) shown.getVersion(), FirmwareImage::getFirmwareVersion());
            EXPECT_EQ (shown.getFirmware(), FirmwareImage::getPayload());
        }

        shown.press (Flow::close);
        EXPECT_EQ (view.results, std::vector<int> { c.result });
        EXPECT_TRUE (rig.pedal.getReceivedMessages().empty()) << "none of this touches the pedal";
    }
}

// From each offer, each of its buttons: what the flow moves to, what it
// reports, and whether it flashes (claiming the pedal for the whole process).
TEST_F (FirmwareUpdateFlowTest, EachButtonMovesTheFlowAsItsActionSays)
{
    const struct
    {
        const char* what;
        int status;
        juce::uint32 version;
        int action;
        Flow::State state;
        std::string shown;
        std::vector<int> results;
        Strings pages;
        int enterBootloader = 0;
    } cases[] = {
        { "Cancel on the carried image", 2, 0, Flow::close, Flow::embeddedUpdateAvailable, offerCarried, { 0 }, {} },
        { "Cancel on the online firmware", 3, 0x010300, Flow::close, Flow::onlineUpdateAvailable, offerDownload, { 0 }, {} },
        { "Close on the plug-in", 4, 0x000301, Flow::close, Flow::pluginUpdateAvailable, offerPlugin, { 0 }, {} },
        { "Visit website on the plug-in", 4, 0x000301, Flow::visitWebsite, Flow::pluginUpdateAvailable, offerPlugin, { 0 },
          { "https://www.example.com/pellion/" } },
        { "a code no button carries", 2, 0, -100000, Flow::embeddedUpdateAvailable, offerCarried, {}, {} },
        { "OK on the online firmware", 3, 0x010300, Flow::download, Flow::downloading,
          "Firmware Update | Download & update pedal firmware to v1.3.0? | Cancel (0)", {}, {} },
        { "OK on the carried image", 2, 0, Flow::flash, Flow::updating, flashing, {}, {}, 1 },
    };

    for (const auto& c : cases)
    {
        SCOPED_TRACE (c.what);
        attachPedal();
        auto& shown = open (c.status, c.version);
        shown.press (c.action);

        EXPECT_EQ (shown.getState(), c.state);
        EXPECT_EQ (shows (shown), c.shown);
        EXPECT_EQ (view.results, c.results);
        EXPECT_EQ (view.pages, c.pages);
        EXPECT_EQ (shown.isFlashing(), c.state == Flow::downloading || c.state == Flow::updating);
        EXPECT_EQ (pedalClaimed(), shown.isFlashing());
        EXPECT_EQ (shown.getDownloadController() != nullptr, c.state == Flow::downloading);
        EXPECT_EQ (shown.getUpdateController() != nullptr, c.state == Flow::updating);
        EXPECT_EQ (enterBootloaderSent(), c.enterBootloader);
    }
}

TEST_F (FirmwareUpdateFlowTest, VisitWebsiteHandsOverTheVersionFilesPageElseTheMakers)
{
    const std::pair<std::string, std::string> cases[] = {
        { R"(,"pluginInfoURL":"https://www.example.org/pellion/news")", "https://www.example.org/pellion/news" },
        { "", "https://www.example.com/pellion/" },
    };

    for (const auto& [property, page] : cases)
    {
        serveVersionFile (R"({"pluginVersion":"0.3.0")" + property + "}");
        auto& shown = open (VersionQuery::queryUpToDate);
        ASSERT_TRUE (runUntilState (Flow::pluginUpdateAvailable));
        shown.press (Flow::visitWebsite);
        EXPECT_EQ (view.pages, Strings { page }) << "the view opens it only when it is a plain web address";
        EXPECT_EQ (view.results, std::vector<int> { 0 });
    }
}

TEST_F (FirmwareUpdateFlowTest, TheAutoCheckSettingIsOnWhileAbsentAndWrittenOnlyWhenItChanges)
{
    auto& shown = open (VersionQuery::queryFirmwareRequired);
    EXPECT_TRUE (shown.isAutoCheckOn());
    shown.setAutoCheck (true);
    EXPECT_EQ (settings.writes, 0);

    shown.setAutoCheck (false);
    shown.setAutoCheck (false);
    EXPECT_EQ (settings.writes, 1);
    EXPECT_FALSE (settings.getBoolValue ("checkForUpdates", true));
    EXPECT_FALSE (open (VersionQuery::queryPluginAvailable, 0x000300).isAutoCheckOn());
    EXPECT_TRUE (view.results.empty());
}

//==============================================================================
TEST_F (FirmwareUpdateFlowTest, OnlyOneSyxFileByItsFullPathIsTakenAndOnlyWhileTheCarriedImageIsOffered)
{
    const auto good = writeFirmwareFile ("update.syx", smallFirmware (0x000107));
    EXPECT_FALSE (open (VersionQuery::queryFirmwareAvailable, 0x010300).acceptsFiles ({ good }));
    EXPECT_FALSE (open (VersionQuery::queryPluginAvailable, 0x000301).acceptsFiles ({ good }));

    auto& shown = open (VersionQuery::queryFirmwareRequired);
    for (const juce::StringArray& refused : { juce::StringArray { writeFirmwareFile ("UPDATE.SYX", "") },
                                              juce::StringArray { writeFirmwareFile ("update.bin", "") },
                                              juce::StringArray { good, good }, juce::StringArray { "update.syx" },
                                              juce::StringArray() })
    {
        EXPECT_FALSE (shown.acceptsFiles (refused)) << refused.joinIntoString (",");
        shown.dropFiles (refused);
    }
    EXPECT_EQ (shows (shown), offerCarried);
    EXPECT_TRUE (shown.getDroppedFile().isEmpty());

    ASSERT_TRUE (shown.acceptsFiles ({ good }));
    shown.dropFiles ({ good });
    EXPECT_EQ (shown.getDroppedFile(), good);
    EXPECT_EQ (shows (shown), "Firmware Update | Update pedal firmware from " + good.toStdString()
                                  + "? | OK (3) Cancel (0) | 3 rows | toggle | drop");
    EXPECT_EQ (view.lines.back(), "message Update pedal firmware from " + good.toStdString() + "?");
}

TEST_F (FirmwareUpdateFlowTest, ADroppedFileThatIsNoWholeFirmwareNeverSendsThePedalIntoItsBootloader)
{
    attachPedal();
    auto* attached = pedal.device;
    ASSERT_NE (attached, nullptr);

    for (const auto& c : HostileFirmware::syxFiles (smallFirmware (0x000107)))
    {
        SCOPED_TRACE (c.what);
        auto& shown = open (VersionQuery::queryFirmwareRequired);
        shown.dropFiles ({ writeFirmwareFile ("hostile.syx", c.bytes) });
        shown.press (Flow::flash);
        EXPECT_EQ (shows (shown), flashing);

        ASSERT_TRUE (runUntilState (Flow::updateComplete));
        EXPECT_EQ (shows (shown), "Firmware Update | Failed to load update file | OK (0)");
        EXPECT_FALSE (pedalClaimed());
        shown.press (Flow::close);
        EXPECT_EQ (view.results, std::vector<int> { -1 });
    }

    EXPECT_EQ (enterBootloaderSent(), 0);
    EXPECT_EQ (rig.findDevice(), attached) << "the pedal stayed as it was";
    EXPECT_TRUE (rig.pedal.getBootloader().getMessages().empty());
}

//==============================================================================
// The completion of a download that ended just as the dialog closed still
// waits in the message queue: it moves nothing on.
TEST_F (FirmwareUpdateFlowTest, ADownloadCancelledAsItEndsNeverGoesOnToFlash)
{
    attachPedal();
    auto& cancelled = open (VersionQuery::queryFirmwareAvailable, 0x010300, serveFirmware (0x010300));
    cancelled.press (Flow::download);
    EXPECT_TRUE (pedalClaimed());

    ASSERT_TRUE (cancelled.getDownloadController()->waitForThreadToExit ((int) patience.count())) << "the download ends";
    ASSERT_EQ (cancelled.getDownloadController()->getResult(), FirmwareDownloadController::downloadSucceeded);
    cancelled.press (Flow::close);
    EXPECT_EQ (view.results, std::vector<int> { 0 }) << "no job had ended";
    EXPECT_FALSE (pedalClaimed());

    const auto lines = view.lines;
    cancelled.threadComplete (false);
    cancelled.press (Flow::flash);
    EXPECT_EQ (cancelled.getUpdateController(), nullptr);
    EXPECT_EQ (view.lines, lines);
    EXPECT_EQ (view.results, std::vector<int> { 0 });
    rig.drain();
    EXPECT_EQ (enterBootloaderSent(), 0);
}

// A version file and an archive that trickle in, 300 bytes every half second:
// too slowly to end before the fetch's deadline (seconds, and minutes, away),
// never slowly enough for the transfer's time-out. Deleting the flow, as the
// closed dialog goes, cancels its job at once: the thread ends by itself and
// the server sees the client hang up.
TEST_F (FirmwareUpdateFlowTest, ClosingTheDialogStopsTheRunningCheckOrDownload)
{
    server.serve (versionPath, LoopbackHttpServer::trickle (InputLimits::versionFileBytes - 1, 300, 500));
    server.serve ("/trickle.zip", LoopbackHttpServer::trickle (InputLimits::firmwareArchiveBytes - 1, 300, 500));
    const AssertionCounter assertions;

    open (VersionQuery::queryUpToDate);
    ASSERT_TRUE (server.waitForRequests (1));
    flow->press (Flow::close);
    EXPECT_EQ (view.results, std::vector<int> { 0 });
    flow.reset();
    EXPECT_TRUE (server.waitForHangUps (1)) << "the check was cancelled";

    open (VersionQuery::queryFirmwareAvailable, 0x010300, server.address ("/trickle.zip")).press (Flow::download);
    ASSERT_TRUE (server.waitForRequests (2));
    flow->press (Flow::close);
    flow.reset();
    EXPECT_TRUE (server.waitForHangUps (2)) << "the download was cancelled";
    EXPECT_EQ (assertions.count, 0) << "no thread was killed";
    EXPECT_EQ (enterBootloaderSent(), 0);
}

//==============================================================================
// Check, offer, download, flash, done: the whole way against the emulated pedal
// and its bootloader, the pedal claimed from the download until it is back.
TEST_F (FirmwareUpdateFlowTest, TheFirmwareFoundOnlineIsDownloadedAndFlashedIntoTheAttachedPedal)
{
    attachPedal();
    serveVersionFile (R"({"pluginVersion":"0.2.0","firmwareVersion":"1.3.0","firmwareURL":")" + serveFirmware (0x010300) + "\"}");
    auto& shown = open (VersionQuery::queryUpToDate);
    ASSERT_TRUE (runUntilState (Flow::onlineUpdateAvailable));
    EXPECT_FALSE (pedalClaimed());

    shown.press (Flow::download);
    EXPECT_TRUE (pedalClaimed());
    ASSERT_TRUE (runUntil ([&shown] { return shown.getState() != Flow::downloading; }));
    EXPECT_EQ (shown.getState(), Flow::updating);
    EXPECT_EQ (enterBootloaderSent(), 1);
    EXPECT_TRUE (pedalClaimed()) << "from the download to the end of the flash";

    ASSERT_TRUE (runUntil ([&shown] { return shown.getState() != Flow::updating; }));
    EXPECT_EQ (shows (shown), complete);
    EXPECT_FALSE (pedalClaimed());
    EXPECT_GT (shown.getProgress(), 0.0);
    EXPECT_GT (view.progressCalls, 0);
    EXPECT_EQ (rig.pedal.getBootloader().getMessages().size(), 7u);
    ASSERT_NE (rig.findDevice(), nullptr);
    EXPECT_EQ (rig.findDevice()->getDriver().getFirmwareVersion(), 0x010300);

    // Each state as it came, and the last status of each job before the next state.
    Strings seen;
    for (const auto& line : view.changes())
        if (line.rfind ("state ", 0) == 0 || line == "message Download complete" || line == "message Update complete")
            seen.push_back (line);
    EXPECT_EQ (seen, (Strings { "state " + checking, "state " + offerDownload,
                                "state Firmware Update | Download & update pedal firmware to v1.3.0? | Cancel (0)",
                                "message Download complete", "state " + flashing, "message Update complete", "state " + complete }));

    shown.press (Flow::close);
    EXPECT_EQ (view.results, std::vector<int> { 0 });
}

// No bootloader within the wait: the flash fails with its reason and offers a
// retry, which flashes with a new job once a bootloader is there.
TEST_F (FirmwareUpdateFlowTest, AFlashWithoutABootloaderFailsAndItsRetryFlashes)
{
    rig.unplugAndScan();
    auto& shown = open (VersionQuery::queryFirmwareRequired);
    shown.dropFiles ({ writeFirmwareFile ("update.syx", smallFirmware (0x000108)) });
    shown.press (Flow::flash);

    auto* job = shown.getUpdateController();
    ASSERT_NE (job, nullptr);
    EXPECT_EQ (job->getTimerInterval (FirmwareUpdateController::waitTimerId), 60000);
    ASSERT_TRUE (runUntil ([&shown] { return shown.getMessage().startsWith ("Waiting for device"); }));
    job->timerCallback (FirmwareUpdateController::waitTimerId);
    ASSERT_TRUE (runUntil ([&shown] { return ! shown.isFlashing(); }));
    EXPECT_EQ (shows (shown), timedOut);

    rig.pedal.publishBootloader (UsbBootDevice::pedalBootloaderName);
    shown.press (Flow::flash);
    EXPECT_NE (shown.getUpdateController(), job) << "a new job";
    ASSERT_TRUE (runUntilState (Flow::updateComplete));
    EXPECT_EQ (shows (shown), complete);
    EXPECT_EQ (rig.pedal.getBootloader().getMessages().size(), 7u);

    shown.press (Flow::close);
    EXPECT_EQ (view.results, std::vector<int> { 0 });
}
