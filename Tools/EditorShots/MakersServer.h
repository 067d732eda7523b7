#pragma once

#include "Support/LoopbackHttpServer.h"

#include <string>

// The maker's server, on this computer: the version file and the firmware
// archives. A held reply waits for the next release(), so that a state that
// waits for it (a check, a download) stays until its picture is taken;
// release() within the client's 3 s time-out.
class MakersServer
{
public:
    static constexpr const char* versionPath = "/QZR/latest.json";

    // Points every version check at this server, and at a closed port once it goes.
    MakersServer();
    ~MakersServer();

    void publish (const char* plugin, int firmware, const std::string& archivePath);
    void holdVersionFile();
    void withdrawVersionFile();

    // An archive with the firmware stream of this version.
    void serveArchive (const std::string& path, int firmware, bool held);

    void release();

private:
    // The server lets a reply go at the n-th release of its own, counted from
    // the server's start, so a held reply waits at one more point than there
    // were releases so far.
    LoopbackHttpServer::Reply held (LoopbackHttpServer::Reply reply) const;

    LoopbackHttpServer server;
    LoopbackHttpServer::Reply versionFile;
    size_t releases = 0;
};
