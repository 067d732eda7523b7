#pragma once

#include "Support/AudioLinkRig.h"
#include "Support/PluginFixture.h"

#include <array>
#include <functional>
#include <ostream>
#include <memory>
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

// Sends one impulse and, 256 samples later, one burst of noise into the host's
// channels, and finds both in what comes out: the impulse where the output
// peaks, the burst at the lag where it correlates best with the output.
class EchoProbe
{
public:
    static constexpr int burstOffset = 256, burstLength = 64;

    // From host sample `start` on, listening for up to `window` samples.
    EchoProbe (int64_t startSample, int windowLength) : start (startSample), window (windowLength)
    {
        juce::Random random (7);
        for (auto& s : burst)
            s = random.nextFloat() - 0.5f;
        heard.reserve ((size_t) window);
    }

    void fill (juce::AudioBuffer<float>& block, int64_t first) const
    {
        for (int i = 0; i < block.getNumSamples(); ++i)
        {
            const auto at = first + i - start;
            const float s = at == 0 ? 1.0f : at >= burstOffset && at < burstOffset + burstLength ? burst[(size_t) (at - burstOffset)] : 0.0f;
            if (s != 0.0f)
                for (int c = 0; c < block.getNumChannels(); ++c)
                    block.setSample (c, i, s);
        }
    }

    void take (const juce::AudioBuffer<float>& block, int64_t first)
    {
        for (int i = 0; i < block.getNumSamples() && ! isDone(); ++i)
            if (first + i >= start)
                heard.push_back (block.getSample (0, i));
    }

    bool isDone() const noexcept { return (int) heard.size() >= window; }

    // Samples from sending to hearing, or -1 when nothing came back.
    int impulseDelay() const
    {
        int peak = -1;
        for (int i = 0; i < (int) heard.size(); ++i)
            if (std::abs (heard[(size_t) i]) > 0.75f && (peak < 0 || std::abs (heard[(size_t) i]) > std::abs (heard[(size_t) peak])))
                peak = i;
        return peak;
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
            {
                best = sum;
                lag = l;
            }
        }
        return lag;
    }

private:
    const int64_t start;
    const int window;
    std::array<float, burstLength> burst {};
    std::vector<float> heard;
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

// The wet or the dry delay of what the rig's first processor plays.
class DelayMeter
{
public:
    explicit DelayMeter (ProcessorAudioRig& r) : rig (r)
    {
        rig.play ([this] (auto& block, auto first) { if (probe) probe->fill (block, first); },
                  [this] (int, auto& block, auto first) { if (probe) probe->take (block, first); });
    }

    // With "mixWet" at this value, once the gains have settled.
    Delays measure (int mixWet)
    {
        rig.setParameter ("mixWet", mixWet);
        rig.sim.run (settleSeconds);

        // A window long enough to catch an echo several blocks later than reported.
        probe = std::make_unique<EchoProbe> (rig.sim.getHostSamples(), rig.processor().getLatencySamples() + 8192);
        const bool heard = rig.sim.runUntil ([this] { return probe->isDone(); }, 2.0);
        const Delays delays { probe->impulseDelay(), probe->burstDelay() };
        probe.reset();
        return heard ? delays : Delays { -1, -1 };
    }

    // The mute ramp (0.06 s) and the wet/dry ramp (0.1 s) are over by then.
    static constexpr double settleSeconds = 0.15;

private:
    ProcessorAudioRig& rig;
    std::unique_ptr<EchoProbe> probe;
};
