#pragma once

#include "Devices/UsbDeviceManager.h"
#include "Emulation/VirtualMidiPorts.h"

#include <cstdint>
#include <map>
#include <utility>

// The pedal link's message-thread timers in simulated time: the manager's
// scan, each pedal's MIDI drain and keep-alive, each client's bridge and peak
// detector, and the retirement of objects the audio threads have left. Each
// runs when its own timer is running and its period is up, by calling its
// callback; a bridge's pending update is applied at every pass. JUCE's message
// loop is never pumped.
class LinkTimers
{
public:
    using Manager = UsbBaseDeviceManager<UsbDevice>;

    static constexpr int scanIntervalMs = Manager::scanPeriodMs;
    static constexpr int midiDrainIntervalMs = 50;

    LinkTimers (Manager& manager, VirtualMidiPorts& ports);

    // Runs everything due at `nowMs` (a time that only grows).
    void runDue (int64_t nowMs);

private:
    // Whether a timer of this object and id, running with that interval, is due.
    bool due (const void* object, int id, bool running, int intervalMs, int64_t nowMs);

    Manager& manager;
    VirtualMidiPorts& ports;
    std::map<std::pair<const void*, int>, int64_t> nextDue;
};
