#pragma once

#include "Devices/UsbDeviceClient.h"
#include "Emulation/CoSimulation.h"
#include "Emulation/ImpulseProbe.h"

#include <limits>
#include <vector>

// One client's bridge streaming impulses through the emulated pedal in
// co-simulation, looked at once a second: both rings' lows as drift control
// measures them and their raw lows, against the set points it holds them at,
// the resampling ratios, the restarts, and how far each impulse's round trip
// is from the latency the bridge reports.
class DriftRecording
{
public:
    struct Second
    {
        double time = 0.0;
        int toLow = -1, fromLow = -1;               // the latest lows drift control took
        int toRawLow = -1, fromRawLow = -1;         // the rings' own lowest fills this second, while streaming
        int toTarget = 0, fromTarget = 0;         // the fills drift control holds the rings at
        double toRatio = 1.0, fromRatio = 1.0;
        int restarts = 0;
    };

    struct Summary
    {
        int restarts = 0;
        double settledAfter = 0.0;           // seconds until both lows stay within settleBand of their set points
        int toDeviation[2] {}, fromDeviation[2] {}; // lowest and highest low minus set point, while measured
        int toRange = 0, fromRange = 0;
        int toRawDeviation[2] {}, fromRawDeviation[2] {}; // lowest and highest raw low minus set point
        int toTarget = 0, fromTarget = 0;         // the same, at the end
        int rawSumDeviation[2] {}; // both raw fills at each host block minus the targets less a block
        double meanError = 0.0;              // reported latency minus measured round trip, whole run
        double meanSettledError = 0.0;       // the same once settled
        double worstError = 0.0;
        double meanLaterError = 0.0;         // the same, of the impulses sent after the first minute
        double worstLaterError = 0.0;
        int arrivals = 0;
    };

    static constexpr int settleBand = 16;

    // Starts the host's blocks through the client (impulses every impulsePeriod samples), at the host's rate.
    DriftRecording (CoSimulation& sim, UsbDeviceClient& client, int hostBlock, int impulsePeriod = 24000,
                    double sampleRate = CoSimulation::defaultSampleRate);
    ~DriftRecording();

    void run (double seconds);

    const std::vector<Second>& getSeconds() const noexcept { return seconds; }
    const std::vector<ImpulseProbe::Arrival>& getArrivals() const noexcept { return probe.arrivals; }
    Summary summarise() const;

private:
    void look();

    CoSimulation& sim;
    UsbDeviceClient& client;
    const double startedAt, rate;
    int lookId = 0;
    ImpulseProbe probe;
    std::vector<Second> seconds;
    std::vector<int> latencies; // reported, at each impulse's arrival
    int toRawLow = -1, fromRawLow = -1; // since the last look
    int rawSum[2] { std::numeric_limits<int>::max(), std::numeric_limits<int>::min() };
};
