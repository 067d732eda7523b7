// Pictures of the editor at work: attached to the emulated pedal in Audio use
// with its levels moving, the device options that an uncalibrated pedal brings
// up and its calibration, the settings menu with its submenus, and the firmware update dialog from
// the version check to a finished flash through the emulated bootloader. The
// version file comes from a server on this computer; the settings live in a
// temporary home folder. The menus need a display (run.sh starts one); without
// one they are left out.

#include "Components/Dialogs/FirmwareUpdateComponent.h"
#include "Components/Dialogs/PedalOptionsComponent.h"
#include "Emulation/EmulatedPedal.h"
#include "PluginEditor.h"
#include "PluginProcessor.h"
#include "Support/LoopbackHttpServer.h"
#include "Support/TestHome.h"

#include <juce_gui_basics/juce_gui_basics.h>

#include <cmath>
#include <functional>
#include <iostream>

namespace
{
const juce::String pedalName ("QZR-1A2B");
constexpr int pedalFirmware = 0x010203;
constexpr double sampleRate = 48000.0;
constexpr int blockSize = 512;

void runFor (int milliseconds)
{
    juce::MessageManager::getInstance()->runDispatchLoopUntil (milliseconds);
}

bool runUntil (const std::function<bool()>& condition, int timeoutMs)
{
    for (int waited = 0; waited < timeoutMs && ! condition(); waited += 10)
        runFor (10);
    return condition();
}

juce::String versionFile (const char* plugin, const char* firmware)
{
    return juce::String (R"({"pluginVersion":")") + plugin + R"(","firmwareVersion":")" + firmware
           + R"(","firmwareURL":"http://127.0.0.1:1/firmware.zip"})";
}

class Shots
{
public:
    Shots (const juce::File& folderToUse, juce::Component& editorToShoot) : folder (folderToUse), editor (editorToShoot) {}

    void take (const juce::String& name, const juce::String& what)
    {
        const auto file = folder.getChildFile (name + ".png");
        const auto image = editor.createComponentSnapshot (editor.getLocalBounds(), true, 1.0f);
        juce::MemoryOutputStream png;
        if (! juce::PNGImageFormat().writeImageToStream (image, png) || ! file.replaceWithData (png.getData(), png.getDataSize()))
            throw std::runtime_error ("cannot write " + file.getFullPathName().toStdString());
        std::cout << "  " << file.getFullPathName() << "  " << what << "\n";
    }

private:
    const juce::File folder;
    juce::Component& editor;
};

// The pedal, its ports and audio device, in this process.
struct EmulatedRig
{
    EmulatedRig()
    {
        ports.install();
        audioTypes.install();
        audioTypes.setManualByDefault (true); // called back in step with the host's blocks
        pedal.setFirmwareVersion (pedalFirmware);
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

juce::TextButton* button (AlertBoxComponent& box, const juce::String& text)
{
    for (int i = 0; i < box.getNumButtons(); ++i)
        if (box.getButton (i)->getButtonText() == text)
            return box.getButton (i);
    throw std::runtime_error ("the dialog has no button \"" + text.toStdString() + "\"");
}

void click (juce::Button& b)
{
    b.triggerClick();
    runFor (30);
}
} // namespace

int main (int argc, char** argv)
{
    const TemporaryHome home;
    const juce::ScopedJuceInitialiser_GUI framework;
    const auto folder = juce::File::getCurrentWorkingDirectory().getChildFile (argc > 1 ? argv[1] : "editor-shots");
    if (! folder.createDirectory())
    {
        std::cerr << "pellion-editor-shots: cannot create " << folder.getFullPathName() << "\n";
        return 1;
    }

    try
    {
        LoopbackHttpServer server;
        VersionQueryController::setVersionFileAddress (server.url ("/QZR/latest.json"));
        server.serve ("/QZR/latest.json", LoopbackHttpServer::text (versionFile ("0.2.0", "1.3.0").toStdString()));

        EmulatedRig rig;
        auto processor = std::make_unique<VelmoraAudioProcessor>();
        processor->enableAllBuses();
        processor->prepareToPlay (sampleRate, blockSize);
        processor->getDeviceManager().scanForDevices();

        std::unique_ptr<VelmoraAudioProcessorEditor> editor (
            dynamic_cast<VelmoraAudioProcessorEditor*> (processor->createEditorIfNeeded()));
        const bool windowed = juce::Desktop::getInstance().getDisplays().getPrimaryDisplay() != nullptr;
        if (windowed)
        {
            editor->addToDesktop (juce::ComponentPeer::windowHasTitleBar);
            editor->setVisible (true);
            editor->toFront (true);
            runUntil ([&] { return editor->isShowing(); }, 2000);
        }

        Shots shots (folder, *editor);
        std::cout << "Editor pictures (the meters show a tone of the host's coming back from the emulated pedal):\n";

        // Attached as the device menu attaches: Audio, stereo. The automatic version
        // check finds newer firmware online.
        juce::StringArray names;
        editor->getDeviceMenu (names);
        editor->settingsMenuCallback (MenuIds::deviceEntry (0, modeAudio, channelStereo), names);
        processor->getOnlineUpdater().startQuery();
        runUntil ([&] { return editor->updateNoticeButton.isVisible(); }, 5000);

        // An uncalibrated pedal brings up the device options by itself: the pedal's
        // audio device runs in step with the host's blocks here, so the measurement
        // that an attach starts has not ended yet.
        runUntil ([&] { return dynamic_cast<PedalOptionsComponent*> (editor->alertManager.alert.box.get()) != nullptr; }, 5000);
        auto* options = dynamic_cast<PedalOptionsComponent*> (editor->alertManager.alert.box.get());
        if (options == nullptr)
            throw std::runtime_error ("an uncalibrated pedal brought up no device options");
        {
            runFor (300);
            shots.take ("device-options-uncalibrated", "the device options an uncalibrated pedal brings up (Done waits for a calibration)");
            click (*button (*options, "Calibrate"));
            runFor (300);
            shots.take ("device-options-calibrating", "after Calibrate: the request went to the pedal, Done is enabled");

            // The pedal asks for the measurement, which runs while the host plays.
            double silence = 0.0;
            auto& stored = processor->getDevice()->getDriver().getSettings().extraLatency;
            for (int block = 0; block < 400 && stored.get() == 0; ++block)
            {
                playBlock (*processor, rig.audioTypes, silence, 0.0f, 0.0f);
                runFor (2);
            }
            runFor (300);
            shots.take ("device-options-calibrated", "the pedal's round trip measured: the extra latency and the total follow it");
            click (*button (*options, "Done"));
        }

        // Moving levels: a tone whose level rises and falls differently on each side.
        double phase = 0.0;
        const std::pair<float, float> targets[] = { { 0.95f, 0.5f }, { 0.35f, 0.85f }, { 0.1f, 0.25f } };
        for (int frame = 0; frame < 3; ++frame)
        {
            for (int step = 1; step <= 10; ++step)
            {
                const auto swing = 0.6f + 0.4f * (float) step / 10.0f;
                playBlock (*processor, rig.audioTypes, phase, targets[frame].first * swing, targets[frame].second * swing);
                runFor (25);
            }
            shots.take ("editor-audio-levels-" + juce::String (frame + 1),
                        "Audio : Stereo, the meters moving (" + juce::String (frame + 1)
                            + " of 3; the peak window holds the highest for 2 s), the update notice showing");
        }

        if (windowed)
        {
            const std::pair<int, const char*> submenus[] = { { 1, "settings-menu-select-device" },
                                                             { 2, "settings-menu-about-hardware" },
                                                             { 3, "settings-menu-about-plugin" } };
            for (const auto& [position, name] : submenus)
            {
                click (editor->settingsButton);
                runUntil ([&] { return menuWindow (*editor, 0) != nullptr; }, 2000);
                for (int i = 0; i < position; ++i)
                    press (menuWindow (*editor, 0), juce::KeyPress::downKey);
                press (menuWindow (*editor, 0), juce::KeyPress::rightKey);
                if (position == 1) // on into the Audio choices of the pedal
                    press (menuWindow (*editor, 1), juce::KeyPress::rightKey);
                runFor (200);
                shots.take (name, "the settings menu, a submenu open");
                juce::PopupMenu::dismissAllActiveMenus();
                runUntil ([&] { return menuWindow (*editor, 0) == nullptr; }, 2000);
            }
        }
        else
        {
            std::cout << "  (no display: the settings menu is left out; run.sh runs this under Xvfb)\n";
        }

        const auto dialog = [&] { return dynamic_cast<FirmwareUpdateComponent*> (editor->alertManager.alert.box.get()); };

        // "Update Plugin...": a fresh check, which finds the newer firmware online.
        editor->settingsMenuCallback (MENU_ID_UPDATE_PLUGIN, names);
        shots.take ("firmware-checking", "Update Plugin...: checking for updates");
        runUntil ([&] { return dialog() != nullptr && dialog()->getState() != FirmwareUpdateComponent::checking; }, 5000);
        shots.take ("firmware-online-available", "the check found newer firmware online");
        click (*button (*dialog(), "Cancel"));

        server.serve ("/QZR/latest.json", LoopbackHttpServer::text (versionFile ("0.2.0", "1.2.3").toStdString()));
        editor->settingsMenuCallback (MENU_ID_UPDATE_PLUGIN, names);
        runUntil ([&] { return dialog() != nullptr && dialog()->getState() != FirmwareUpdateComponent::checking; }, 5000);
        shots.take ("firmware-up-to-date", "nothing newer");
        click (*button (*dialog(), "Close"));

        // A newer plug-in: the notice says so, and opens the dialog.
        server.serve ("/QZR/latest.json", LoopbackHttpServer::text (versionFile ("0.3.0", "1.2.3").toStdString()));
        processor->getOnlineUpdater().reset();
        processor->getOnlineUpdater().startQuery();
        runUntil ([&] { return editor->updateNoticeButton.getButtonText().startsWith ("Plugin"); }, 5000);
        runFor (100);
        shots.take ("editor-plugin-update-notice", "the update notice for a newer plug-in");
        click (editor->updateNoticeButton);
        shots.take ("firmware-plugin-available", "the notice's dialog: a newer plug-in");
        click (*button (*dialog(), "Close"));

        // "Update Firmware...": the carried image, flashed through the emulated bootloader.
        editor->settingsMenuCallback (MENU_ID_UPDATE_FIRMWARE, names);
        shots.take ("firmware-carried-image", "Update Firmware...: the firmware image the plug-in carries");
        click (*button (*dialog(), "OK"));
        runUntil ([&] { return dialog() == nullptr || dialog()->getProgress() >= 0.4; }, 30000);
        shots.take ("firmware-updating", "flashing through the bootloader");
        runUntil ([&] { return dialog() == nullptr || dialog()->getState() == FirmwareUpdateComponent::updateComplete; }, 60000);
        shots.take ("firmware-update-complete", "the pedal came back with its new firmware");
        if (dialog() != nullptr)
            click (*button (*dialog(), "OK"));
        runUntil ([&] { return processor->getDevice() != nullptr && processor->getDevice()->getDriver().getState() == modeAudio; }, 5000);
        runFor (300);
        shots.take ("editor-after-update", "200 ms after the dialog the instance is attached again, as it was");

        processor->editorBeingDeleted (editor.get());
        editor.reset();
        processor.reset();
        VersionQueryController::setVersionFileAddress (juce::URL ("http://127.0.0.1:1/QZR/latest.json"));
    }
    catch (const std::exception& e)
    {
        std::cerr << "pellion-editor-shots: " << e.what() << "\n";
        return 1;
    }

    return 0;
}
