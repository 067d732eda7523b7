#pragma once

#include "Emulation/CoSimulation.h"
#include "Emulation/ImpulseProbe.h"
#include "Emulation/LinkTimers.h"
#include "Emulation/SimulatedAttachment.h"
#include "Support/LinkRig.h"

#include <cmath>
#include <functional>
#include <vector>

// The emulated pedal's link with its audio in co-simulation: the pedal's audio
// device runs on its own simulated clock, the host's blocks on theirs, and the
// link's timers (MIDI drain, keep-alive, bridges, meters, scans) in simulated
// time. Clients are attached by hand, as the processor would.
class AudioLinkRig : public LinkRig
{
public:
    static constexpr double sampleRate = 48000.0;

    AudioLinkRig()
    {
        audioTypes.setManualByDefault (true);
        sim.addPeriodicWork (10, [this] { timers.runDue (sim.getMilliseconds()); });
    }

    ~AudioLinkRig() { sim.stopHost(); }

    EmulatedPedalAudio& pedalAudio() { return pedal.getAudio(); }

    void setDeviceBehaviour (const VirtualAudioBehaviour& behaviour)
    {
        auto manual = behaviour;
        manual.manual = true;
        audioTypes.setBehaviour (LinkRig::pedalName, manual);
    }

    // A pedal whose device calls back with this block size, whatever it is asked for.
    void deliverBlocksOf (int blockSize)
    {
        VirtualAudioBehaviour behaviour;
        behaviour.deliveredBlockSize = blockSize;
        setDeviceBehaviour (behaviour);
    }

    VirtualAudioDevice* openDevice() const { return audioTypes.findOpenDevice (LinkRig::pedalName); }
    const VirtualAudioCounters& deviceCounters() { return audioTypes.getCounters (LinkRig::pedalName); }

    // Attaches a client as the processor does and lets the pedal answer.
    UsbDeviceClient* attach (Mode mode, int hostBlock, ChannelSetting channel = ChannelSetting::stereo,
                            PedalModeConfig leg = PedalModeConfig::none)
    {
        auto* client = attachSimulatedClient (device(), sim, mode, hostBlock, sampleRate, channel, leg);
        EXPECT_NE (client, nullptr);
        return client;
    }

    // Host blocks through these clients' bridges: each block is filled by
    // `input`, goes through its client and is handed to `output`.
    using Signal = std::function<void (juce::AudioBuffer<float>&, int64_t firstSample)>;

    void streamHost (std::vector<UsbDeviceClient*> clients, int hostBlock, Signal input, Signal output)
    {
        sim.setHost (sampleRate, hostBlock, 2, [clients, input, output] (juce::AudioBuffer<float>& block, int64_t first)
        {
            if (input)
                input (block, first);

            for (auto* client : clients)
                client->getNextAudioBlock (juce::AudioSourceChannelInfo (block));

            if (output)
                output (block, first);
        });
    }

    // Runs until the client's bridge streams; false if it does not within the time.
    bool runUntilStreaming (UsbDeviceClient* client, double maxSeconds = 2.0)
    {
        auto& bridge = client->getAudioSource();
        return sim.runUntil ([&bridge] { return bridge.getStreamingState() == AudioIODeviceSource::streaming; },
                             maxSeconds);
    }

    CoSimulation sim { audioTypes };
    LinkTimers timers { getManager(), ports };
};

// Round trips that calibrations are checked with, each with the host's block and the "blockSize" setting.
struct CalibrationCase
{
    int roundTrip, hostBlock, blockSize;
};

inline constexpr CalibrationCase calibrationCases[] = { { 300, 256, 0 }, { 612, 256, 256 }, { 1500, 512, 0 },
                                                        { 2600, 1024, 2048 }, { 777, 64, 96 } };
