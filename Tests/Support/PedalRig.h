#pragma once

#include "Devices/Midi/SysexMessage.h"
#include "Devices/UsbDeviceManager.h"
#include "Emulation/EmulatedPedal.h"

#include "Support/LinkSupport.h"

#include <gtest/gtest.h>
#include <juce_events/juce_events.h>
#include <chrono>
#include <memory>
#include <thread>

// One emulated pedal behind the process-wide pedal manager that processors
// share. The virtual ports are installed before the manager exists, so every
// scan sees them; nothing runs the message loop, so the tests drain by hand.
class PedalRig
{
public:
    using Manager = UsbBaseDeviceManager<UsbDevice>;

    static constexpr uint8_t pedalId = 0x15;
    static constexpr int pedalSlot = 2;
    static constexpr const char* pedalName = "QZR-1A2B";

    PedalRig()
    {
        ports.install();
        audioTypes.install();
        pedal.plugIn();
        manager = std::make_unique<juce::SharedResourcePointer<Manager>>();
        getManager().scanForDevices();
    }

    ~PedalRig()
    {
        releaseRetired();
        manager.reset();
        pedal.unplug();
    }

    Manager& getManager() { return **manager; }
    UsbDevice* findDevice() { return getManager().findDevice (pedalName); }

    // Everything the pedal sent so far reaches the plug-in, as the 50 ms drain does.
    void drain()
    {
        EXPECT_TRUE (ports.flush());
        if (auto* device = findDevice())
            device->getDriver().getMidiDevice().deliverWaitingMessages();
    }

    void unplugAndScan()
    {
        pedal.unplug();
        getManager().scanForDevices();
    }

    void plugInAndScan()
    {
        pedal.plugIn();
        getManager().scanForDevices();
    }

    // Deletes what no audio thread can reach any more; true once nothing waits.
    bool releaseRetired (int timeoutMs = 2000)
    {
        auto& retired = getManager().getRetiredObjects();
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds (timeoutMs);

        for (;;)
        {
            retired.releaseSafeObjects();
            if (retired.getNumPending() == 0)
                return true;
            if (std::chrono::steady_clock::now() > deadline)
                return false;
            std::this_thread::sleep_for (std::chrono::milliseconds (1));
        }
    }

    // A frame as the plug-in sends it once the pedal has answered: its id and slot.
    static Bytes frame (uint8_t group, uint8_t command, Bytes payload = {}, uint8_t id = pedalId, int slot = pedalSlot)
    {
        Bytes bytes { 0xF0, 0x00, 0x5A, 0x3D, 0x00, 0x02, id, (uint8_t) ((group << 4) | ((slot + 1) & 0x0F)), command };
        bytes.insert (bytes.end(), payload.begin(), payload.end());
        bytes.push_back (0xF7);
        return bytes;
    }

    // The frames the pedal received with this group, in order.
    std::vector<Bytes> receivedInGroup (uint8_t group) const
    {
        std::vector<Bytes> found;
        for (auto& message : pedal.getReceivedMessages())
            if (message.size() >= 10 && message[0] == 0xF0 && (message[7] >> 4) == group)
                found.push_back (message);
        return found;
    }

    VirtualMidiPorts ports;
    VirtualAudioDeviceTypes audioTypes;
    EmulatedPedal pedal { ports, audioTypes, pedalName, pedalId };

private:
    std::unique_ptr<juce::SharedResourcePointer<Manager>> manager;
};
