// The audio bridge streaming: one host block plus one device callback of the
// same size, through both resampling rings, against the same blocks through two
// of JUCE's LagrangeInterpolators per channel (one per direction) and through
// two plain rings (a two-segment copy in and out, per direction). The bridge's
// readers interpolate at every ratio, 1 included (nothing steers them here);
// JUCE's are run at a drift's ratio, since at exactly 1 they only copy. Time
// per sample counts each channel's samples once.

#include "Blocks.h"
#include "Comparisons.h"

#include "Devices/Audio/AudioIODeviceSource.h"
#include "Utilities/CircularAudioBuffer.h"

#include <benchmark/benchmark.h>

namespace
{
constexpr int numChannels = 2;
constexpr double sampleRate = 48000.0;
constexpr double driftRatio = 1.0001;

// A pedal whose device is open and delivers the host's block size.
struct OpenPedal final : PedalAudioBridge::Device
{
    explicit OpenPedal (int block) : blockSize (block) {}
    void applyParameters (PedalAudioBridge& bridge, bool start) override
    {
        bridge.stop();
        bridge.prepare (start);
    }

    bool isAudioDeviceOpen() const override { return true; }
    int getDeliveredBlockSize() const override { return blockSize; }
    int blockSize;
};

void BridgeHostAndDevice (benchmark::State& state)
{
    const juce::ScopedJuceInitialiser_GUI framework; // the bridge's timers need a message thread
    const int blockSize = (int) state.range (0);
    OpenPedal pedal (blockSize);
    AudioIODeviceSource bridge (pedal, {});
    bridge.prepareToPlay (blockSize, sampleRate);

    auto host = Blocks::noise (numChannels, blockSize), inputs = Blocks::noise (numChannels, blockSize);
    juce::AudioBuffer<float> outputs (numChannels, blockSize);
    const juce::AudioSourceChannelInfo info (host);

    // Running, then streaming.
    bridge.audioDeviceIOCallbackWithContext (inputs.getArrayOfReadPointers(), numChannels,
                                             outputs.getArrayOfWritePointers(), numChannels, blockSize, {});
    bridge.getNextAudioBlock (info);

    for (auto _ : state)
    {
        bridge.audioDeviceIOCallbackWithContext (inputs.getArrayOfReadPointers(), numChannels,
                                                 outputs.getArrayOfWritePointers(), numChannels, blockSize, {});
        bridge.getNextAudioBlock (info);
        benchmark::ClobberMemory();
    }

    if (bridge.getStreamingState() != AudioIODeviceSource::streaming)
        state.SkipWithError ("the bridge stopped streaming");

    Blocks::reportPerSample (state, blockSize * numChannels);
}

void JuceLagrangeBothWays (benchmark::State& state)
{
    const int blockSize = (int) state.range (0);
    const auto input = Blocks::noise (numChannels, blockSize + 8);
    juce::LagrangeInterpolator toDevice[numChannels], fromDevice[numChannels];
    juce::AudioBuffer<float> out (numChannels, blockSize), back (numChannels, blockSize + 8);

    for (auto _ : state)
    {
        for (int c = 0; c < numChannels; ++c)
        {
            toDevice[c].process (driftRatio, input.getReadPointer (c), back.getWritePointer (c), blockSize);
            fromDevice[c].process (1.0 / driftRatio, back.getReadPointer (c), out.getWritePointer (c), blockSize);
        }

        benchmark::ClobberMemory();
    }

    Blocks::reportPerSample (state, blockSize * numChannels);
}

void PlainRingsBothWays (benchmark::State& state)
{
    const int blockSize = (int) state.range (0);
    CircularAudioBuffer toDevice, fromDevice;
    auto host = Blocks::noise (numChannels, blockSize), inputs = Blocks::noise (numChannels, blockSize);
    juce::AudioBuffer<float> outputs (numChannels, blockSize);

    for (auto _ : state)
    {
        fromDevice.writeBuffer (inputs.getArrayOfReadPointers(), numChannels, blockSize, 0, false);
        toDevice.readBuffer (outputs.getArrayOfWritePointers(), numChannels, blockSize, 0, false);
        toDevice.writeBuffer (host.getArrayOfReadPointers(), numChannels, blockSize, 0, false);
        fromDevice.readBuffer (host.getArrayOfWritePointers(), numChannels, blockSize, 0, false);
        benchmark::ClobberMemory();
    }

    Blocks::reportPerSample (state, blockSize * numChannels);
}
} // namespace

BENCHMARK (BridgeHostAndDevice)->Arg (64)->Arg (512);
BENCHMARK (JuceLagrangeBothWays)->Arg (64)->Arg (512);
BENCHMARK (PlainRingsBothWays)->Arg (64)->Arg (512);

[[maybe_unused]] static const bool registered = Comparisons::add ("BridgeHostAndDevice/64", "JuceLagrangeBothWays/64")
                               && Comparisons::add ("BridgeHostAndDevice/512", "JuceLagrangeBothWays/512")
                               && Comparisons::add ("BridgeHostAndDevice/64", "PlainRingsBothWays/64")
                               && Comparisons::add ("BridgeHostAndDevice/512", "PlainRingsBothWays/512");
