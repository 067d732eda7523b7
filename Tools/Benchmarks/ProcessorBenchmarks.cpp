// The processor's block processing at 48 kHz with 64-sample blocks: without a
// pedal (the dry path alone), with one client in Audio use and with two
// instances sharing the pedal in mono use, one channel each. With a pedal each
// iteration is one callback of the pedal's audio device (the driver's fan-out
// into every bridge) and one host block through every instance. Time per
// sample counts each channel's samples of each instance once.

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
constexpr int blockSize = 64;
constexpr double sampleRate = 48000.0;
const juce::String pedalName ("QZR-1A2B");

// Instances attached to the emulated pedal in Audio use, streaming; the
// pedal's device is driven by hand, one callback at a time.
class StreamingInstances
{
public:
    explicit StreamingInstances (std::vector<int> channels)
    {
        ports.install();
        audioTypes.install();
        audioTypes.setManualByDefault (true);
        pedal.plugIn();

        for (size_t i = 0; i < std::max<size_t> (channels.size(), 1); ++i)
        {
            processors.push_back (std::make_unique<VelmoraAudioProcessor>());
            auto& processor = *processors.back();
            processor.enableAllBuses();
            processor.prepareToPlay (sampleRate, blockSize);
            processor.getValueTreeState().getParameter ("mixWet")->set (100, GestureTracker::internalSource);
        }

        auto& manager = processors.front()->getDeviceManager();
        manager.scanForDevices();
        device = manager.findDevice (pedalName);
        if (device == nullptr)
            return;

        device->getDriver().getSettings().extraLatency.setValue (pedal.getAudio().calibratedLatency(), nullptr);
        for (size_t i = 0; i < channels.size(); ++i)
        {
            processors[i]->setUsbDevice (pedalName, modeAudio, channels[i], pedalboardNone);
            ports.flush();
            device->getMidiDevice().deliverWaitingMessages();
        }
    }

    ~StreamingInstances() { processors.clear(); }

    bool isAttached() const { return device != nullptr && device->getDriver().isAudioDeviceOpen(); }

    bool isStreaming() const
    {
        for (auto& p : processors)
            if (p->getUsbClient() == nullptr || p->getUsbClient()->getAudioSource().getStreamingState() != AudioIODeviceSource::streaming)
                return false;
        return true;
    }

    void run()
    {
        if (device != nullptr)
            device->getDriver().audioDeviceIOCallbackWithContext (inputs.getArrayOfReadPointers(), numChannels,
                                                                  outputs.getArrayOfWritePointers(), numChannels,
                                                                  blockSize, {});
        for (auto& p : processors)
        {
            block.makeCopyOf (host, true);
            p->processBlock (block, midi);
        }
    }

    int numInstances() const { return (int) processors.size(); }

private:
    const TemporaryHome home; // nothing reaches the real settings folder
    VirtualMidiPorts ports;
    VirtualAudioDeviceTypes audioTypes;
    EmulatedPedal pedal { ports, audioTypes, pedalName, 0x15 };
    std::vector<std::unique_ptr<VelmoraAudioProcessor>> processors;
    UsbDevice* device = nullptr;

    juce::AudioBuffer<float> host = Blocks::noise (numChannels, blockSize), block { numChannels, blockSize };
    juce::AudioBuffer<float> inputs = Blocks::noise (numChannels, blockSize), outputs { numChannels, blockSize };
    juce::MidiBuffer midi;
};

void runInstances (benchmark::State& state, std::vector<int> channels)
{
    const juce::ScopedJuceInitialiser_GUI framework;
    const bool withPedal = ! channels.empty();
    StreamingInstances instances (std::move (channels));

    if (withPedal && ! instances.isAttached())
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

    if (withPedal && ! instances.isStreaming())
        state.SkipWithError ("the pedal's audio stopped streaming");

    Blocks::reportPerSample (state, blockSize * numChannels * instances.numInstances());
}

void ProcessBlockNoPedal (benchmark::State& state) { runInstances (state, {}); }
void ProcessBlockOneClient (benchmark::State& state) { runInstances (state, { channelStereo }); }
void ProcessBlockTwoClients (benchmark::State& state) { runInstances (state, { channelMonoLeft, channelMonoRight }); }
} // namespace

BENCHMARK (ProcessBlockNoPedal);
BENCHMARK (ProcessBlockOneClient);
BENCHMARK (ProcessBlockTwoClients);

[[maybe_unused]] static const bool registered = Comparisons::add ("ProcessBlockOneClient", "ProcessBlockNoPedal")
                               && Comparisons::add ("ProcessBlockOneClient", "BridgeHostAndDevice/64")
                               && Comparisons::add ("ProcessBlockTwoClients", "ProcessBlockOneClient");
