#include "Emulation/DriftRecording.h"

#include <algorithm>
#include <cmath>
#include <limits>

DriftRecording::DriftRecording (CoSimulation& s, UsbDeviceClient& c, int hostBlock, int impulsePeriod)
    : sim (s), client (c), startedAt (s.getSeconds()), probe (impulsePeriod)
{
    sim.setHost (CoSimulation::defaultSampleRate, hostBlock, 2, [this] (juce::AudioBuffer<float>& block, int64_t first)
    {
        probe.fill (block, first);
        client.getNextAudioBlock (juce::AudioSourceChannelInfo (block));

        const auto before = probe.arrivals.size();
        probe.take (block, first);

        for (auto i = before; i < probe.arrivals.size(); ++i)
            latencies.push_back (client.getAudioSource().getLatencySamples());
    });

    lookId = sim.addPeriodicWork (1000, [this] { look(); });
}

DriftRecording::~DriftRecording()
{
    sim.removePeriodicWork (lookId);
    sim.stopHost();
}

void DriftRecording::run (double durationSeconds)
{
    sim.run (durationSeconds);
}

void DriftRecording::look()
{
    auto& bridge = client.getAudioSource();
    Second s;
    s.time = sim.getSeconds();
    s.toLow = bridge.getToDeviceControl().getLastLowestFill();
    s.fromLow = bridge.getFromDeviceControl().getLastLowestFill();
    s.toSetPoint = bridge.getToDeviceControl().getSetPoint();
    s.fromSetPoint = bridge.getFromDeviceControl().getSetPoint();
    s.toRatio = bridge.getToDeviceRatio();
    s.fromRatio = bridge.getFromDeviceRatio();
    s.restarts = bridge.getDiagnostics().restarts;
    seconds.push_back (s);
}

DriftRecording::Summary DriftRecording::summarise() const
{
    Summary summary;
    auto& bridge = client.getAudioSource();
    summary.restarts = bridge.getDiagnostics().restarts;
    summary.toRange = bridge.getToDeviceControl().getRange();
    summary.fromRange = bridge.getFromDeviceControl().getRange();

    auto deviation = [] (int low, float setPoint) { return (int) std::lround ((float) low - setPoint); };
    auto steered = [] (const Second& s) { return s.toLow >= 0 && s.fromLow >= 0 && s.toSetPoint >= 0.0f && s.fromSetPoint >= 0.0f; };

    // Settled from the first second after which every later one stays in the band.
    size_t settled = seconds.size();
    for (size_t i = seconds.size(); i-- > 0;)
    {
        const auto& s = seconds[i];
        if (! steered (s) || std::abs (deviation (s.toLow, s.toSetPoint)) > settleBand
            || std::abs (deviation (s.fromLow, s.fromSetPoint)) > settleBand)
            break;
        settled = i;
    }

    summary.settledAfter = settled < seconds.size() ? seconds[settled].time : sim.getSeconds();
    summary.toDeviation[0] = summary.fromDeviation[0] = std::numeric_limits<int>::max();
    summary.toDeviation[1] = summary.fromDeviation[1] = std::numeric_limits<int>::min();

    for (const auto& s : seconds)
    {
        if (! steered (s))
            continue;

        const auto to = deviation (s.toLow, s.toSetPoint);
        const auto from = deviation (s.fromLow, s.fromSetPoint);
        summary.toDeviation[0] = std::min (summary.toDeviation[0], to);
        summary.toDeviation[1] = std::max (summary.toDeviation[1], to);
        summary.fromDeviation[0] = std::min (summary.fromDeviation[0], from);
        summary.fromDeviation[1] = std::max (summary.fromDeviation[1], from);
    }

    double total = 0.0, settledTotal = 0.0;
    int settledCount = 0;
    const auto settledSample = (int64_t) ((summary.settledAfter - startedAt) * CoSimulation::defaultSampleRate);

    for (size_t i = 0; i < probe.arrivals.size(); ++i)
    {
        const double error = (double) latencies[i] - probe.arrivals[i].delay;
        total += error;
        summary.worstError = std::max (summary.worstError, std::abs (error));

        if (probe.arrivals[i].sentAt >= settledSample)
        {
            settledTotal += error;
            ++settledCount;
        }
    }

    summary.arrivals = (int) probe.arrivals.size();
    summary.meanError = probe.arrivals.empty() ? 0.0 : total / (double) probe.arrivals.size();
    summary.meanSettledError = settledCount > 0 ? settledTotal / settledCount : 0.0;
    return summary;
}
