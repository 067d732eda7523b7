// The processor's block processing at 48 kHz, each measure per what its name
// says:
// - ProcessBlockNoPedal/N: one instance with no pedal plugged in at all (no
//   driver, no device callback): the dry path alone, per host sample, against
//   PlainTwoCopyDelay/N, the two copies (into a ring and back out) that a
//   delay line needs.
// - ProcessBlockOneClient: one instance in Audio use, stereo, and
//   ProcessBlockTwoClients: two instances in mono use, one channel each: per
//   sample through the pedal (both send 128 per iteration). Each iteration is
//   one callback of the pedal's audio device (the driver's fan-out into every
//   bridge) and one host block of 64 through every instance.
// Each channel's samples count once.

#include "Blocks.h"
#include "Comparisons.h"

#include "Emulation/EmulatedPedal.h"
#include "PluginProcessor.h"
#include "Support/TestHome.h"

#include <benchmark/benchmark.h>
#include <memory>
#include <vector>

namespace
{
constexpr int numChannels = 2;
constexpr int pedalBlock = 64;
constexpr double sampleRate = 48000.0;
const juce::String pedalName ("QZR-1A2B");

// Instances in a temporary home, beside the virtual ports and audio devices,
// with the emulated pedal plugged in only when asked; its device is driven by
// hand, one callback at a time.
class Instances
{
public:
    Instances (int count, int blockSize, bool withPedal) : block (numChannels, blockSize)
    {
        ports.install();
        audioTypes.install();
        audioTypes.setManualByDefault (true);
        if (withPedal)
            pedal.plugIn();

        for (int i = 0; i < count; ++i)
        {
            processors.push_back (std::make_unique<VelmoraAudioProcessor>());
            auto& processor = *processors.back();
            processor.enableAllBuses();
            processor.prepareToPlay (sampleRate, blockSize);
            processor.getValueTreeState().getParameter ("mixWet")->set (100, GestureTracker::internalSource);
        }

        if (withPedal)
        {
            auto& manager = processors.front()->getDeviceManager();
            manager.scanForDevices();
            device = manager.findDevice (pedalName);
        }
    }

    ~Instances() { processors.clear(); }

    // Attaches the instances in Audio use, one channel setting each.
    bool attach (const std::vector<ChannelSetting>& channels)
    {
        if (device == nullptr)
            return false;

        device->getDriver().getSettings().extraLatency.setValue (pedal.getAudio().calibratedLatency(), nullptr);
        for (size_t i = 0; i < channels.size() && i < processors.size(); ++i)
        {
            processors[i]->setUsbDevice (pedalName, Mode::audio, channels[i], PedalModeConfig::none);
            ports.flush();
            device->getMidiDevice().deliverWaitingMessages();
        }

        return device->getDriver().isAudioDeviceOpen();
    }

    bool isStreaming() const
    {
        for (auto& p : processors)
            if (p->getUsbClient() == nullptr || p->getUsbClient()->getAudioSource().getStreamingState() != AudioIODeviceSource::streaming)
                return false;
        return true;
    }

    // One device callback, if there is a pedal, and one host block through
    // every instance: a fresh block of noise each, or, without newInput, what
    // came out last time (a host processing its buffer in place).
    void run (bool newInput = true)
    {
        if (device != nullptr)
            device->getDriver().audioDeviceIOCallbackWithContext (inputs.getArrayOfReadPointers(), numChannels,
                                                                  outputs.getArrayOfWritePointers(), numChannels,
                                                                  pedalBlock, {});
        for (auto& p : processors)
        {
            if (newInput)
                block.makeCopyOf (host, true);
            p->processBlock (block, midi);
        }
    }

private:
    const TemporaryHome home; // nothing reaches the real settings folder
    VirtualMidiPorts ports;
    VirtualAudioDeviceTypes audioTypes;
    EmulatedPedal pedal { ports, audioTypes, pedalName, 0x15 };
    std::vector<std::unique_ptr<VelmoraAudioProcessor>> processors;
    UsbDevice* device = nullptr;

    juce::AudioBuffer<float> block;
    juce::AudioBuffer<float> host = Blocks::noise (numChannels, block.getNumSamples());
    juce::AudioBuffer<float> inputs = Blocks::noise (numChannels, pedalBlock), outputs { numChannels, pedalBlock };
    juce::MidiBuffer midi;
};

void ProcessBlockNoPedal (benchmark::State& state)
{
    const juce::ScopedJuceInitialiser_GUI framework;
    const int blockSize = (int) state.range (0);
    Instances instances (1, blockSize, false);

    // Past the mute's first ramp: the steady dry path, at unity gain, so the
    // block can go round in place.
    for (int i = 0; i < 100; ++i)
        instances.run();

    for (auto _ : state)
    {
        instances.run (false);
        benchmark::ClobberMemory();
    }

    Blocks::reportPerSample (state, blockSize * numChannels);
}

void PlainTwoCopyDelay (benchmark::State& state)
{
    const int blockSize = (int) state.range (0);
    CircularAudioBuffer ring;
    auto block = Blocks::noise (numChannels, blockSize);

    for (auto _ : state)
    {
        ring.writeBuffer (block.getArrayOfReadPointers(), numChannels, blockSize, 0, false);
        ring.setReadBehindWrite (blockSize + 2048);
        ring.readBuffer (block.getArrayOfWritePointers(), numChannels, blockSize, 0, true);
        benchmark::ClobberMemory();
    }

    Blocks::reportPerSample (state, blockSize * numChannels);
}

void runThroughPedal (benchmark::State& state, const std::vector<ChannelSetting>& channels, int samplesThroughPedal)
{
    const juce::ScopedJuceInitialiser_GUI framework;
    Instances instances ((int) channels.size(), pedalBlock, true);

    if (! instances.attach (channels))
    {
        state.SkipWithError ("the emulated pedal did not answer");
        return;
    }

    instances.run();
    instances.run(); // running, then streaming

    for (auto _ : state)
    {
        instances.run();
        benchmark::ClobberMemory();
    }

    if (! instances.isStreaming())
        state.SkipWithError ("the pedal's audio stopped streaming");

    Blocks::reportPerSample (state, samplesThroughPedal);
}

void ProcessBlockOneClient (benchmark::State& state) { runThroughPedal (state, { ChannelSetting::stereo }, pedalBlock * 2); }

void ProcessBlockTwoClients (benchmark::State& state)
{
    runThroughPedal (state, { ChannelSetting::monoLeft, ChannelSetting::monoRight }, pedalBlock * 2);
}
} // namespace

BENCHMARK (ProcessBlockNoPedal)->Arg (64)->Arg (512);
BENCHMARK (PlainTwoCopyDelay)->Arg (64)->Arg (512);
BENCHMARK (ProcessBlockOneClient);
BENCHMARK (ProcessBlockTwoClients);

[[maybe_unused]] static const bool registered = Comparisons::add ("ProcessBlockNoPedal/64", "PlainTwoCopyDelay/64")
                               && Comparisons::add ("ProcessBlockNoPedal/512", "PlainTwoCopyDelay/512")
                               && Comparisons::add ("ProcessBlockOneClient", "ProcessBlockNoPedal/64")
                               && Comparisons::add ("ProcessBlockOneClient", "BridgeHostAndDevice/64")
                               && Comparisons::add ("ProcessBlockTwoClients", "ProcessBlockOneClient");
