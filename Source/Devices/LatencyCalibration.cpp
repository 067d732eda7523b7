#include "Devices/LatencyCalibration.h"

#include "Devices/Audio/AudioIODeviceSource.h"
#include "Devices/UsbDeviceDriver.h"

#include <utility>

bool LatencyCalibration::start (AudioIODeviceSource& bridge)
{
    if (! bridge.startLatencyCalibration ([this] (std::optional<int> latency) { ended (latency); }))
        return false;

    status = Status::running;
    return true;
}

void LatencyCalibration::audioConnected (AudioIODeviceSource* primary)
{
    if (primary != nullptr && driver.getSettings().extraLatency.get() == 0 && start (*primary))
        return;

    // Left measuring, the pedal would play without its effect for a while.
    tellPedalItIsOver();
}

void LatencyCalibration::tellPedalItIsOver()
{
    const uint8_t done[] = { 0 };
    driver.sendSysExMessage (Sysex::SystemGroup, Sysex::Calibrate, done, 1);
}

void LatencyCalibration::ended (std::optional<int> latencySamples)
{
    tellPedalItIsOver();

    if (! latencySamples.has_value())
    {
        // Nothing measured: the stored latency stays, and whoever reads the log
        // learns why, once for all the clients of this calibration.
        if (std::exchange (status, Status::timedOut) != Status::timedOut)
            juce::Logger::writeToLog ("Pellion: the latency calibration of " + driver.getName()
                                      + " heard nothing come back and timed out; the extra latency stays "
                                      + juce::String (driver.getSettings().extraLatency.get()) + ".");
        return;
    }

    status = Status::measured;
    lastMeasuredLatency = *latencySamples;
    driver.getSettings().extraLatency.setValue (*latencySamples, nullptr);
}
