#pragma once

#include "Support/AudioLinkRig.h"
#include "Support/PluginFixture.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <functional>
#include <ostream>
#include <memory>
#include <tuple>
#include <vector>

// Processors beside the emulated pedal in co-simulation, as a host runs them:
// each host block of the input signal goes through every processor's block
// processing on a buffer of its own, and the processors' audio watch runs in
// simulated time with the pedal link's timers. The rig outlives the
// processors, so they detach before the pedal and the manager go.
class ProcessorAudioRig : public AudioLinkRig
{
public:
    explicit ProcessorAudioRig (int numProcessors = 1)
    {
        for (int i = 0; i < numProcessors; ++i)
        {
            processors.push_back (makeProcessor());
            processors.back()->enableAllBuses();
        }

        sim.addPeriodicWork (VelmoraAudioProcessor::audioWatchIntervalMs, [this]
        {
            for (auto& p : processors)
                p->timerCallback (VelmoraAudioProcessor::audioWatchTimerId);
        });
    }

    ~ProcessorAudioRig()
    {
        sim.stopHost();
        processors.clear();
    }

    VelmoraAudioProcessor& processor (int i = 0) { return *processors[(size_t) i]; }

    void prepare (int hostBlock)
    {
        block = hostBlock;
        for (auto& p : processors)
            p->prepareToPlay (sampleRate, hostBlock);
    }

    // Attaches as the device menu does and runs until the pedal has answered.
    bool attach (int mode, int channel = channelStereo, int leg = pedalboardNone, int i = 0)
    {
        processor (i).setUsbDevice (LinkRig::pedalName, mode, channel, leg);
        auto& d = driver();
        return processor (i).getUsbClient() != nullptr && sim.runUntil ([&d] { return d.getSlot() != 0; }, 1.0);
    }

    // The settings that make the pedal's calibration unnecessary: what it would store.
    void storeCalibratedLatency()
    {
        driver().getSettings().extraLatency.setValue (pedalAudio().calibratedLatency(), nullptr);
    }

    void setParameter (const char* id, int value, int i = 0)
    {
        processor (i).getValueTreeState().getParameter (id)->set (value, GestureTracker::internalSource);
    }

    // Each host block: `input` fills it, every processor processes its own copy
    // (`around` wraps each call), and `output` hears what each one returned.
    using Output = std::function<void (int processor, juce::AudioBuffer<float>&, int64_t firstSample)>;
    using Around = std::function<void (const std::function<void()>& call)>;

    void play (Signal input, Output output, Around around = {})
    {
        buffers.assign (processors.size(), juce::AudioBuffer<float> (2, block));
        midi.ensureSize (256);

        sim.setHost (sampleRate, block, 2, [this, input, output, around] (juce::AudioBuffer<float>& in, int64_t first)
        {
            if (input)
                input (in, first);

            for (size_t i = 0; i < processors.size(); ++i)
            {
                auto& out = buffers[i];
                for (int c = 0; c < 2; ++c)
                    out.copyFrom (c, 0, in, c, 0, in.getNumSamples());

                const auto call = [this, i, &out]
                {
                    if (bypassedByHost)
                        processors[i]->processBlockBypassed (out, midi);
                    else
                        processors[i]->processBlock (out, midi);
                };
                around ? around (call) : call();

                if (output)
                    output ((int) i, out, first);
            }
        });
    }

    int block = 512;          // the host's blocks, from the next play on
    bool bypassedByHost = false;

private:
    std::vector<std::unique_ptr<VelmoraAudioProcessor>> processors;
    std::vector<juce::AudioBuffer<float>> buffers;
    juce::MidiBuffer midi;
};

struct Delays
{
    int impulse, burst;
    bool operator== (const Delays& o) const { return impulse == o.impulse && burst == o.burst; }
};

inline std::ostream& operator<< (std::ostream& out, const Delays& d)
{
    return out << "impulse " << d.impulse << ", burst " << d.burst;
}

// How late what the rig's first processor plays comes out: it sends one
// impulse and, 256 samples later, one burst of noise into the host's channels,
// and finds the impulse where the output peaks and the burst at the lag where
// it correlates best with the output.
class DelayMeter
{
public:
    static constexpr int burstOffset = 256, burstLength = 64;

    explicit DelayMeter (ProcessorAudioRig& r) : rig (r)
    {
        juce::Random random (7);
        for (auto& s : burst)
            s = random.nextFloat() - 0.5f;

        rig.play ([this] (auto& block, int64_t first) { send (block, first); },
                  [this] (int, auto& block, int64_t first) { listen (block, first); });
    }

    // With "mixWet" at this value, once the mute (0.06 s) and the wet/dry
    // ramp (0.1 s) are over; -1 for what never came back.
    Delays measure (int mixWet)
    {
        rig.setParameter ("mixWet", mixWet);
        rig.sim.run (0.15);

        // A window long enough to catch an echo several blocks later than reported.
        start = rig.sim.getHostSamples();
        window = rig.processor().getLatencySamples() + 8192;
        heard.clear();
        const bool done = rig.sim.runUntil ([this] { return (int) heard.size() >= window; }, 2.0);
        window = 0;
        return done ? Delays { impulseDelay(), burstDelay() } : Delays { -1, -1 };
    }

private:
    void send (juce::AudioBuffer<float>& block, int64_t first) const
    {
        for (int i = 0; i < block.getNumSamples() && window > 0; ++i)
        {
            const auto at = first + i - start;
            const float s = at == 0 ? 1.0f : at >= burstOffset && at < burstOffset + burstLength ? burst[(size_t) (at - burstOffset)] : 0.0f;
            for (int c = 0; c < block.getNumChannels() && s != 0.0f; ++c)
                block.setSample (c, i, s);
        }
    }

    void listen (const juce::AudioBuffer<float>& block, int64_t first)
    {
        for (int i = 0; i < block.getNumSamples() && (int) heard.size() < window; ++i)
            if (first + i >= start)
                heard.push_back (block.getSample (0, i));
    }

    int impulseDelay() const
    {
        const auto peak = std::max_element (heard.begin(), heard.end(), [] (float a, float b) { return std::abs (a) < std::abs (b); });
        return peak != heard.end() && std::abs (*peak) > 0.75f ? (int) (peak - heard.begin()) : -1;
    }

    int burstDelay() const
    {
        double best = 0.0;
        int lag = -1;
        for (int l = 0; l + burstOffset + burstLength <= (int) heard.size(); ++l)
        {
            if (heard[(size_t) (l + burstOffset)] == 0.0f)
                continue; // nothing arrived here: no correlation to look for

            double sum = 0.0;
            for (int i = 0; i < burstLength; ++i)
                sum += burst[(size_t) i] * heard[(size_t) (l + burstOffset + i)];
            if (sum > best)
                std::tie (best, lag) = std::make_pair (sum, l);
        }
        return lag;
    }

    ProcessorAudioRig& rig;
    std::array<float, burstLength> burst {};
    int64_t start = 0;
    int window = 0;
    std::vector<float> heard;
};
