#pragma once

#include "Devices/UsbDeviceManager.h"

#include <juce_events/juce_events.h>
#include <atomic>

// After a firmware flash, waits for the pedal to come back and learns which
// firmware it reports. Once armed, the first pedal that the pedal manager finds
// is watched: when nobody uses it, the watch asks it for Control use (its reply
// carries the firmware version) and lets it go again right after; otherwise it
// waits for the reply that its user's request brings. Message thread, except
// for the two readers.
class PedalRestartWatch : private UsbBaseDeviceManager<UsbDevice>::Listener,
                          private UsbDeviceDriver::Listener,
                          private juce::AsyncUpdater
{
public:
    PedalRestartWatch();
    ~PedalRestartWatch() override;

    // From now on a pedal that appears is asked for its firmware version.
    void arm() noexcept { armed = true; }

    // Any thread.
    bool hasReport() const noexcept { return reported.load(); }
    juce::uint32 getReportedVersion() const noexcept { return reportedVersion.load(); }

private:
    void deviceAdded (UsbDevice* device) override;
    void deviceRemoved (UsbDevice* device) override;
    void deviceConnected (UsbDeviceDriver* driver) override;
    void handleAsyncUpdate() override;

    // Lets go of the pedal, and releases it when the watch asked for it and nobody else uses it.
    void stopWatching();

    juce::SharedResourcePointer<UsbBaseDeviceManager<UsbDevice>> pedalManager;
    UsbDevice* watched = nullptr;
    bool armed = false;
    bool askedOurselves = false;
    std::atomic<bool> reported { false };
    std::atomic<juce::uint32> reportedVersion { 0 };

    JUCE_DECLARE_NON_COPYABLE (PedalRestartWatch)
};
