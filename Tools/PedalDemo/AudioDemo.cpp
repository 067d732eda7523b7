#include "AudioDemo.h"

#include "Emulation/LinkTimers.h"

#include <cmath>
#include <cstdio>

namespace
{
constexpr double sampleRate = 48000.0;
constexpr int blockSize = 512;

double decibels (float level)
{
    return 20.0 * std::log10 (std::max (level, 1.0e-6f));
}
} // namespace

void showAudioThroughThePedal (VelmoraAudioProcessor& processor, EmulatedPedal& pedal, VirtualMidiPorts& ports,
                               CoSimulation& sim)
{
    auto* device = processor.getDevice();
    auto* client = processor.getUsbClient();
    if (device == nullptr || client == nullptr)
        return;

    LinkTimers timers (processor.getDeviceManager(), ports);
    sim.addPeriodicWork (10, [&] { timers.runDue (sim.getMilliseconds()); });

    // The host plays whatever `signal` makes of each block; what comes back is kept.
    enum class Signal { silence, impulse, tone } signal = Signal::silence;
    int64_t impulseAt = -1, heardAt = -1;
    float inputPeak = 0.0f, outputPeak = 0.0f;
    juce::MidiBuffer midi;

    sim.setHost (sampleRate, blockSize, 2, [&] (juce::AudioBuffer<float>& block, int64_t first)
    {
        for (int i = 0; i < block.getNumSamples(); ++i)
        {
            float s = 0.0f;
            if (signal == Signal::impulse && first + i == impulseAt)
                s = 1.0f;
            else if (signal == Signal::tone)
                s = 0.5f * (float) std::sin (2.0 * juce::MathConstants<double>::pi * 440.0 * (double) (first + i) / sampleRate);

            block.setSample (0, i, s);
            block.setSample (1, i, s);
            inputPeak = std::max (inputPeak, std::abs (s));
        }

        processor.processBlock (block, midi);

        for (int i = 0; i < block.getNumSamples(); ++i)
        {
            if (signal == Signal::impulse && heardAt < 0 && std::abs (block.getSample (0, i)) > 0.5f)
                heardAt = first + i;
            if (signal == Signal::tone)
                outputPeak = std::max (outputPeak, std::abs (block.getSample (0, i)));
        }
    });

    std::printf ("the pedal's audio, in co-simulation (host blocks of %d samples at %.0f Hz, the pedal's round trip %d samples):\n",
                 blockSize, sampleRate, pedal.getAudio().getRoundTrip());

    auto& calibration = device->getDriver().getCalibration();
    const bool calibrated = sim.runUntil ([&] { return calibration.getStatus() == LatencyCalibration::Status::measured; }, 5.0);
    std::printf ("  calibration at connection: %s, \"extraLatency\" %d\n", calibrated ? "measured" : "no result",
                 device->getDriver().getSettings().extraLatency.get());

    auto& bridge = client->getAudioSource();
    sim.runUntil ([&] { return bridge.getStreamingState() == AudioIODeviceSource::streaming; }, 2.0);
    sim.run (0.5);

    // All wet: the impulse comes back through the pedal alone.
    processor.getValueTreeState().getParameter ("mixWet")->set (127, GestureTracker::internalSource);
    sim.run (0.2);
    signal = Signal::impulse;
    impulseAt = sim.getHostSamples() + blockSize / 2;
    sim.runUntil ([&] { return heardAt >= 0; }, 2.0);
    std::printf ("  latency reported to the host: %d samples\n", processor.getLatencySamples());
    std::printf ("  latency measured at the output (impulse in, impulse out): %lld samples\n",
                 heardAt >= 0 ? (long long) (heardAt - impulseAt) : -1LL);

    // A tone at half wet: the pedal's half level mixed with the dry signal.
    for (int channel : { 0, 1 })
        pedal.getAudio().setGain (channel, 0.5f);
    processor.getValueTreeState().getParameter ("mixWet")->set (64, GestureTracker::internalSource);
    signal = Signal::tone;
    sim.run (0.5);
    client->getPeakDetector().readStereo();
    inputPeak = outputPeak = 0.0f;
    sim.run (1.0);
    const auto meters = client->getPeakDetector().readStereo();
    std::printf ("  a 440 Hz tone, the pedal's effect halving it, dry/wet 64 of 127: input peak %.1f dBFS,\n"
                 "  output peak %.1f dBFS, meters (what came back from the pedal) %.1f / %.1f dBFS\n",
                 decibels (inputPeak), decibels (outputPeak), decibels (meters.first), decibels (meters.second));

    signal = Signal::silence;
    sim.stopHost();
}
