#pragma once

#include "Devices/UsbBootDevice.h"
#include "Devices/UsbDeviceManager.h"
#include "Updates/PedalRestartWatch.h"
#include "Utilities/ThreadWithProgress.h"

#include <juce_audio_basics/juce_audio_basics.h>
#include <atomic>
#include <functional>
#include <mutex>

// Flashes the pedal through its MIDI bootloader: loads the update (a dropped
// ".syx" file, else the given bytes) and checks that it is a whole firmware,
// waits for a bootloader, sends it every message in file order with a 10 ms
// pause after each, and then waits for the pedal to come back with the new
// firmware. Success is reported only once the pedal has restarted (reporting
// the expected version, when one was set).
class FirmwareUpdateController : public ThreadWithProgress,
                                 public juce::MultiTimer,
                                 private UsbBaseDeviceManager<UsbBootDevice>::Listener,
                                 private UsbBootDevice::Listener
{
public:
    enum Result
    {
        flashPending = -1,       // not finished, aborted or failed
        flashSucceeded = 0,      // sent, and the pedal came back
        flashDeviceNotFound = 2  // no bootloader before the wait ended
    };

    enum TimerIds
    {
        waitTimerId = 0,   // no bootloader within this time ends the job
        restartTimerId = 1 // the pedal not back within this time after sending fails the job
    };

    static constexpr int bootloaderWaitMs = 60000;
    static constexpr int restartWaitMs = 30000;
    static constexpr int messagePauseMs = 10;
    static constexpr int pollIntervalMs = 100;

    // The update bytes (the carried image's payload or a download) and the path
    // of a dropped file, which, when not empty, is used instead.
    FirmwareUpdateController (const juce::MemoryBlock& image, const juce::String& updateFilePath);
    ~FirmwareUpdateController() override;

    // The version the pedal must report when it comes back; 0 accepts any.
    void setExpectedFirmwareVersion (juce::uint32 version) noexcept { expectedVersion = version; }

    // How the body waits after each message it sends; by default it sleeps.
    // Tests hand in a simulated clock. Set before start().
    using Pause = std::function<void (int milliseconds)>;
    void setMessagePause (Pause pause) { messagePause = std::move (pause); }

    // Loads and checks the update first. When it is a whole firmware: with no
    // pedal attached in normal use, takes the bootloader manager's first
    // bootloader (unless another job uses it), else waits up to 60 s for one to
    // appear. Then launches; a job whose update failed only reports why. True
    // when the update loaded: only then may the caller send an attached pedal
    // EnterBootloader. Message thread.
    bool start (bool pedalAttached);

    int getResult() const noexcept { return result.load(); }
    UsbBootDevice* getBootDevice() const noexcept { return bootDevice.load(); }

    // Splits a whole firmware into its messages, in file order (see
    // FirmwareUpdateFile). False, with the buffer empty, for anything else.
    static bool loadBuffer (juce::MidiBuffer& buffer, const juce::MemoryBlock& bytes);

    void run() override;

    // The relay; once everything is sent, it also starts the wait for the pedal.
    void timerCallback() override;
    void timerCallback (int timerId) override;

private:
    enum class Phase { idle, loading, waiting, sending, restarting, ended };
    enum class Sent { all, aborted, noPort };

    bool isBeforeSending() const noexcept;
    void deviceAdded (UsbBootDevice* device) override;
    void deviceRemoved (UsbBootDevice* device) override;
    void take (UsbBootDevice* device);
    juce::String load();
    UsbBootDevice* waitForBootloader();
    Sent send (const juce::MidiBuffer& buffer, UsbBootDevice* device);
    void finish (const juce::String& status, int outcome = flashPending);

    std::atomic<Phase> phase { Phase::idle };
    std::atomic<int> result { flashPending };
    std::atomic<UsbBootDevice*> bootDevice { nullptr };
    std::atomic<juce::uint32> expectedVersion { 0 };

    // Held by the body while it uses the bootloader, and by the message thread
    // while it takes the bootloader away: a removed bootloader is never touched.
    std::mutex deviceLock;

    juce::SharedResourcePointer<UsbBaseDeviceManager<UsbBootDevice>> bootManager;
    PedalRestartWatch restartWatch;
    const juce::MemoryBlock image;
    const juce::String updateFilePath;

    // The messages to send, or why there are none; filled before the launch.
    juce::MidiBuffer messages;
    juce::String loadFailure;
    bool loaded = false;
    Pause messagePause { [] (int milliseconds) { juce::Thread::sleep (milliseconds); } };
    bool restartWaitStarted = false;

    JUCE_DECLARE_NON_COPYABLE (FirmwareUpdateController)
};
