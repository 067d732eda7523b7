#include "Components/Dialogs/FirmwareUpdateComponent.h"

#include "Devices/FirmwareImage.h"
#include "Devices/Midi/SysexMessage.h"
#include "PlatformServices/PlatformServices.h"
#include "Settings/PluginSettings.h"
#include "Updates/UpdateServer.h"

namespace
{
const char* const firmwareTitle = "Firmware Update";
const char* const checkingTitle = "Checking for updates";
} // namespace

FirmwareUpdateComponent::FirmwareUpdateComponent (UsbDevice::Holder* holder, const VersionQuery& query,
                                                  juce::PropertySet& settingsToUse, std::function<void (int)> callbackToUse)
    : AlertBoxComponent (firmwareTitle, {}, nullptr),
      deviceHolder (holder),
      versionQuery (query),
      settings (settingsToUse),
      resultCallback (std::move (callbackToUse))
{
}

FirmwareUpdateComponent::~FirmwareUpdateComponent()
{
    // The progress bar reads our progress: it goes first. Deleting a job stops
    // its thread; only then is the pedal free again.
    deleteAllRows();
    downloadController.reset();
    updateController.reset();
    queryController.reset();
    flashClaim.reset();
}

juce::String FirmwareUpdateComponent::websiteName()
{
    return juce::URL (UpdateServer::productPage).getDomain();
}

void FirmwareUpdateComponent::prepareInitialState()
{
    switch (versionQuery.status)
    {
        case VersionQuery::queryFirmwareRequired:
            version = versionQuery.version;
            return prepareState (embeddedUpdateAvailable);
        case VersionQuery::queryFirmwareAvailable:
            version = versionQuery.version;
            return prepareState (onlineUpdateAvailable);
        case VersionQuery::queryPluginAvailable:
            version = versionQuery.version;
            return prepareState (pluginUpdateAvailable);
        default:
            return prepareState (checking);
    }
}

//==============================================================================
void FirmwareUpdateComponent::prepareState (State newState)
{
    deleteAllRows();
    deleteAllButtons();
    autoCheckToggle = nullptr;
    acceptsDrop = false;
    state = newState;
    claimPedalWhileFlashing();

    const auto versionText = [this] { return VersionNumber::versionStringFromNumber (version); };

    switch (newState)
    {
        case checking:
            setTitleText (checkingTitle);
            setMessage ("Checking online for new plugin & firmware updates...");
            addButton ("Cancel", close);
            queryController = std::make_unique<VersionQueryController>();
            queryController->addListener (this);
            queryController->launchThread();
            break;

        case checkFailed:
            setTitleText (checkingTitle);
            setMessage ("Unable to download version information.\nPlease go to " + websiteName() + " to check\nfor updates.", 3);
            addAutoCheckToggle();
            addButton ("Visit website", visitWebsite);
            addButton ("Close", close);
            break;

        case downloading:
            setTitleText (firmwareTitle);
            addButton ("Cancel", close);
            break;

        case downloadFailed:
            addButton ("Close", close);
            break;

        case updating:
            setTitleText (firmwareTitle);
            setMessage ({});
            addRow (std::make_unique<juce::ProgressBar> (progress));
            progress = -1.0;
            break;

        case updateFailed:
            setTitleText (firmwareTitle);
            addButton ("Retry", flash);
            addButton ("Cancel", close);
            break;

        case embeddedUpdateAvailable:
            setTitleText (firmwareTitle);
            version = VersionNumber::versionNumberFromString (versionToString ((int) FirmwareImage::getFirmwareVersion()));
            firmware = FirmwareImage::getPayload();
            setMessage ("Update pedal firmware to v" + versionText() + "?");
            addAutoCheckToggle();
            addButton ("OK", flash);
            addButton ("Cancel", close);
            acceptsDrop = true;
            break;

        case onlineUpdateAvailable:
            setTitleText (firmwareTitle);
            setMessage ("Download & update pedal firmware to v" + versionText() + "?");
            addAutoCheckToggle();
            addButton ("OK", download);
            addButton ("Cancel", close);
            firmware.reset();
            break;

        case pluginUpdateAvailable:
            setTitleText ("Plugin Update");
            setMessage ("Plugin update v" + versionText() + " is available.\nPlease go to " + websiteName()
                            + " to download\nand install this update.",
                        3);
            addAutoCheckToggle();
            addButton ("Visit website", visitWebsite);
            addButton ("Close", close);
            break;

        case upToDate:
            setTitleText (checkingTitle);
            setMessage ("Already up-to-date");
            addAutoCheckToggle();
            addButton ("Close", close);
            break;

        case updateComplete:
            setTitleText (firmwareTitle);
            addButton ("OK", close);
            break;
    }

    updateLayout();
    repaint();
}

// Every instance in the process leaves the pedal alone while it is flashed: a
// claim from the start of the download or flash until the job has ended.
void FirmwareUpdateComponent::claimPedalWhileFlashing()
{
    if (! isFlashing())
        flashClaim.reset();
    else if (flashClaim == nullptr)
        flashClaim = pedalManager->getFlashes().claim (deviceHolder != nullptr && deviceHolder->getDevice() != nullptr
                                                           ? deviceHolder->getDevice()->getName()
                                                           : juce::String());
}

void FirmwareUpdateComponent::addAutoCheckToggle()
{
    autoCheckToggle = addToggleButton (autoCheckText, settings.getBoolValue (PluginSettings::checkForUpdatesKey, true));
}

//==============================================================================
void FirmwareUpdateComponent::buttonClicked (juce::Button* button)
{
    if (isDismissed())
        return;

    switch (button->getCommandID())
    {
        case close:
            if (updateController != nullptr)
                resultCode = updateController->getResult();
            return report (resultCode);

        case visitWebsite:
        {
            // The address comes from the network: anything but a plain web address gives way to our own page.
            auto address = versionQuery.properties.getValue ("pluginInfoURL", UpdateServer::productPage);
            if (! PlatformServices::isWebAddress (address))
                address = UpdateServer::productPage;

            PlatformServices::get().openWebPage (address);
            return report (0);
        }

        case download:
            return startDownload();

        case flash:
            prepareState (updating);
            return startUpdater();

        default:
            return;
    }
}

void FirmwareUpdateComponent::buttonStateChanged (juce::Button* button)
{
    if (button == nullptr || button != autoCheckToggle)
        return;

    // Hovering changes the button's state too; only a new setting is written.
    const auto on = button->getToggleState();
    if (settings.getBoolValue (PluginSettings::checkForUpdatesKey, true) != on)
        settings.setValue (PluginSettings::checkForUpdatesKey, on);
}

void FirmwareUpdateComponent::report (int code)
{
    if (resultCallback)
        resultCallback (code);
}

void FirmwareUpdateComponent::startDownload()
{
    prepareState (downloading);

    // Only "firmwareURL" names the archive; the download refuses an address it may not fetch.
    downloadController = std::make_unique<FirmwareDownloadController> (
        juce::URL (versionQuery.properties.getValue ("firmwareURL")));
    downloadController->addListener (this);
    downloadController->launchThread();
}

void FirmwareUpdateComponent::startUpdater()
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
void FirmwareUpdateComponent::setProgress (double newProgress)
{
    progress = newProgress;
}

void FirmwareUpdateComponent::setStatusMessage (const juce::String& text)
{
    setMessage (text);
    updateLayout();
    repaint();
}

void FirmwareUpdateComponent::stopListening()
{
    for (ThreadWithProgress* job : { (ThreadWithProgress*) queryController.get(), (ThreadWithProgress*) updateController.get(),
                                     (ThreadWithProgress*) downloadController.get() })
        if (job != nullptr)
            job->removeListener (this);
}

void FirmwareUpdateComponent::dismiss()
{
    AlertBoxComponent::dismiss();
    stopListening();

    // Gone from the screen, it flashes nothing more: its job stops as it is deleted.
    flashClaim.reset();
}

void FirmwareUpdateComponent::threadComplete (bool ok)
{
    // A completion already queued when the dialog closed moves nothing on.
    stopListening();
    if (isDismissed())
        return;

    switch (state)
    {
        case updating:
            prepareState (updateController->getResult() == FirmwareUpdateController::flashDeviceNotFound ? updateFailed
                                                                                                       : updateComplete);
            break;

        case downloading:
            firmware = downloadController->getData();
            if (downloadController->getResult() == FirmwareDownloadController::downloadSucceeded)
            {
                prepareState (updating);
                startUpdater();
            }
            else
            {
                prepareState (downloadFailed);
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
                case VersionQuery::queryFailed:            prepareState (checkFailed); break;
                case VersionQuery::queryFirmwareRequired:  prepareState (embeddedUpdateAvailable); break;
                case VersionQuery::queryFirmwareAvailable: prepareState (onlineUpdateAvailable); break;
                case VersionQuery::queryPluginAvailable:   prepareState (pluginUpdateAvailable); break;
                default:                                   prepareState (upToDate); break;
            }
            break;
        }

        default:
            break;
    }

    if (! ok)
        resultCode = 1;
}

//==============================================================================
bool FirmwareUpdateComponent::filesAreAcceptable (const juce::StringArray& files) const
{
    return files.size() == 1 && acceptsDrop && juce::File::isAbsolutePath (files[0])
        && juce::File (files[0]).getFileExtension() == ".syx";
}

bool FirmwareUpdateComponent::isInterestedInFileDrag (const juce::StringArray& files)
{
    return filesAreAcceptable (files);
}

void FirmwareUpdateComponent::fileDragEnter (const juce::StringArray&, int, int)
{
    dragOver = true;
    repaint();
}

void FirmwareUpdateComponent::fileDragExit (const juce::StringArray&)
{
    dragOver = false;
    repaint();
}

void FirmwareUpdateComponent::filesDropped (const juce::StringArray& files, int, int)
{
    if (filesAreAcceptable (files))
    {
        droppedFile = files[0];
        // A path takes lines of its own: three rows, as the other long messages have.
        setMessage ("Update pedal firmware from " + droppedFile + "?", 3);
        updateLayout();
    }

    dragOver = false;
    repaint();
}

juce::Colour FirmwareUpdateComponent::getBackgroundColour() const
{
    return dragOver ? juce::Colour (0xFF808080) : AlertBoxComponent::getBackgroundColour();
}
