#include "Updates/FirmwareUpdateFlow.h"

#include "Devices/FirmwareImage.h"
#include "Devices/Midi/SysexMessage.h"
#include "Settings/PluginSettings.h"
#include "Updates/UpdateServer.h"

namespace
{
const char* const checkingTitle = "Checking for updates";
} // namespace

FirmwareUpdateFlow::FirmwareUpdateFlow (UsbDevice::Holder* holder, const VersionQuery& query,
                                        juce::PropertySet& settingsToUse, Listener& listenerToUse)
    : deviceHolder (holder), versionQuery (query), settings (settingsToUse), listener (listenerToUse)
{
}

FirmwareUpdateFlow::~FirmwareUpdateFlow()
{
    // Deleting a job stops its thread; only then is the pedal free again.
    downloadController.reset();
    updateController.reset();
    queryController.reset();
    flashClaim.reset();
}

juce::String FirmwareUpdateFlow::websiteName()
{
    return juce::URL (UpdateServer::productPage).getDomain();
}

void FirmwareUpdateFlow::start()
{
    switch (versionQuery.status)
    {
        case VersionQuery::queryFirmwareRequired:
            version = versionQuery.version;
            return enterState (embeddedUpdateAvailable);
        case VersionQuery::queryFirmwareAvailable:
            version = versionQuery.version;
            return enterState (onlineUpdateAvailable);
        case VersionQuery::queryPluginAvailable:
            version = versionQuery.version;
            return enterState (pluginUpdateAvailable);
        default:
            return enterState (checking);
    }
}

//==============================================================================
// A state that sets no title or message keeps the last one: the offer while
// downloading, and a job's last status once it has ended.
void FirmwareUpdateFlow::enterState (State newState)
{
    buttons.clear();
    autoCheckOffered = false;
    progressShown = false;
    acceptsDrop = false;
    state = newState;
    claimPedalWhileFlashing();

    const auto versionText = [this] { return VersionNumber::versionStringFromNumber (version); };

    switch (newState)
    {
        case checking:
            title = checkingTitle;
            show ("Checking online for new plugin & firmware updates...");
            buttons = { { "Cancel", close } };
            queryController = std::make_unique<VersionQueryController>();
            queryController->addListener (this);
            queryController->launchThread();
            break;

        case checkFailed:
            title = checkingTitle;
            show ("Unable to download version information.\nPlease go to " + websiteName() + " to check\nfor updates.", 3);
            autoCheckOffered = true;
            buttons = { { "Visit website", visitWebsite }, { "Close", close } };
            break;

        case downloading:
            title = firmwareTitle;
            buttons = { { "Cancel", close } };
            break;

        case downloadFailed:
            buttons = { { "Close", close } };
            break;

        case updating:
            title = firmwareTitle;
            show ({});
            progressShown = true;
            progress = -1.0;
            break;

        case updateFailed:
            title = firmwareTitle;
            buttons = { { "Retry", flash }, { "Cancel", close } };
            break;

        case embeddedUpdateAvailable:
            title = firmwareTitle;
            version = VersionNumber::versionNumberFromString (versionToString ((int) FirmwareImage::getFirmwareVersion()));
            firmware = FirmwareImage::getPayload();
            show ("Update pedal firmware to v" + versionText() + "?");
            autoCheckOffered = true;
            buttons = { { "OK", flash }, { "Cancel", close } };
            acceptsDrop = true;
            break;

        case onlineUpdateAvailable:
            title = firmwareTitle;
            show ("Download & update pedal firmware to v" + versionText() + "?");
            autoCheckOffered = true;
            buttons = { { "OK", download }, { "Cancel", close } };
            firmware.reset();
            break;

        case pluginUpdateAvailable:
            title = "Plugin Update";
            show ("Plugin update v" + versionText() + " is available.\nPlease go to " + websiteName()
                      + " to download\nand install this update.",
                  3);
            autoCheckOffered = true;
            buttons = { { "Visit website", visitWebsite }, { "Close", close } };
            break;

        case upToDate:
            title = checkingTitle;
            show ("Already up-to-date");
            autoCheckOffered = true;
            buttons = { { "Close", close } };
            break;

        case updateComplete:
            title = firmwareTitle;
            buttons = { { "OK", close } };
            break;
    }

    listener.flowStateChanged();
}

void FirmwareUpdateFlow::show (const juce::String& text, int rows)
{
    message = text;
    messageRows = rows;
}

// Every instance in the process leaves the pedal alone while it is flashed: a
// claim from the start of the download or flash until the job has ended.
void FirmwareUpdateFlow::claimPedalWhileFlashing()
{
    if (! isFlashing())
        flashClaim.reset();
    else if (flashClaim == nullptr)
        flashClaim = pedalManager->getFlashes().claim (deviceHolder != nullptr && deviceHolder->getDevice() != nullptr
                                                           ? deviceHolder->getDevice()->getName()
                                                           : juce::String());
}

bool FirmwareUpdateFlow::isAutoCheckOn() const
{
    return settings.getBoolValue (PluginSettings::checkForUpdatesKey, true);
}

void FirmwareUpdateFlow::setAutoCheck (bool on)
{
    // Hovering changes the toggle's state too; only a new setting is written.
    if (isAutoCheckOn() != on)
        settings.setValue (PluginSettings::checkForUpdatesKey, on);
}

//==============================================================================
void FirmwareUpdateFlow::press (int action)
{
    if (dismissed)
        return;

    switch (action)
    {
        case close:
            if (updateController != nullptr)
                resultCode = updateController->getResult();
            return report (resultCode);

        case visitWebsite:
            // The address comes from the network: the view opens nothing but a plain web address.
            listener.flowOpensWebPage (versionQuery.properties.getValue ("pluginInfoURL", UpdateServer::productPage));
            return report (endedWell);

        case download:
            return startDownload();

        case flash:
            enterState (updating);
            return startUpdater();

        default:
            return;
    }
}

void FirmwareUpdateFlow::report (int code)
{
    listener.flowEnded (code);
}

void FirmwareUpdateFlow::startDownload()
{
    enterState (downloading);

    // Only "firmwareURL" names the archive; the download refuses an address it may not fetch.
    downloadController = std::make_unique<FirmwareDownloadController> (
        juce::URL (versionQuery.properties.getValue ("firmwareURL")));
    downloadController->addListener (this);
    downloadController->launchThread();
}

void FirmwareUpdateFlow::startUpdater()
{
    auto* device = deviceHolder != nullptr ? deviceHolder->getDevice() : nullptr;

    auto job = std::make_unique<FirmwareUpdateController> (firmware, droppedFile);
    // A dropped file's version is unknown; the image or the download must bring back the version offered.
    job->setExpectedFirmwareVersion (droppedFile.isEmpty() ? (juce::uint32) version : 0u);
    updateController = std::move (job);
    updateController->addListener (this);
    // Update data that fails its check never sends the pedal into its bootloader.
    if (updateController->start (device != nullptr) && device != nullptr)
    {
        auto& driver = device->getDriver();
        driver.releaseAudio();
        driver.sendSysExMessage (Sysex::SystemGroup, Sysex::EnterBootloader, nullptr, 0);
    }
}

//==============================================================================
void FirmwareUpdateFlow::setProgress (double newProgress)
{
    progress = newProgress;
    listener.flowProgressChanged();
}

void FirmwareUpdateFlow::setStatusMessage (const juce::String& text)
{
    show (text);
    listener.flowMessageChanged();
}

void FirmwareUpdateFlow::stopListening()
{
    for (ThreadWithProgress* job : { (ThreadWithProgress*) queryController.get(), (ThreadWithProgress*) updateController.get(),
                                     (ThreadWithProgress*) downloadController.get() })
        if (job != nullptr)
            job->removeListener (this);
}

void FirmwareUpdateFlow::dismiss()
{
    dismissed = true;
    stopListening();

    // Gone from the screen, it flashes nothing more: its job stops as it is deleted.
    flashClaim.reset();
}

void FirmwareUpdateFlow::threadComplete (bool ok)
{
    // A completion already queued when the dialog closed moves nothing on.
    stopListening();
    if (dismissed)
        return;

    switch (state)
    {
        case updating:
            enterState (updateController->getResult() == FirmwareUpdateController::flashDeviceNotFound ? updateFailed
                                                                                                      : updateComplete);
            break;

        case downloading:
            firmware = downloadController->getData();
            if (downloadController->getResult() == FirmwareDownloadController::downloadSucceeded)
            {
                enterState (updating);
                startUpdater();
            }
            else
            {
                enterState (downloadFailed);
            }
            break;

        case checking:
        {
            auto* device = deviceHolder != nullptr ? deviceHolder->getDevice() : nullptr;
            const VersionNumber pedalFirmware ((juce::uint32) (device != nullptr ? device->getDriver().getFirmwareVersion() : 0));
            versionQuery = queryController->getResult (pedalFirmware);
            version = versionQuery.version;

            switch (versionQuery.status)
            {
                case VersionQuery::queryFailed:            enterState (checkFailed); break;
                case VersionQuery::queryFirmwareRequired:  enterState (embeddedUpdateAvailable); break;
                case VersionQuery::queryFirmwareAvailable: enterState (onlineUpdateAvailable); break;
                case VersionQuery::queryPluginAvailable:   enterState (pluginUpdateAvailable); break;
                default:                                   enterState (upToDate); break;
            }
            break;
        }

        default:
            break;
    }

    if (! ok)
        resultCode = endedAfterJob;
}

//==============================================================================
bool FirmwareUpdateFlow::acceptsFiles (const juce::StringArray& files) const
{
    return files.size() == 1 && acceptsDrop && juce::File::isAbsolutePath (files[0])
        && juce::File (files[0]).getFileExtension() == ".syx";
}

void FirmwareUpdateFlow::dropFiles (const juce::StringArray& files)
{
    if (! acceptsFiles (files))
        return;

    droppedFile = files[0];
    // A path takes lines of its own: three rows, as the other long messages have.
    show ("Update pedal firmware from " + droppedFile + "?", 3);
    listener.flowMessageChanged();
}
