// Pictures of the editor at work, and of every dialog it shows, as a user
// meets them: the emulated pedal, on firmware 0.1.2, older than the 0.1.5 the
// plug-in carries, is attached in Audio use with its levels moving; the
// device options its missing calibration brings up; the settings menu; the
// confirmations and the set-up dialog; then the firmware story in the order a
// user lives it: the carried image offered and a file dropped on the dialog,
// a flash whose pedal was unplugged, the carried image flashed, the newer
// firmware online downloaded and flashed, nothing newer, the version file out
// of reach, an archive that cannot be had, and a newer plug-in. The version
// file and the archives come from a server on this computer, the settings and
// the Desktop live in temporary folders, and nothing is launched.
//
// Each picture waits for the state its caption names; a state that does not
// come ends the tool with a message and exit code 1. What would pass by itself
// is held by what the tool drives until its picture is taken: the server holds
// its reply to a check or a download, the emulated bootloader holds the flash,
// and the host's blocks, played by the tool, keep the meters lit and the
// calibration waiting. So every picture is taken however slow or busy the
// machine. The menus need a display (run.sh starts one); without one they are
// left out.

#include "Components/Dialogs/FirmwareUpdateComponent.h"
#include "Components/Dialogs/PedalOptionsComponent.h"
#include "Components/Dialogs/ProToolsSetupComponent.h"
#include "Components/Menus/PedalsView.h"
#include "Devices/FirmwareImage.h"
#include "Devices/Midi/SysexMessage.h"
#include "Emulation/EmulatedPedal.h"
#include "Emulation/SyntheticFirmware.h"
#include "MakersServer.h"
#include "PluginEditor.h"
#include "PluginProcessor.h"
#include "Shots/PictureFolder.h"
#include "Shots/StateWait.h"
#include "Support/ButtonClick.h"
#include "Support/DesktopRecorder.h"
#include "Support/DrawnAtRest.h"
#include "Support/TestHome.h"
#include "Support/WindowInFront.h"
#include "Support/WindowParts.h"

#include <juce_gui_basics/juce_gui_basics.h>

#include <algorithm>
#include <cmath>
#include <iostream>
#include <stdexcept>

namespace
{
const juce::String pedalName ("QZR-1A2B");
const std::string onlineArchive ("/firmware-0.1.6.zip");
constexpr int firstFirmware = 0x000102;  // older than the carried image
constexpr int onlineFirmware = 0x000106; // newer than the carried image
constexpr double sampleRate = 48000.0;
constexpr int blockSize = 512;

constexpr const char* firmwareRequired = "Firmware Update\nRequired...";
constexpr const char* firmwareAvailable = "Firmware Update\nAvailable...";
constexpr const char* pluginAvailable = "Plugin Update\nAvailable...";

using Dialog = FirmwareUpdateComponent;
using Flow = FirmwareUpdateFlow;

void runFor (int milliseconds)
{
    juce::MessageManager::getInstance()->runDispatchLoopUntil (milliseconds);
}

juce::String versionText (int version)
{
    return VersionNumber::versionStringFromNumber (VersionNumber ((juce::uint32) version));
}

// The editor's window in front, where its menus stay open.
void bringToFront (juce::Component& window)
{
    if (const auto inFront = showInFront (window); ! inFront)
        throw std::runtime_error (inFront.message());
}

void click (juce::Button& button)
{
    if (const auto clicked = clickAndRelease (button); ! clicked)
        throw std::runtime_error (clicked.message());
    runFor (30);
}

// The pedal, its ports and audio device, in this process.
struct EmulatedRig
{
    EmulatedRig()
    {
        ports.install();
        audioTypes.install();
        audioTypes.setManualByDefault (true); // called back in step with the host's blocks
        pedal.setFirmwareVersion (firstFirmware);
        pedal.plugIn();
    }

    ~EmulatedRig() { pedal.withdrawBootloader(); }

    VirtualMidiPorts ports;
    VirtualAudioDeviceTypes audioTypes;
    EmulatedPedal pedal { ports, audioTypes, pedalName, 0x15 };
};

// One host block of a tone at these levels through the processor, and one
// callback of the pedal's audio device, which runs in step with the host.
void playBlock (VelmoraAudioProcessor& processor, VirtualAudioDeviceTypes& audioTypes, double& phase, float left, float right)
{
    if (auto* device = audioTypes.findOpenDevice (pedalName))
        device->runNextPeriod();

    juce::AudioBuffer<float> block (2, blockSize);
    for (int i = 0; i < blockSize; ++i)
    {
        const auto s = (float) std::sin (phase);
        phase += 2.0 * juce::MathConstants<double>::pi * 440.0 / sampleRate;
        block.setSample (0, i, left * s);
        block.setSample (1, i, right * s);
    }
    juce::MidiBuffer midi;
    processor.processBlock (block, midi);
}

juce::Component* menuWindow (juce::Component& editor, int index)
{
    int found = 0;
    for (auto* child : editor.getChildren())
        if (child->getName() == "menu" && found++ == index)
            return child;
    return nullptr;
}

void press (juce::Component* window, int keyCode)
{
    if (window != nullptr)
        window->keyPressed (juce::KeyPress (keyCode));
}

// The editor of one processor against the emulated pedal, and the pictures of it.
class Session
{
public:
    Session (const juce::File& folder, const juce::File& homeFolder) : pictures (folder), home (homeFolder)
    {
        maker.publish ("0.2.0", onlineFirmware, onlineArchive);

        processor = std::make_unique<VelmoraAudioProcessor>();
        processor->enableAllBuses();
        processor->prepareToPlay (sampleRate, blockSize);
        processor->getDeviceManager().scanForDevices();

        editor.reset (dynamic_cast<VelmoraAudioProcessorEditor*> (processor->createEditorIfNeeded()));
        if (editor == nullptr)
            throw std::runtime_error ("the processor made no editor");

        // What scripts/run.sh has the host stand-in write here first, through the bundle's two entry points.
        pictures.describe ("host-fresh-instance.png", "a fresh instance's editor in a host's window (pellion-host screenshot, "
                                                      "through the bundle's entry points): no pedal, the parameters' defaults");
        pictures.describe ("host.script", "the script pellion-host automate ran, through the bundle's entry points, "
                                          "for host-scripted.png");
        pictures.describe ("host-scripted.png", "the editor in a host's window once host.script has set its parameters "
                                                "and rendered its blocks: the controls show the values it set (no pedal)");

        windowed = juce::Desktop::getInstance().getDisplays().getPrimaryDisplay() != nullptr;
        if (windowed)
            bringToFront (*editor);
    }

    ~Session()
    {
        // A flash held by the tool must not keep the processor's job from stopping.
        rig.pedal.getBootloader().holdAfter (0);
        processor->editorBeingDeleted (editor.get());
        editor.reset();
        processor.reset();
    }

    void attachAndMeasure();
    void playLevels();
    void showMenus();
    void showConfirmationsAndSetUp();
    void offerTheCarriedImage();
    void flashWithoutThePedal();
    void flashTheCarriedImage();
    void downloadAndFlash();
    void checkWhenNothingIsNewer();
    void failToDownload();
    void offerANewerPlugin();

private:
    void take (const juce::String& name, const juce::String& caption)
    {
        if (const auto wrong = notAtRest (*editor); ! wrong.isEmpty())
            throw std::runtime_error (name.toStdString() + " would show " + wrong.joinIntoString ("; ").toStdString());
        pictures.write (*editor, name, caption);
    }

    void menu (int id)
    {
        editor->settingsMenuCallback (id, editor->getPedalsView().getNames());
        runFor (30);
    }

    AlertBoxComponent* box() const { return dialogOf (*editor); }

    // Until the state comes, one host block of the tone at these levels each time it is not there yet.
    void playUntil (const juce::String& state, const std::function<bool()>& condition, double& phase, float left, float right)
    {
        waitForState (state, [&]
        {
            if (condition())
                return true;
            playBlock (*processor, rig.audioTypes, phase, left, right);
            return false;
        });
    }

    // The device options showing the host's block size, the total latency and the pedal's extra latency as they are now.
    bool showsTheFigures (PedalOptionsComponent& options) const
    {
        auto* device = processor->getDevice();
        return device != nullptr && options.getHostBlockSizeLabel()->getText() == juce::String (processor->getHostBlockSize())
               && options.getTotalLatencyLabel()->getText() == juce::String (processor->getLatencySamples())
               && options.getLatencyEditor()->getText() == juce::String (device->getDriver().getSettings().extraLatency.get());
    }

    Dialog* dialog() const { return dynamic_cast<Dialog*> (box()); }

    Dialog& dialogIn (Flow::State state, const juce::String& what)
    {
        waitForState ("the firmware dialog: " + what, [this, state] { return dialog() != nullptr && dialog()->getFlow().getState() == state; });
        return *dialog();
    }

    void pressButton (const juce::String& text)
    {
        auto* shown = box();
        if (shown == nullptr)
            throw std::runtime_error ("no dialog to press \"" + text.toStdString() + "\" in");
        for (int i = 0; i < shown->getNumButtons(); ++i)
            if (shown->getButton (i)->getButtonText() == text)
                return click (*shown->getButton (i));
        throw std::runtime_error ("the dialog has no button \"" + text.toStdString() + "\"");
    }

    bool noticeShows (const char* text) const
    {
        return updateNoticeOf (*editor).isVisible() && updateNoticeOf (*editor).getButtonText() == text;
    }

    void waitForNotice (const char* text)
    {
        waitForState (juce::String ("the update notice \"") + text + "\"", [this, text] { return noticeShows (text); });
    }

    int pedalFirmware() const
    {
        auto* device = processor->getDevice();
        return device != nullptr ? device->getDriver().getFirmwareVersion() : 0;
    }

    void waitForAttached (int firmware)
    {
        waitForState ("the pedal attached in Audio use with firmware " + versionText (firmware), [this, firmware]
        {
            auto* device = processor->getDevice();
            return device != nullptr && device->getDriver().getState() == Mode::audio && device->getDriver().getFirmwareVersion() == firmware;
        });
    }

    // The maker publishes something new, and the check that an instance runs when it starts finds it.
    void publishAndCheckAgain (const char* plugin, int firmware, const std::string& archivePath, const char* notice)
    {
        maker.publish (plugin, firmware, archivePath);
        processor->getOnlineUpdater().reset();
        processor->getOnlineUpdater().startQuery();
        waitForNotice (notice);
    }

    DesktopRecorder desktop;
    PictureFolder pictures;
    const juce::File home;
    MakersServer maker;
    EmulatedRig rig;
    std::unique_ptr<VelmoraAudioProcessor> processor;
    std::unique_ptr<VelmoraAudioProcessorEditor> editor;
    bool windowed = false;
};

//==============================================================================
// Attached as the device menu attaches: Audio, stereo. The automatic version
// check finds the carried image newer than the pedal's firmware. An
// uncalibrated pedal brings up the device options by itself: the pedal's audio
// device runs in step with the host's blocks here, so the measurement that an
// attach starts has not ended yet.
void Session::attachAndMeasure()
{
    menu (MenuIds::deviceEntry (0, Mode::audio, ChannelSetting::stereo));
    processor->getOnlineUpdater().startQuery();
    waitForAttached (firstFirmware);
    waitForNotice (firmwareRequired);

    const auto options = [this] { return dynamic_cast<PedalOptionsComponent*> (box()); };
    waitForState ("the device options an uncalibrated pedal brings up, Done disabled, the processor's figures shown", [this, &options]
    {
        return options() != nullptr && ! options()->getDoneButton()->isEnabled() && showsTheFigures (*options());
    });
    take ("device-options-uncalibrated", "the device options an uncalibrated pedal brings up (Done waits for a calibration)");

    const auto asked = [this] { return rig.pedal.countReceived (Sysex::SystemGroup, Sysex::Calibrate); };
    const auto askedBefore = asked();
    pressButton ("Calibrate");
    waitForState ("the calibration asked of the pedal, Done enabled", [&]
    {
        return asked() > askedBefore && options() != nullptr && options()->getDoneButton()->isEnabled() && showsTheFigures (*options());
    });
    take ("device-options-calibrating", "after Calibrate: the request went to the pedal, Done is enabled");

    // The pedal asks for the measurement, which runs while the host plays.
    double silence = 0.0;
    auto& stored = processor->getDevice()->getDriver().getSettings().extraLatency;
    playUntil ("the pedal's round trip measured and shown", [&]
    {
        return stored.get() != 0 && options() != nullptr && showsTheFigures (*options());
    }, silence, 0.0f, 0.0f);
    take ("device-options-calibrated", "the pedal's round trip measured: the extra latency and the total follow it");
    pressButton ("Done");
}

// Moving levels: a tone whose level rises and falls differently on each side.
// Each picture's tone starts once the peak window has let go of the last one's
// highest, so that the window shows the tone's own.
void Session::playLevels()
{
    const auto face = faceOf (*editor).widgetsForTesting();
    const auto& window = *face.meterWindow;
    const auto shows = [] (float shown, float level) { return std::abs (shown - level) <= 0.05f * level; };
    // The peak window's text for a level: what it shows once the tone's highest has reached it.
    const auto inDecibels = [] (float level) { return juce::String (20.0f * std::log10 (level), 1) + " dB"; };

    double phase = 0.0;
    const std::pair<float, float> targets[] = { { 0.95f, 0.5f }, { 0.35f, 0.85f }, { 0.1f, 0.25f } };
    for (int frame = 0; frame < 3; ++frame)
    {
        // Named copies rather than a structured binding, which a lambda cannot capture in C++17.
        const auto left = targets[frame].first;
        const auto right = targets[frame].second;
        const auto highest = std::max (left, right);
        if (frame > 0)
        {
            const auto held = window.getDisplayedPeak();
            waitForState ("the peak window letting go of the last tone's highest", [&window, held] { return window.getDisplayedPeak() < held; });
        }

        for (int step = 1; step < 10; ++step)
        {
            const auto swing = 0.6f + 0.4f * (float) step / 10.0f;
            playBlock (*processor, rig.audioTypes, phase, left * swing, right * swing);
            runFor (25);
        }
        waitForNotice (firmwareRequired);

        // The tone plays on until the meters show it and the peak window its
        // highest, not the rise's (within 5 % of it too); between the host's
        // blocks the pedal's levels would fall back to nothing.
        const auto peakText = inDecibels (highest);
        playUntil ("the meters showing the tone of picture " + juce::String (frame + 1) + ", the peak window " + peakText, [&]
        {
            return shows ((*face.meterL).level, left) && shows ((*face.meterR).level, right) && window.getText() == peakText;
        }, phase, left, right);
        take ("editor-audio-levels-" + juce::String (frame + 1),
              "Audio : Stereo, the meters moving (" + juce::String (frame + 1) + " of 3: left " + inDecibels (left) + ", right "
                  + inDecibels (right) + "; the peak window shows the tone's highest, " + peakText
                  + ", held for 2 s); the notice: the pedal's firmware "
                  + versionText (firstFirmware) + " is older than the " + versionText ((int) FirmwareImage::getFirmwareVersion())
                  + " the plug-in carries");
    }
}

void Session::showMenus()
{
    if (! windowed)
    {
        std::cout << "  (no display: the settings menu is left out; run.sh runs this under Xvfb)\n";
        return;
    }

    const std::tuple<int, const char*, juce::String> submenus[] = {
        { 1, "settings-menu-select-device", "the settings menu: Select Device, the pedal's Audio choices (Stereo ticked)" },
        { 2, "settings-menu-about-hardware", "the settings menu: About Hardware, the pedal's name, firmware " + versionText (firstFirmware) + " and serial number" },
        { 3, "settings-menu-about-plugin", juce::String ("the settings menu: About Plugin, the plug-in's version ") + VelmoraAudioProcessor::pluginVersionString },
    };
    for (const auto& [position, name, caption] : submenus)
    {
        bringToFront (*editor);
        click (settingsButtonOf (*editor));
        waitForState ("the settings menu open", [this] { return menuWindow (*editor, 0) != nullptr; });
        for (int i = 0; i < position; ++i)
            press (menuWindow (*editor, 0), juce::KeyPress::downKey);
        press (menuWindow (*editor, 0), juce::KeyPress::rightKey);
        waitForState (juce::String ("the submenu of ") + name + " open", [this] { return menuWindow (*editor, 1) != nullptr; });
        if (position == 1) // on into the Audio choices of the pedal
        {
            press (menuWindow (*editor, 1), juce::KeyPress::rightKey);
            waitForState ("the pedal's Audio choices open", [this] { return menuWindow (*editor, 2) != nullptr; });
        }
        runFor (200);
        take (name, caption);
        juce::PopupMenu::dismissAllActiveMenus();
        waitForState ("the settings menu closed", [this] { return menuWindow (*editor, 0) == nullptr; });
    }
}

// No menu offers the confirmations or the set-up dialog; the menu ids that
// open them are what a host integration would use.
void Session::showConfirmationsAndSetUp()
{
    const std::tuple<int, const char*, const char*> confirmations[] = {
        { MENU_ID_RESET_PRESETS, "confirmation-reset-presets", "Reset Factory Presets: OK sends the reset to the pedal, Cancel nothing" },
        { MENU_ID_RESET_FIRMWARE, "confirmation-reset-firmware", "Reset Firmware to Factory Version: OK sends the reset to the pedal, Cancel nothing" },
    };
    for (const auto& [id, name, caption] : confirmations)
    {
        menu (id);
        waitForState (juce::String ("the confirmation ") + name, [this] { return box() != nullptr && box()->getNumButtons() == 2; });
        take (name, caption);
        pressButton ("Cancel");
    }

    const auto setUp = [this] { return dynamic_cast<ProToolsSetupComponent*> (box()); };
    menu (MENU_ID_SETUP_BASE);
    waitForState ("the set-up dialog's first step", [&setUp] { return setUp() != nullptr && setUp()->getStep() == 1; });
    take ("setup-step1", "the Pro Tools set-up: what the other host must be told");
    pressButton ("Continue");
    waitForState ("the set-up dialog's second step", [&setUp] { return setUp() != nullptr && setUp()->getStep() == 2; });
    take ("setup-step2", "the set-up's second step: what Continue will do");
    pressButton ("Continue");
    waitForState ("the set-up waiting for the host's list", [&setUp] { return setUp() != nullptr && setUp()->isTimerRunning (ProToolsSetupComponent::pollTimerId); });
    take ("setup-step3", "the set-up's third step: the merged list written to the Desktop, both folders shown");

    // The user copies the list beside the host.
    const auto copy = desktop.desktop.folder.getChildFile ("ExcludedMIDIPorts.txt");
    if (! copy.copyFileTo (desktop.hostFolder.folder.getChildFile ("ExcludedMIDIPorts.txt")))
        throw std::runtime_error ("the set-up wrote no list to the Desktop");
    waitForState ("the set-up complete", [this] { return box() != nullptr && box()->getMessage().startsWith ("Complete!"); });
    take ("setup-complete", "the host's list names both ports: the set-up is complete");

    // Another time, the Desktop cannot be written.
    ScratchFolder::remove (desktop.desktop.folder);
    menu (MENU_ID_SETUP_BASE);
    pressButton ("Continue");
    pressButton ("Continue");
    waitForState ("the set-up telling the list was not written", [this] { return box() != nullptr && box()->getMessage().startsWith ("Unable to write"); });
    take ("setup-failed", "the Desktop cannot be written: the set-up names the two lines to add by hand");
    pressButton ("Cancel");
    desktop.desktop.folder.createDirectory();
}

// The notice opens the dialog with the carried image; a file dragged over it
// and dropped on it takes the image's place; the user cancels.
void Session::offerTheCarriedImage()
{
    click (updateNoticeOf (*editor));
    auto& offer = dialogIn (Flow::embeddedUpdateAvailable, "the carried image offered");
    take ("firmware-carried-image", "the notice's dialog: the carried firmware " + versionText ((int) FirmwareImage::getFirmwareVersion())
                                        + " for the pedal's " + versionText (pedalFirmware()));

    const auto file = home.getChildFile ("Downloads/QZR-1A2B-firmware-v0.1.6.syx");
    const auto stream = SyntheticFirmware::buildPayload ((juce::uint32) onlineFirmware, 60);
    if (! file.getParentDirectory().createDirectory() || ! file.replaceWithData (stream.data(), stream.size()))
        throw std::runtime_error ("cannot write " + file.getFullPathName().toStdString());

    const juce::StringArray files { file.getFullPathName() };
    if (! offer.isInterestedInFileDrag (files))
        throw std::runtime_error ("the dialog refuses " + file.getFullPathName().toStdString());
    offer.fileDragEnter (files, 20, 20);
    take ("firmware-file-dragged-over", "a \".syx\" file dragged over the dialog");
    offer.filesDropped (files, 20, 20);
    if (offer.getFlow().getDroppedFile() != file.getFullPathName())
        throw std::runtime_error ("the dialog did not take the dropped file");
    take ("firmware-file-dropped", "the file dropped: OK would flash it instead of the carried image (" + juce::String (file.getFullPathName().length())
                                       + " characters, broken after its folders)");
    pressButton ("Cancel");
}

// "Update Firmware..." with the carried image, the pedal unplugged before OK:
// no bootloader comes (the sixty-second wait is cut short here), the user
// cancels, plugs the pedal in again and attaches it.
void Session::flashWithoutThePedal()
{
    menu (MENU_ID_UPDATE_FIRMWARE);
    dialogIn (Flow::embeddedUpdateAvailable, "the carried image offered");

    rig.pedal.unplug();
    processor->getDeviceManager().scanForDevices();
    waitForState ("the processor letting the unplugged pedal go", [this] { return processor->getDevice() == nullptr; });
    waitForState ("the notice gone with the pedal", [this] { return ! updateNoticeOf (*editor).isVisible(); });

    pressButton ("OK");
    // A machine slow enough may see the sixty seconds end by themselves; else the wait is cut short.
    const auto waiting = [this] { return dialog() != nullptr && dialog()->getFlow().isFlashing() && dialog()->getMessage().startsWith ("Waiting for device"); };
    waitForState ("the flash waiting for a bootloader", [this, &waiting]
    {
        return waiting() || (dialog() != nullptr && dialog()->getFlow().getState() == Flow::updateFailed);
    });
    if (waiting())
        dialog()->getFlow().getUpdateController()->timerCallback (FirmwareUpdateController::waitTimerId);
    dialogIn (Flow::updateFailed, "no bootloader came");
    take ("firmware-update-failed", "the pedal was unplugged before OK: no bootloader came within 60 s (the wait cut short here)");
    pressButton ("Cancel");

    rig.pedal.plugIn();
    processor->getDeviceManager().scanForDevices();
    waitForState ("the pedal listed again", [this] { return processor->getDeviceManager().findDevice (pedalName) != nullptr; });
    menu (MenuIds::deviceEntry (0, Mode::audio, ChannelSetting::stereo));
    waitForAttached (firstFirmware);
    waitForNotice (firmwareRequired);
}

// "Update Firmware...": the carried image, flashed through the emulated
// bootloader; 200 ms after OK the instance is attached again, and the notice
// now offers the newer firmware online.
void Session::flashTheCarriedImage()
{
    menu (MENU_ID_UPDATE_FIRMWARE);
    dialogIn (Flow::embeddedUpdateAvailable, "the carried image offered");

    // The bootloader holds the flash a little past 40 % until its picture is taken.
    auto& bootloader = rig.pedal.getBootloader();
    const auto image = FirmwareImage::getPayload();
    const auto* bytes = static_cast<const juce::uint8*> (image.getData());
    const auto messages = std::count (bytes, bytes + image.getSize(), 0xF7); // each ends a message
    bootloader.holdAfter ((int) (messages * 45 / 100));
    pressButton ("OK");
    waitForState ("the flash held 40 % done", [this, &bootloader]
    {
        return bootloader.isHolding() && dialog() != nullptr && dialog()->getFlow().isFlashing() && dialog()->getFlow().getProgress() >= 0.4;
    });
    take ("firmware-updating", "flashing the carried image through the bootloader");
    bootloader.holdAfter (0);
    dialogIn (Flow::updateComplete, "the flash complete");
    if (! dialog()->getMessage().startsWith ("Update complete"))
        throw std::runtime_error ("the flash ended with: " + dialog()->getMessage().toStdString());
    auto* restarted = processor->getDeviceManager().findDevice (pedalName);
    take ("firmware-update-complete", "the pedal came back with firmware "
                                          + versionText (restarted != nullptr ? restarted->getDriver().getFirmwareVersion() : 0));
    pressButton ("OK");

    waitForAttached ((int) FirmwareImage::getFirmwareVersion());
    waitForNotice (firmwareAvailable);
    take ("editor-after-update", "200 ms after OK the instance is attached again, as it was, with firmware "
                                     + versionText (pedalFirmware()) + "; the notice offers the " + versionText (onlineFirmware) + " online");
}

// "Update Plugin..." checks afresh and finds the newer firmware; then the
// notice downloads and flashes it.
void Session::downloadAndFlash()
{
    maker.holdVersionFile();
    menu (MENU_ID_UPDATE_PLUGIN);
    dialogIn (Flow::checking, "checking");
    take ("firmware-checking", "Update Plugin...: checking for updates");
    maker.release();
    dialogIn (Flow::onlineUpdateAvailable, "newer firmware online");
    take ("firmware-online-available", "the check found firmware " + versionText (onlineFirmware) + " online");
    pressButton ("Cancel");

    maker.serveArchive (onlineArchive, onlineFirmware, true);
    click (updateNoticeOf (*editor));
    dialogIn (Flow::onlineUpdateAvailable, "the notice's offer of the firmware online");
    pressButton ("OK");
    waitForState ("the download under way", [this] { return dialog() != nullptr && dialog()->getMessage().startsWith ("Downloading"); });
    take ("firmware-downloading", "downloading firmware " + versionText (onlineFirmware));
    maker.release();
    dialogIn (Flow::updateComplete, "the downloaded firmware flashed");
    pressButton ("OK");
    waitForAttached (onlineFirmware);
    waitForState ("the notice gone", [this] { return ! updateNoticeOf (*editor).isVisible(); });
}

void Session::checkWhenNothingIsNewer()
{
    menu (MENU_ID_UPDATE_PLUGIN);
    dialogIn (Flow::upToDate, "nothing newer");
    take ("firmware-up-to-date", "Update Plugin... with the pedal on " + versionText (pedalFirmware()) + ", the newest: nothing newer, no notice");
    pressButton ("Close");

    maker.withdrawVersionFile();
    menu (MENU_ID_UPDATE_PLUGIN);
    dialogIn (Flow::checkFailed, "the version file out of reach");
    take ("firmware-check-failed", "Update Plugin... while the version file cannot be had");
    pressButton ("Close");
}

// The maker publishes 0.1.7, whose archive cannot be had.
void Session::failToDownload()
{
    publishAndCheckAgain ("0.2.0", 0x000107, "/firmware-0.1.7.zip", firmwareAvailable);
    click (updateNoticeOf (*editor));
    dialogIn (Flow::onlineUpdateAvailable, "the notice's offer of 0.1.7");
    pressButton ("OK");
    dialogIn (Flow::downloadFailed, "the download failed");
    take ("firmware-download-failed", "the maker lists firmware 0.1.7, but its archive cannot be had");
    pressButton ("Close");
}

// A newer plug-in: the notice says so, and opens the dialog.
void Session::offerANewerPlugin()
{
    publishAndCheckAgain ("0.3.0", 0x000107, "/firmware-0.1.7.zip", pluginAvailable);
    runFor (100);
    take ("editor-plugin-update-notice", "the update notice for the newer plug-in 0.3.0");
    click (updateNoticeOf (*editor));
    dialogIn (Flow::pluginUpdateAvailable, "a newer plug-in");
    take ("firmware-plugin-available", "the notice's dialog: plug-in 0.3.0");
    pressButton ("Close");
}
} // namespace

int main (int argc, char** argv)
{
    // The processor's settings, and the file dropped on the dialog, live here.
    const TemporaryHome home;
    const juce::ScopedJuceInitialiser_GUI framework;

    try
    {
        Session session (juce::File::getCurrentWorkingDirectory().getChildFile (argc > 1 ? argv[1] : "editor-shots"),
                         juce::File (home.getPath()));
        std::cout << "Editor pictures (the meters show a tone of the host's coming back from the emulated pedal):\n";
        session.attachAndMeasure();
        session.playLevels();
        session.showMenus();
        session.showConfirmationsAndSetUp();
        session.offerTheCarriedImage();
        session.flashWithoutThePedal();
        session.flashTheCarriedImage();
        session.downloadAndFlash();
        session.checkWhenNothingIsNewer();
        session.failToDownload();
        session.offerANewerPlugin();
    }
    catch (const std::exception& e)
    {
        std::cerr << "pellion-editor-shots: " << e.what() << "\n";
        return 1;
    }

    return 0;
}
