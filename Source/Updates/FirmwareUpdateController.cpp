#include "Updates/FirmwareUpdateController.h"

#include "Devices/FirmwareImage.h"
#include "Updates/FirmwareUpdateFile.h"
#include "Updates/VersionNumber.h"
#include "Utilities/InputLimits.h"
#include "Utilities/SafeFileReader.h"

namespace
{
const char* const waitingText = "Waiting for device...\n\nDO NOT UNPLUG PEDAL!";
const char* const updatingText = "Updating...\n\nDO NOT UNPLUG PEDAL!";
const char* const restartingText = "Restarting pedal...\n\nDO NOT UNPLUG PEDAL!";
const char* const timeoutText = "Operation timeout\n\nDevice not found\nor not ready";
const char* const noPortText = "Update failed\n\nThe bootloader's MIDI port\ncould not be opened";
const char* const noRestartText = "Update failed\n\nThe pedal did not restart\nwith the new firmware";
} // namespace

FirmwareUpdateController::FirmwareUpdateController (const juce::MemoryBlock& updateBytes, const juce::String& path)
    : image (updateBytes), updateFilePath (path)
{
    bootManager->addListener (this);
}

FirmwareUpdateController::~FirmwareUpdateController()
{
    // The body ends at its next message or poll, before anything it uses goes.
    stopThread (getStopTimeoutMs());
    stopTimer (waitTimerId);
    stopTimer (restartTimerId);
    bootManager->removeListener (this);

    if (auto* device = bootDevice.exchange (nullptr))
        device->removeListener (this);
}

//==============================================================================
bool FirmwareUpdateController::loadBuffer (juce::MidiBuffer& buffer, const juce::MemoryBlock& bytes)
{
    return FirmwareUpdateFile::split (bytes, buffer) == FirmwareUpdateFile::Problem::none;
}

//==============================================================================
bool FirmwareUpdateController::start (bool pedalAttached)
{
    // Checked before anything reaches a pedal: an update that fails is never sent, nor asked for.
    loadFailure = load();
    loaded = true;

    if (loadFailure.isNotEmpty())
    {
        launchThread();
        return false;
    }

    if (! pedalAttached && bootManager->getNumDevices() > 0)
    {
        // Never shared: a bootloader that another job is flashing is left to it.
        auto* first = bootManager->getDevice (0);
        if (! first->hasListeners())
            take (first);
    }

    if (bootDevice.load() == nullptr)
        startTimer (waitTimerId, bootloaderWaitMs);

    launchThread();
    return true;
}

void FirmwareUpdateController::take (UsbBootDevice* device)
{
    device->addListener (this);
    bootDevice = device;
    stopTimer (waitTimerId);
    restartWatch.arm();
}

bool FirmwareUpdateController::isBeforeSending() const noexcept
{
    const auto now = phase.load();
    return now == Phase::idle || now == Phase::loading || now == Phase::waiting;
}

void FirmwareUpdateController::deviceAdded (UsbBootDevice* device)
{
    if (bootDevice.load() != nullptr || device->hasListeners() || ! isBeforeSending())
        return;

    take (device);
    notify();
}

void FirmwareUpdateController::deviceRemoved (UsbBootDevice* device)
{
    if (device != bootDevice.load())
        return;

    device->removeListener (this);
    {
        const std::lock_guard<std::mutex> lock (deviceLock);
        bootDevice = nullptr;
    }

    stopTimer (waitTimerId);

    // Still waiting, the job ends as if no bootloader had come; a sending job
    // notices at its next message, and after the last one a bootloader that
    // goes is the pedal restarting.
    if (isBeforeSending())
        stopThread (getStopTimeoutMs());
}

void FirmwareUpdateController::timerCallback (int timerId)
{
    stopTimer (timerId);

    const bool waiting = timerId == waitTimerId && bootDevice.load() == nullptr && isBeforeSending();

    if (waiting || (timerId == restartTimerId && phase.load() == Phase::restarting))
        stopThread (getStopTimeoutMs());
}

void FirmwareUpdateController::timerCallback()
{
    if (phase.load() == Phase::restarting && ! restartWaitStarted)
    {
        restartWaitStarted = true;
        startTimer (restartTimerId, restartWaitMs);
    }

    ThreadWithProgress::timerCallback(); // may delete this
}

//==============================================================================
void FirmwareUpdateController::run()
{
    phase = Phase::loading;
    reportProgress (-1.0);
    result = flashPending;

    // Launched without start(), the job loads here, before waiting for anything.
    if (! loaded)
        loadFailure = load();

    if (loadFailure.isNotEmpty())
        return finish (loadFailure);

    auto* device = waitForBootloader();
    if (device == nullptr)
        return finish (timeoutText, flashDeviceNotFound);

    phase = Phase::sending;
    reportStatusMessage (updatingText);

    switch (send (messages, device))
    {
        case Sent::aborted: return finish ("Aborted");
        case Sent::noPort: return finish (noPortText);
        case Sent::all: break;
    }

    phase = Phase::restarting;
    reportStatusMessage (restartingText);

    while (! restartWatch.hasReport())
    {
        if (threadShouldExit())
            return finish (noRestartText);

        wait (pollIntervalMs);
    }

    const auto expected = expectedVersion.load();
    const auto reported = restartWatch.getReportedVersion();

    if (expected != 0 && reported != expected)
        return finish ("Update failed\n\nThe pedal reports firmware v" + VersionNumber::versionStringFromNumber (reported)
                       + "\ninstead of v" + VersionNumber::versionStringFromNumber (expected));

    finish ("Update complete", flashSucceeded);
}

juce::String FirmwareUpdateController::load()
{
    if (updateFilePath.isNotEmpty())
    {
        juce::MemoryBlock bytes;
        if (juce::File::isAbsolutePath (updateFilePath))
            SafeFileReader::read (juce::File (updateFilePath), bytes, InputLimits::firmwareFileBytes);

        return loadBuffer (messages, bytes) ? juce::String() : "Failed to load update file";
    }

    if (loadBuffer (messages, image))
        return {};

    // No bytes at all: the carried image was refused, and the user is told why.
    const auto problem = image.isEmpty() ? FirmwareImage::checkCarriedImage() : FirmwareImage::Problem::none;
    return "Failed to load firmware image"
         + (problem == FirmwareImage::Problem::none ? juce::String() : "\n\n" + FirmwareImage::describe (problem));
}

UsbBootDevice* FirmwareUpdateController::waitForBootloader()
{
    phase = Phase::waiting;
    reportStatusMessage (waitingText);

    for (;;)
    {
        if (auto* device = bootDevice.load())
            return device;

        if (threadShouldExit())
            return nullptr;

        wait (pollIntervalMs);
    }
}

FirmwareUpdateController::Sent FirmwareUpdateController::send (const juce::MidiBuffer& buffer, UsbBootDevice* device)
{
    // A bootloader that went may already be deleted: it is only touched under
    // the lock, and only while it is still the one taken.
    const auto stillTaken = [this, device] { return bootDevice.load() == device; };
    const auto total = buffer.getNumEvents();
    {
        const std::lock_guard<std::mutex> lock (deviceLock);
        if (! stillTaken())
            return Sent::aborted;

        auto& ports = device->getMidiDevice();
        ports.open();
        if (! ports.isOutputOpen())
        {
            ports.close();
            return Sent::noPort;
        }
    }

    int index = 0;
    for (const auto event : buffer)
    {
        {
            const std::lock_guard<std::mutex> lock (deviceLock);
            if (! stillTaken())
                return Sent::aborted;

            if (threadShouldExit())
            {
                device->getMidiDevice().close();
                return Sent::aborted;
            }

            device->getMidiDevice().sendMessageNow (event.getMessage());
        }

        reportProgress ((double) ((float) index++ / (float) total));
        messagePause (messagePauseMs);
    }

    const std::lock_guard<std::mutex> lock (deviceLock);
    if (stillTaken())
        device->getMidiDevice().close();

    return Sent::all;
}

void FirmwareUpdateController::finish (const juce::String& status, int outcome)
{
    reportStatusMessage (status);
    result = outcome;
    phase = Phase::ended;
}
