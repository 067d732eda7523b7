#pragma once

#include "Updates/UpdateServer.h"
#include "Utilities/ThreadWithProgress.h"

#include <atomic>

// Downloads a firmware archive into memory and takes out its update file,
// reporting "Downloading...", the size read so far, and how it ended. The
// result stays a failure until exactly one ".syx" entry was taken, intact
// (its sizes and CRC-32 as the archive records them), and holds a whole firmware.
class FirmwareDownloadController : public ThreadWithProgress
{
public:
    enum Result
    {
        downloadFailed = -1,
        downloadSucceeded = 0
    };

    static constexpr int defaultConnectionTimeoutMs = UpdateServer::connectionTimeoutMs;
    static constexpr int defaultDeadlineMs = UpdateServer::firmwareArchiveDeadlineMs;

    explicit FirmwareDownloadController (const juce::URL& archiveAddress);
    ~FirmwareDownloadController() override;

    // Read once threadComplete has been called.
    int getResult() const noexcept { return result.load(); }
    const juce::MemoryBlock& getData() const noexcept { return data; }

    // Connecting and stalled transfers give up after this long.
    void setConnectionTimeoutMs (int milliseconds) noexcept { connectionTimeoutMs = milliseconds; }
    // The whole fetch fails when it has not ended this long after it started.
    void setDeadlineMs (int milliseconds) noexcept { deadlineMs = milliseconds; }

    void run() override;

private:
    bool transfer (juce::MemoryBlock& archive);

    const juce::URL url;
    std::atomic<int> result { downloadFailed };
    juce::MemoryBlock data;
    int connectionTimeoutMs = defaultConnectionTimeoutMs;
    int deadlineMs = defaultDeadlineMs;

    JUCE_DECLARE_NON_COPYABLE (FirmwareDownloadController)
};
