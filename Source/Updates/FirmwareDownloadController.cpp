#include "Updates/FirmwareDownloadController.h"

#include "Updates/FirmwareArchive.h"
#include "Updates/FirmwareUpdateFile.h"
#include "Updates/HttpGet.h"
#include "Updates/UpdateServer.h"
#include "Utilities/InputLimits.h"

FirmwareDownloadController::FirmwareDownloadController (const juce::URL& archiveAddress) : url (archiveAddress) {}

FirmwareDownloadController::~FirmwareDownloadController()
{
    // The transfer is cancelled by the exit request, so this never waits for a stalled server.
    stopThread (getStopTimeoutMs());
}

void FirmwareDownloadController::run()
{
    data.reset();
    result = downloadFailed;
    reportStatusMessage ("Downloading...");

    juce::MemoryBlock archive;
    if (! transfer (archive))
    {
        if (threadShouldExit())
            reportStatusMessage ("Aborted");

        return reportStatusMessage ("Download failed");
    }

    switch (FirmwareArchive::extractUpdateFile (archive.getData(), archive.getSize(), data))
    {
        case FirmwareArchive::Outcome::archiveNotValid: return reportStatusMessage ("Downloaded file is not valid");
        case FirmwareArchive::Outcome::contentNotValid: return reportStatusMessage ("File content is not valid");
        case FirmwareArchive::Outcome::extracted: break;
    }

    // Only a whole firmware is a complete download; a part of one never goes on to be flashed.
    juce::MidiBuffer messages;
    if (FirmwareUpdateFile::split (data, messages) != FirmwareUpdateFile::Problem::none)
    {
        data.reset();
        return reportStatusMessage ("File content is not valid");
    }

    reportStatusMessage ("Download complete");
    result = downloadSucceeded;
}

bool FirmwareDownloadController::transfer (juce::MemoryBlock& archive)
{
    HttpGet get (url, UpdateServer::extraHeaders, connectionTimeoutMs, deadlineMs, this);
    if (! get.open())
        return false;

    juce::HeapBlock<char> chunk (HttpGet::chunkBytes);

    for (;;)
    {
        if (threadShouldExit())
            return false;

        const auto n = get.read (chunk.get(), HttpGet::chunkBytes);
        if (n == 0)
            break;

        if (archive.getSize() + (size_t) n > InputLimits::firmwareArchiveBytes)
            return false;

        archive.append (chunk.get(), (size_t) n);
        reportStatusMessage ("Downloading... " + juce::File::descriptionOfSizeInBytes ((juce::int64) archive.getSize()));
    }

    // A body cut short of its announced length is a failed download, not a smaller archive.
    return ! threadShouldExit() && get.endedCleanly() && ! archive.isEmpty();
}
