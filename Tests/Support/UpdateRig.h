#pragma once

#include "Emulation/SyntheticFirmware.h"
#include "Support/LinkRig.h"
#include "Support/LoopbackHttpServer.h"
#include "Support/ScratchFolder.h"
#include "Support/TrackedPedal.h"
#include "Support/ZipMaker.h"
#include "Updates/FirmwareUpdateFlow.h"
#include "Updates/VersionQueryController.h"

#include <string>
#include <vector>

// What the firmware update dialog and its flow work against: the emulated pedal
// (and its bootloader) behind the pedal managers, the pedal the processor
// holds, a version server on this computer that every query asks, and a
// folder for the files a user drops.
class UpdateRig
{
public:
    static constexpr const char* versionPath = "/QZR/latest.json";

    UpdateRig() { VersionQueryController::setVersionFileAddress (server.url (versionPath)); }
    ~UpdateRig() { VersionQueryController::setVersionFileAddress (juce::URL ("http://127.0.0.1:1/QZR/latest.json")); }

    // A firmware stream of three records that the emulated bootloader takes.
    static std::string smallFirmware (juce::uint32 version)
    {
        const auto bytes = SyntheticFirmware::buildPayload (version, 3);
        return { bytes.begin(), bytes.end() };
    }

    // Attaches the pedal in Audio use, reporting this firmware version.
    void attachPedal (int version = LinkRig::pedalVersion)
    {
        rig.pedal.setFirmwareVersion (version);
        rig.driver().connect (Mode::audio);
        rig.drain();
        pedal.device = rig.findDevice();
        rig.pedal.clearReceivedMessages();
    }

    void serveVersionFile (const std::string& json) { server.serve (versionPath, LoopbackHttpServer::text (json)); }

    // A firmware archive holding a small stream of this version, and its address.
    std::string serveFirmware (juce::uint32 version)
    {
        server.serve ("/fw.zip", LoopbackHttpServer::text (toString (makeZip ({ { "Pedal.syx", smallFirmware (version) } }))));
        return server.address ("/fw.zip");
    }

    // A way into the update dialog: the query's answer it opens with (up to
    // date or failed: it checks afresh, and this version file is served), and
    // the state it ends in.
    struct WayIn
    {
        const char* what;
        int pedalVersion, status;
        juce::uint32 version;
        std::string versionFile; // "-": none served; empty: no check
        FirmwareUpdateFlow::State state;
        int result; // on closing: 1 once a job has ended
    };

    // Each answer of a check, and each offer the query makes at once.
    static std::vector<WayIn> waysIn()
    {
        using Flow = FirmwareUpdateFlow;
        return {
            { "no version file", 0x010203, 0, 0, "-", Flow::checkFailed, 1 },
            { "a version file of no JSON", 0x010203, 0, 0, "<html>pellion</html>", Flow::checkFailed, 1 },
            { "nothing newer", 0x010203, 1, 0, R"({"pluginVersion":"0.2.0","firmwareVersion":"1.2.3"})", Flow::upToDate, 1 },
            { "a newer plug-in", 0x010203, 0, 0, R"({"pluginVersion":"0.3.1","firmwareVersion":"9.0.0"})", Flow::pluginUpdateAvailable, 1 },
            { "newer firmware online", 0x010203, 0, 0, R"({"pluginVersion":"0.2.0","firmwareVersion":"1.3.0"})", Flow::onlineUpdateAvailable, 1 },
            { "a pedal older than the carried image", 0x000100, 0, 0, R"({"pluginVersion":"0.2.0","firmwareVersion":"1.3.0"})",
              Flow::embeddedUpdateAvailable, 1 },
            { "the carried image, offered at once", 0x010203, 2, 0x090909, "", Flow::embeddedUpdateAvailable, 0 },
            { "online firmware, offered at once", 0x010203, 3, 0x010300, "", Flow::onlineUpdateAvailable, 0 },
            { "a plug-in, offered at once", 0x010203, 4, 0x000301, "", Flow::pluginUpdateAvailable, 0 },
        };
    }

    // Serves the version file a way in checks with.
    void serveVersionFileOf (const WayIn& way)
    {
        server.serve (versionPath, way.versionFile == "-" ? LoopbackHttpServer::text ("", 404) : LoopbackHttpServer::text (way.versionFile));
    }

    int enterBootloaderSent() const { return rig.pedal.countReceived (Sysex::SystemGroup, Sysex::EnterBootloader); }

    LinkRig rig;
    juce::SharedResourcePointer<UsbBaseDeviceManager<UsbBootDevice>> bootManager;
    LoopbackHttpServer server;
    ScratchFolder files;
    TrackedPedal pedal { rig.getManager() };
};
