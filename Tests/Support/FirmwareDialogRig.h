#pragma once

#include "Components/Dialogs/FirmwareUpdateComponent.h"
#include "Emulation/SyntheticFirmware.h"
#include "Support/DesktopRecorder.h"
#include "Support/DialogRig.h"
#include "Support/LinkRig.h"
#include "Support/LoopbackHttpServer.h"
#include "Support/ZipMaker.h"
#include "Windows/AlertManager.h"

#include <chrono>
#include <string>
#include <vector>

// The processor's part for the dialogs: the pedal it holds, forgotten when the
// pedal manager lets it go (as when it restarts into its bootloader).
struct TrackedPedal : PedalHolder, UsbBaseDeviceManager<UsbDevice>::Listener
{
    explicit TrackedPedal (UsbBaseDeviceManager<UsbDevice>& m) : manager (m) { manager.addListener (this); }
    ~TrackedPedal() override { manager.removeListener (this); }

    void deviceRemoved (UsbDevice* gone) override
    {
        if (gone == device)
            device = nullptr;
    }

    UsbBaseDeviceManager<UsbDevice>& manager;
};

// The firmware update dialog as the editor opens it, with the emulated pedal
// (and its bootloader), a version server on this computer, and the desktop
// recorded. The message loop runs the jobs' relays, the scans and the MIDI.
struct FirmwareDialogRig
{
    static constexpr const char* versionPath = "/QZR/latest.json";

    FirmwareDialogRig() { VersionQueryController::setVersionFileAddress (server.url (versionPath)); }

    ~FirmwareDialogRig()
    {
        manager.reset();
        VersionQueryController::setVersionFileAddress (juce::URL ("http://127.0.0.1:1/QZR/latest.json"));
    }

    // Attaches the pedal in Audio use, reporting this firmware version.
    void attachPedal (int version = LinkRig::pedalVersion)
    {
        rig.pedal.setFirmwareVersion (version);
        rig.driver().connect (modeAudio);
        rig.drain();
        pedal.device = rig.findDevice();
        rig.pedal.clearReceivedMessages();
    }

    void serveVersionFile (const std::string& json) { server.serve (versionPath, LoopbackHttpServer::text (json)); }

    // A firmware archive holding a small stream of this version, and its address.
    std::string serveFirmware (juce::uint32 version)
    {
        const auto bytes = SyntheticFirmware::buildPayload (version, 3);
        server.serve ("/fw.zip", LoopbackHttpServer::text (toString (makeZip ({ { "Pedal.syx", std::string (bytes.begin(), bytes.end()) } }))));
        return server.address ("/fw.zip");
    }

    // A small firmware stream of this version in a file.
    juce::File writeFirmwareFile (const juce::String& name, juce::uint32 version)
    {
        const auto bytes = SyntheticFirmware::buildPayload (version, 3);
        const auto file = files.folder.getChildFile (name);
        file.replaceWithData (bytes.data(), bytes.size());
        return file;
    }

    bool open (int status, juce::uint32 version = 0)
    {
        VersionQuery query;
        query.status = status;
        query.version = VersionNumber (version);
        return manager->alert_updateFirmware (query, settings, [this] (int result) { results.push_back (result); });
    }

    FirmwareUpdateComponent& dialog()
    {
        auto* shown = dynamic_cast<FirmwareUpdateComponent*> (manager->alert.box.get());
        EXPECT_NE (shown, nullptr);
        return *shown;
    }

    // What the dialog shows: title | message | buttons with codes | the toggle's state.
    std::string shows()
    {
        auto& d = dialog();
        std::string text = d.getTitleLabel().getText().toStdString() + " | " + d.getMessage().toStdString() + " |";
        for (const auto& [label, code] : buttonsOf (d))
            text += " " + label + " (" + std::to_string (code) + ")";
        if (auto* toggle = d.getAutoCheckToggle())
            text += std::string (" | toggle ") + (toggle->getToggleState() ? "on" : "off");
        return text;
    }

    void press (const juce::String& text)
    {
        auto* button = findButton (dialog(), text);
        ASSERT_NE (button, nullptr) << text;
        click (*button);
    }

    bool runUntil (const std::function<bool()>& done, int timeoutMs = 30000)
    {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds (timeoutMs);
        while (! done())
        {
            if (std::chrono::steady_clock::now() > deadline)
                return false;

            bootManager->scanForDevices();
            rig.getManager().scanForDevices();
            juce::MessageManager::getInstance()->runDispatchLoopUntil (20);
        }
        return true;
    }

    bool runUntilState (FirmwareUpdateComponent::State state)
    {
        return runUntil ([this, state] { return manager->alert.isShowing() && dialog().getState() == state; });
    }

    LinkRig rig;
    juce::SharedResourcePointer<UsbBaseDeviceManager<UsbBootDevice>> bootManager;
    LoopbackHttpServer server;
    DesktopRecorder desktop;
    ScratchFolder files;
    TrackedPedal pedal { rig.getManager() };
    DialogParent parent;
    juce::PropertySet settings;
    std::vector<int> results;
    std::unique_ptr<AlertManager> manager = std::make_unique<AlertManager> (pedal, parent);
};
