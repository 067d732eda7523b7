#pragma once

#include <optional>

class AudioIODeviceSource;
class UsbDeviceDriver;

// The pedal's latency calibrations, on the message thread: each bridge
// measures the round trip through the pedal; each calibration ends by telling
// the pedal so (Calibrate [0]) and, when it measured something, storing it as
// "extraLatency". The driver starts them: on every attached client when the
// pedal asks, on the primary one at a connection without a measured latency.
class LatencyCalibration
{
public:
    explicit LatencyCalibration (UsbDeviceDriver& pedalDriver) : driver (pedalDriver) {}

    // Arms a calibration on this bridge (not without any block size known).
    bool start (AudioIODeviceSource& bridge);

    // The pedal confirmed Audio use. A pedal measures from then on until a
    // calibration's end tells it otherwise: without a stored latency the
    // primary bridge calibrates; else, or when it cannot, the pedal hears at
    // once that no calibration follows.
    void audioConnected (AudioIODeviceSource* primary);

    // How the latest calibration ended.
    enum class Status { none, running, measured, timedOut };
    Status getStatus() const noexcept { return status; }
    int getLastMeasuredLatency() const noexcept { return lastMeasuredLatency; }

private:
    void ended (std::optional<int> latencySamples);
    void tellPedalItIsOver();

    UsbDeviceDriver& driver;
    Status status = Status::none;
    int lastMeasuredLatency = 0;
};
