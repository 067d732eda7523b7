#pragma once

#include "Devices/UsbDevice.h"
#include "Devices/UsbDeviceManager.h"

// The processor's part for the update dialog: the pedal it holds, forgotten
// when the manager lets it go (as when it restarts into its bootloader).
struct TrackedPedal : UsbDevice::Holder, UsbBaseDeviceManager<UsbDevice>::Listener
{
    explicit TrackedPedal (UsbBaseDeviceManager<UsbDevice>& m) : manager (m) { manager.addListener (this); }
    ~TrackedPedal() override { manager.removeListener (this); }

    UsbDevice* getDevice() override { return device; }
    void deviceRemoved (UsbDevice* gone) override { device = gone == device ? nullptr : device; }

    UsbBaseDeviceManager<UsbDevice>& manager;
    UsbDevice* device = nullptr;

    JUCE_DECLARE_NON_COPYABLE (TrackedPedal)
};
