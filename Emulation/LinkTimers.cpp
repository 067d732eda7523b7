#include "Emulation/LinkTimers.h"

#include <vector>

namespace
{
// Ids of the timers that are not numbered by their owners.
constexpr int scanTimer = -1, drainTimer = -2, peakTimer = -3;
} // namespace

LinkTimers::LinkTimers (Manager& m, VirtualMidiPorts& p) : manager (m), ports (p) {}

bool LinkTimers::due (const void* object, int id, bool running, int intervalMs, int64_t nowMs)
{
    const auto key = std::make_pair (object, id);

    if (! running || intervalMs <= 0)
    {
        nextDue.erase (key);
        return false;
    }

    // A timer first seen now fires one period later, as a started timer does.
    auto [entry, added] = nextDue.try_emplace (key, nowMs + intervalMs);

    if (added || nowMs < entry->second)
        return false;

    entry->second += intervalMs;
    return true;
}

void LinkTimers::runDue (int64_t nowMs)
{
    if (due (&manager, scanTimer, true, scanIntervalMs, nowMs))
        manager.scanForDevices();

    for (int i = 0; i < manager.getNumDevices(); ++i)
    {
        auto* device = manager.getDevice (i);
        auto& driver = device->getDriver();

        if (due (device, drainTimer, true, midiDrainIntervalMs, nowMs))
        {
            ports.flush();
            device->getMidiDevice().deliverWaitingMessages();
        }

        // A callback may detach clients or remove this pedal: each step looks again.
        const auto keepAliveId = UsbDeviceDriver::keepAliveTimerId;
        if (due (&driver, keepAliveId, driver.isTimerRunning (keepAliveId), driver.getTimerInterval (keepAliveId), nowMs))
            driver.timerCallback (keepAliveId);

        if (i >= manager.getNumDevices() || manager.getDevice (i) != device)
            break;

        std::vector<UsbDeviceClient*> clients;
        for (const auto& entry : device->getController().getEntries())
            clients.push_back (entry.client);

        for (auto* client : clients)
        {
            auto& bridge = client->getAudioSource();
            bridge.applyPendingUpdate(); // what JUCE's message loop would deliver

            for (int id : { (int) AudioIODeviceSource::driftTimerId, (int) AudioIODeviceSource::restartTimerId,
                            (int) AudioIODeviceSource::calibrationTimerId, (int) AudioIODeviceSource::handOverTimerId })
                if (due (&bridge, id, bridge.isTimerRunning (id), bridge.getTimerInterval (id), nowMs))
                    bridge.timerCallback (id);

            auto& peaks = client->getPeakDetector();
            if (due (&peaks, peakTimer, peaks.isTimerRunning(), peaks.getTimerInterval(), nowMs))
                peaks.timerCallback();
        }
    }

    manager.getRetiredObjects().releaseSafeObjects();
}
