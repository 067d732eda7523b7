#pragma once

#include "Devices/UsbDevice.h"
#include "Devices/UsbDeviceManager.h"
#include "Updates/FirmwareDownloadController.h"
#include "Updates/FirmwareUpdateController.h"
#include "Updates/VersionQuery.h"
#include "Updates/VersionQueryController.h"
#include "Utilities/ThreadWithProgress.h"

#include <memory>
#include <vector>

// The firmware update dialog's flow: checks for updates, tells of a newer
// plug-in, and brings new firmware onto the pedal (the image the plug-in
// carries, a downloaded archive, or a dropped ".syx" file). Each state sets the
// title, message, controls and buttons that its view shows; the version query,
// the download and the flash run as background jobs that report back here.
// The view hears of every change through its Listener. Message thread.
class FirmwareUpdateFlow : public ThreadWithProgress::Listener
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

    // What the buttons do; a button carries its action as its result code.
    enum Action
    {
        close = 0,
        visitWebsite = 1,
        download = 2,
        flash = 3
    };

    // The dialog's result: no job ran to its end (or a flash succeeded), a
    // check or download ran to its end (the worker reports every end alike),
    // or else a flash's FirmwareUpdateController::Result.
    enum Ending
    {
        endedWell = FirmwareUpdateController::flashSucceeded,
        endedAfterJob = 1
    };

    struct Button
    {
        juce::String text;
        Action action;
    };

    // The view: every call comes on the message thread, from inside the flow's
    // own calls or from its jobs' relays.
    class Listener
    {
    public:
        virtual ~Listener() = default;

        // A new state: title, message, controls and buttons at once.
        virtual void flowStateChanged() = 0;
        // The message alone: a job's status, or the dropped file.
        virtual void flowMessageChanged() = 0;
        virtual void flowProgressChanged() = 0;
        // "Visit website": the version file's page, or the maker's when it names none.
        virtual void flowOpensWebPage (const juce::String& address) = 0;
        // The dialog's result, to be ended with.
        virtual void flowEnded (int result) = 0;
    };

    static constexpr const char* firmwareTitle = "Firmware Update";
    static constexpr const char* autoCheckText = "Automatically check for updates";

    FirmwareUpdateFlow (UsbDevice::Holder* deviceHolder, const VersionQuery& query, juce::PropertySet& settings,
                        Listener& listener);
    ~FirmwareUpdateFlow() override;

    // The first state, by the query's status: firmware required, firmware
    // available and plug-in available are offered at once (with the query's
    // version); anything else checks afresh.
    void start();

    // Shows the state and starts what it runs (the check); a flash or a
    // download is started by its button.
    void enterState (State newState);

    // A button's action; anything else does nothing.
    void press (int action);

    // Only while the carried image is offered: one ".syx" file by its full path.
    bool acceptsFiles (const juce::StringArray& files) const;
    // Takes an acceptable file instead of the carried image.
    void dropFiles (const juce::StringArray& files);

    // The setting "checkForUpdates", on while absent.
    bool isAutoCheckOn() const;
    void setAutoCheck (bool on);

    // Stops listening to its jobs, so that a closed dialog never moves on to a
    // download or a flash, and lets go of the pedal; the jobs stop when the
    // flow is deleted. Nothing moves it on afterwards.
    void dismiss();

    State getState() const noexcept { return state; }
    VersionNumber getVersion() const noexcept { return version; }
    const juce::String& getDroppedFile() const noexcept { return droppedFile; }
    const juce::MemoryBlock& getFirmware() const noexcept { return firmware; }
    double getProgress() const noexcept { return progress; }

    // What the view shows.
    const juce::String& getTitle() const noexcept { return title; }
    const juce::String& getMessage() const noexcept { return message; }
    int getMessageRows() const noexcept { return messageRows; }
    const std::vector<Button>& getButtons() const noexcept { return buttons; }
    bool offersAutoCheck() const noexcept { return autoCheckOffered; }
    bool showsProgress() const noexcept { return progressShown; }

    // A flash runs from the start of a download that will flash, or of the
    // flash itself, until its job completes, which is once the pedal has come
    // back: the dialog must stay, and the pedal is claimed for the whole process.
    bool isFlashing() const noexcept { return state == downloading || state == updating; }

    // The running or last jobs.
    FirmwareDownloadController* getDownloadController() const noexcept { return downloadController.get(); }
    FirmwareUpdateController* getUpdateController() const noexcept { return updateController.get(); }

    // The maker's site as the messages name it.
    static juce::String websiteName();

    void setProgress (double newProgress) override;
    void setStatusMessage (const juce::String& text) override;
    void threadComplete (bool ok) override;

private:
    void show (const juce::String& text, int rows = 1);
    void stopListening();
    void startDownload();
    void startUpdater();
    void report (int code);
    void claimPedalWhileFlashing();

    UsbDevice::Holder* deviceHolder;
    VersionQuery versionQuery;
    juce::PropertySet& settings;
    Listener& listener;
    State state = checking;
    VersionNumber version;
    std::unique_ptr<VersionQueryController> queryController;
    std::unique_ptr<FirmwareUpdateController> updateController;
    std::unique_ptr<FirmwareDownloadController> downloadController;
    double progress = -1.0;
    int resultCode = endedWell;
    bool dismissed = false;
    juce::String droppedFile;
    juce::MemoryBlock firmware;

    juce::String title { firmwareTitle };
    juce::String message;
    int messageRows = 1;
    std::vector<Button> buttons;
    bool autoCheckOffered = false;
    bool progressShown = false;
    bool acceptsDrop = false;

    juce::SharedResourcePointer<UsbBaseDeviceManager<UsbDevice>> pedalManager;
    std::unique_ptr<PedalFlashes::Claim> flashClaim;

    JUCE_DECLARE_NON_COPYABLE (FirmwareUpdateFlow)
};
