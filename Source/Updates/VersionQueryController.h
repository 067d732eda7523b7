#pragma once

#include "Updates/VersionQuery.h"
#include "Updates/UpdateServer.h"
#include "Utilities/ThreadWithProgress.h"

// The online version check: fetches the version file from the update server on
// its own thread and keeps its string properties. It writes no status and no
// progress; its owner learns of the end through threadComplete or asks later.
class VersionQueryController : public ThreadWithProgress
{
public:
    static constexpr int defaultConnectionTimeoutMs = UpdateServer::connectionTimeoutMs;
    static constexpr int defaultDeadlineMs = UpdateServer::versionFileDeadlineMs;

    VersionQueryController();
    ~VersionQueryController() override;

    // The answer for the pedal's firmware version (0 without a pedal); failed
    // until the fetch has ended. Message thread.
    VersionQuery getResult (VersionNumber deviceFirmware) const;

    // Where every query in the process fetches the version file; tests point it
    // at a server on this computer. Only addresses HttpGet allows are contacted.
    static void setVersionFileAddress (const juce::URL& address);
    static juce::URL getVersionFileAddress();

    // Connecting and stalled transfers give up after this long.
    void setConnectionTimeoutMs (int milliseconds) noexcept { connectionTimeoutMs = milliseconds; }
    // The whole fetch fails when it has not ended this long after it started.
    void setDeadlineMs (int milliseconds) noexcept { deadlineMs = milliseconds; }

    void run() override;

private:
    juce::PropertySet result { false };
    const juce::PropertySet idleResult { false };
    int connectionTimeoutMs = defaultConnectionTimeoutMs;
    int deadlineMs = defaultDeadlineMs;

    JUCE_DECLARE_NON_COPYABLE (VersionQueryController)
};
