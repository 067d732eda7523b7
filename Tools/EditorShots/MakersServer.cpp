#include "MakersServer.h"

#include "Emulation/SyntheticFirmware.h"
#include "Support/ZipMaker.h"
#include "Updates/VersionNumber.h"
#include "Updates/VersionQueryController.h"

MakersServer::MakersServer()
{
    VersionQueryController::setVersionFileAddress (server.url (versionPath));
}

MakersServer::~MakersServer()
{
    VersionQueryController::setVersionFileAddress (juce::URL ("http://127.0.0.1:1/QZR/latest.json"));
}

void MakersServer::publish (const char* plugin, int firmware, const std::string& archivePath)
{
    const auto version = versionToString (firmware).toStdString();
    versionFile = LoopbackHttpServer::text (R"({"pluginVersion":")" + std::string (plugin) + R"(","firmwareVersion":")" + version
                                            + R"(","firmwareURL":")" + server.address (archivePath) + "\"}");
    server.serve (versionPath, versionFile);
}

void MakersServer::holdVersionFile()
{
    server.serve (versionPath, held (versionFile));
}

void MakersServer::withdrawVersionFile()
{
    server.serve (versionPath, LoopbackHttpServer::text ("", 404));
}

void MakersServer::serveArchive (const std::string& path, int firmware, bool hold)
{
    const auto stream = SyntheticFirmware::buildPayload ((juce::uint32) firmware, 60);
    auto reply = LoopbackHttpServer::text (toString (makeZip ({ { "QZR-firmware.syx", std::string (stream.begin(), stream.end()) } })));
    server.serve (path, hold ? held (reply) : reply);
}

void MakersServer::release()
{
    ++releases;
    server.release();
}

LoopbackHttpServer::Reply MakersServer::held (LoopbackHttpServer::Reply reply) const
{
    reply.holdAt.assign (releases + 1, 0);
    return reply;
}
