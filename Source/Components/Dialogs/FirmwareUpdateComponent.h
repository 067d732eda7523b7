#pragma once

#include "Components/Dialogs/AlertBoxComponent.h"
#include "Devices/UsbDevice.h"
#include "Updates/FirmwareDownloadController.h"
#include "Updates/FirmwareUpdateController.h"
#include "Updates/VersionQuery.h"
#include "Updates/VersionQueryController.h"
#include "Utilities/ThreadWithProgress.h"

#include <juce_gui_basics/juce_gui_basics.h>
#include <memory>

// The dialog that checks for updates, tells of a newer plug-in, and brings new
// firmware onto the pedal: the image the plug-in carries, a downloaded
// archive, or a ".syx" file dropped on it. Each state rebuilds the title,
// message, controls and buttons; the version query, the download and the flash
// run as background jobs that report back here on the message thread.
class FirmwareUpdateComponent : public AlertBoxComponent,
                                public juce::FileDragAndDropTarget,
                                public ThreadWithProgress::Listener
{
public:
    enum State
    {
        checking = 0,
        checkFailed = 1,
        downloading = 2,
        downloadFailed = 3,
        updating = 4,
        updateFailed = 5,
        embeddedUpdateAvailable = 6,
        onlineUpdateAvailable = 7,
        pluginUpdateAvailable = 8,
        upToDate = 9,
        updateComplete = 10
    };

    // Button result codes.
    enum Action
    {
        close = 0,
        visitWebsite = 1,
        download = 2,
        flash = 3
    };

    static constexpr const char* autoCheckText = "Automatically check for updates";

    FirmwareUpdateComponent (UsbDevice::Holder* deviceHolder, const VersionQuery& query, juce::PropertySet& settings,
                             std::function<void (int)> resultCallback);
    ~FirmwareUpdateComponent() override;

    // The first state, by the query's status: firmware required, firmware
    // available and plug-in available are offered at once (with the query's
    // version); anything else checks afresh.
    void prepareInitialState();

    void prepareState (State newState);
    void startUpdater();
    bool filesAreAcceptable (const juce::StringArray& files) const;

    State getState() const noexcept { return state; }
    VersionNumber getVersion() const noexcept { return version; }
    const juce::String& getDroppedFile() const noexcept { return droppedFile; }
    const juce::MemoryBlock& getFirmware() const noexcept { return firmware; }
    juce::ToggleButton* getAutoCheckToggle() const noexcept { return autoCheckToggle; }
    double getProgress() const noexcept { return progress; }

    // A flash runs from the start of a download that will flash, or of the
    // flash itself, until its job completes, which is once the pedal has come
    // back: the dialog must stay, and the pedal is claimed for the whole process.
    bool isFlashing() const noexcept { return state == downloading || state == updating; }

    // The running or last jobs.
    FirmwareDownloadController* getDownloadController() const noexcept { return downloadController.get(); }
    FirmwareUpdateController* getUpdateController() const noexcept { return updateController.get(); }

    // The maker's site as the messages name it.
    static juce::String websiteName();

    // Stops listening to its jobs, so that a closed dialog never moves on to a
    // download or a flash, and lets go of the pedal; the jobs stop when the
    // dialog is deleted.
    void dismiss() override;

    juce::Colour getBackgroundColour() const override;
    void buttonClicked (juce::Button* button) override;
    void buttonStateChanged (juce::Button* button) override;

    void setProgress (double newProgress) override;
    void setStatusMessage (const juce::String& text) override;
    void threadStarted() override {}
    void threadComplete (bool ok) override;

    bool isInterestedInFileDrag (const juce::StringArray& files) override;
    void filesDropped (const juce::StringArray& files, int x, int y) override;
    void fileDragEnter (const juce::StringArray& files, int x, int y) override;
    void fileDragExit (const juce::StringArray& files) override;

private:
    void addAutoCheckToggle();
    void stopListening();
    void startDownload();
    void report (int code);
    void claimPedalWhileFlashing();

    UsbDevice::Holder* deviceHolder;
    VersionQuery versionQuery;
    juce::PropertySet& settings;
    std::function<void (int)> resultCallback;
    State state = checking;
    VersionNumber version;
    std::unique_ptr<VersionQueryController> queryController;
    std::unique_ptr<FirmwareUpdateController> updateController;
    std::unique_ptr<FirmwareDownloadController> downloadController;
    double progress = -1.0;
    int resultCode = 0;
    bool dragOver = false;
    bool acceptsDrop = false;
    juce::ToggleButton* autoCheckToggle = nullptr;
    juce::String droppedFile;
    juce::MemoryBlock firmware;
    juce::SharedResourcePointer<UsbBaseDeviceManager<UsbDevice>> pedalManager;
    std::unique_ptr<PedalFlashes::Claim> flashClaim;

    JUCE_DECLARE_NON_COPYABLE (FirmwareUpdateComponent)
};
