#include "Emulation/DriftRecording.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <utility>

namespace
{
int lowest (int low, int fill) noexcept
{
    return low < 0 ? fill : std::min (low, fill);
}
} // namespace

DriftRecording::DriftRecording (CoSimulation& s, UsbDeviceClient& c, int hostBlock, int impulsePeriod, double sampleRate)
    : sim (s), client (c), startedAt (s.getSeconds()), rate (sampleRate), probe (impulsePeriod)
{
    sim.setHost (rate, hostBlock, 2, [this] (juce::AudioBuffer<float>& block, int64_t first)
    {
        probe.fill (block, first);

        // A ring's fill falls only when its reader reads, so its lows are
        // where its writer comes next: the to-device ring's before the host
        // writes, the from-device ring's right after the host read.
        auto& bridge = client.getAudioSource();
        const bool wasStreaming = bridge.getStreamingState() == AudioIODeviceSource::streaming;
        const int toBefore = bridge.getToDeviceFill();
        client.getNextAudioBlock (juce::AudioSourceChannelInfo (block));

        if (wasStreaming && bridge.getStreamingState() == AudioIODeviceSource::streaming)
        {
            const int fromAfter = bridge.getFromDeviceFill();
            toRawLow = lowest (toRawLow, toBefore);
            fromRawLow = lowest (fromRawLow, fromAfter);

            // Both rings together hold the latency: a block less, the one the host just took.
            const auto& targets = bridge.getTargets();
            const int held = toBefore + fromAfter - (targets.toDevice + targets.fromDevice - block.getNumSamples());
            rawSum[0] = std::min (rawSum[0], held);
            rawSum[1] = std::max (rawSum[1], held);
        }

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
    s.toTarget = bridge.getToDeviceControl().getTarget();
    s.fromTarget = bridge.getFromDeviceControl().getTarget();
    s.toRatio = bridge.getToDeviceRatio();
    s.fromRatio = bridge.getFromDeviceRatio();
    s.restarts = bridge.getDiagnostics().restarts;
    s.toRawLow = std::exchange (toRawLow, -1);
    s.fromRawLow = std::exchange (fromRawLow, -1);
    seconds.push_back (s);
}

DriftRecording::Summary DriftRecording::summarise() const
{
    Summary summary;
    auto& bridge = client.getAudioSource();
    summary.restarts = bridge.getDiagnostics().restarts;
    summary.toRange = bridge.getToDeviceControl().getRange();
    summary.fromRange = bridge.getFromDeviceControl().getRange();
    // No streaming block at all shows as the widest deviation, not as none.
    const bool seen = rawSum[0] <= rawSum[1];
    summary.rawSumDeviation[0] = seen ? rawSum[0] : std::numeric_limits<int>::min();
    summary.rawSumDeviation[1] = seen ? rawSum[1] : std::numeric_limits<int>::max();
    summary.toTarget = bridge.getToDeviceControl().getTarget();
    summary.fromTarget = bridge.getFromDeviceControl().getTarget();

    auto measured = [] (const Second& s) { return s.toLow >= 0 && s.fromLow >= 0; };

    // Settled from the first second after which every later one stays in the band.
    size_t settled = seconds.size();
    for (size_t i = seconds.size(); i-- > 0;)
    {
        const auto& s = seconds[i];
        if (! measured (s) || std::abs (s.toLow - s.toTarget) > settleBand || std::abs (s.fromLow - s.fromTarget) > settleBand)
            break;
        settled = i;
    }

    summary.settledAfter = settled < seconds.size() ? seconds[settled].time : sim.getSeconds();
    for (auto* range : { summary.toDeviation, summary.fromDeviation, summary.toRawDeviation, summary.fromRawDeviation })
    {
        range[0] = std::numeric_limits<int>::max();
        range[1] = std::numeric_limits<int>::min();
    }

    const auto widen = [] (int* range, int value)
    {
        range[0] = std::min (range[0], value);
        range[1] = std::max (range[1], value);
    };

    for (const auto& s : seconds)
    {
        if (s.toRawLow >= 0)
            widen (summary.toRawDeviation, s.toRawLow - summary.toTarget);

        if (s.fromRawLow >= 0)
            widen (summary.fromRawDeviation, s.fromRawLow - summary.fromTarget);

        if (measured (s))
        {
            widen (summary.toDeviation, s.toLow - s.toTarget);
            widen (summary.fromDeviation, s.fromLow - s.fromTarget);
        }
    }

    double total = 0.0, settledTotal = 0.0, laterTotal = 0.0;
    int settledCount = 0, laterCount = 0;
    const auto settledSample = (int64_t) ((summary.settledAfter - startedAt) * rate);
    const auto laterSample = (int64_t) (60.0 * rate);

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

        if (probe.arrivals[i].sentAt >= laterSample)
        {
            laterTotal += error;
            ++laterCount;
            summary.worstLaterError = std::max (summary.worstLaterError, std::abs (error));
        }
    }

    summary.arrivals = (int) probe.arrivals.size();
    summary.meanError = probe.arrivals.empty() ? 0.0 : total / (double) probe.arrivals.size();
    summary.meanSettledError = settledCount > 0 ? settledTotal / settledCount : 0.0;
    // None at all shows as the widest error, not as none.
    summary.meanLaterError = laterCount > 0 ? laterTotal / laterCount : std::numeric_limits<double>::max();
    return summary;
}
