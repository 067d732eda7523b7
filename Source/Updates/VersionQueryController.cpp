#include "Updates/VersionQueryController.h"

#include "Devices/FirmwareImage.h"
#include "Updates/HttpGet.h"
#include "Updates/UpdateServer.h"
#include "Updates/VersionFile.h"
#include "Utilities/InputLimits.h"

#include <mutex>

namespace
{
std::mutex addressLock;

juce::URL& versionFileAddress()
{
    static juce::URL address (UpdateServer::versionFileAddress);
    return address;
}
} // namespace

VersionQueryController::VersionQueryController() = default;

VersionQueryController::~VersionQueryController()
{
    // The fetch is cancelled by the exit request, so this never waits for a stalled server.
    stopThread (getStopTimeoutMs());
}

void VersionQueryController::setVersionFileAddress (const juce::URL& address)
{
    const std::lock_guard<std::mutex> lock (addressLock);
    versionFileAddress() = address;
}

juce::URL VersionQueryController::getVersionFileAddress()
{
    const std::lock_guard<std::mutex> lock (addressLock);
    return versionFileAddress();
}

void VersionQueryController::run()
{
    HttpGet get (getVersionFileAddress(), UpdateServer::extraHeaders, connectionTimeoutMs, deadlineMs, this);
    juce::MemoryBlock body;

    if (! get.open() || ! get.readAll (body, InputLimits::versionFileBytes))
        return;

    juce::PropertySet fetched (false);
    if (VersionFile::read (body.getData(), body.getSize(), fetched))
        result = fetched;
}

VersionQuery VersionQueryController::getResult (VersionNumber deviceFirmware) const
{
    // The body writes the result, so it is read only once the body has ended.
    const auto& properties = isThreadRunning() ? idleResult : result;
    return VersionQuery::decide (properties, deviceFirmware, VersionNumber (FirmwareImage::getFirmwareVersion()));
}
