#pragma once

#include "Support/AudioLinkRig.h"
#include "Support/PluginFixture.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <functional>
#include <ostream>
#include <memory>
#include <sstream>
#include <string>
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
    bool attach (Mode mode, ChannelSetting channel = ChannelSetting::stereo, PedalModeConfig leg = PedalModeConfig::none, int i = 0)
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
        playing = { input, output, around };

        sim.setHost (sampleRate, block, 2, [this, input, output, around] (juce::AudioBuffer<float>& in, int64_t hostFirst)
        {
            const int64_t first = hostFirst + samplesBeforeThisPlay;
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

    // As a host that stops and prepares again at another block size: every
    // processor releases and prepares, and the same play goes on in blocks of
    // the new size where its signal left off.
    void prepareAgain (int hostBlock)
    {
        samplesBeforeThisPlay += sim.getHostSamples();
        for (auto& p : processors)
            p->releaseResources();
        prepare (hostBlock);
        std::apply ([this] (auto... played) { play (played...); }, playing);
    }

    int block = 512;          // the host's blocks, from the next play on
    bool bypassedByHost = false;

private:
    std::tuple<Signal, Output, Around> playing;
    int64_t samplesBeforeThisPlay = 0;
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

// What a listener hears of a transition, as clicks and as silence. The rig's
// first processor plays a continuous sine of 997 Hz and amplitude 0.5; what
// comes out of its first channel is judged by the second-difference residual
// y[n+1] - 2 cos(w) y[n] + y[n-1]: 0 for a pure sine of that frequency,
// about the step's size at a step, and about 2 x 0.5 x sin(w) / N through a
// gain ramp of N samples. Silence is judged per period of the sine.
class ClickMeter
{
public:
    static constexpr double frequency = 997.0;
    static constexpr float amplitude = 0.5f;
    static constexpr float nearSilence = 0.05f; // below this peak over a period: near silent
    static constexpr int period = 48;           // samples, about one period of the sine at 48 kHz

    struct Heard
    {
        float steady = 0.0f;     // the largest residual of steady streaming, just before
        float largest = 0.0f;    // the largest residual from the cause on
        double elevated = 0.0;   // seconds of it above the steady level (the ramps)
        double nearSilent = 0.0; // the longest near-silent stretch, seconds
        float loudest = 0.0f;    // the largest peak of a period
        float quietest = 0.0f;   // the smallest peak of a period
        float finalLevel = 0.0f; // the peak of the last period
        std::string peaks;       // per 10 ms, around the largest residual
    };

    explicit ClickMeter (ProcessorAudioRig& r) : rig (r)
    {
        const double w = juce::MathConstants<double>::twoPi * frequency / AudioLinkRig::sampleRate;
        twoCos = (float) (2.0 * std::cos (w));

        rig.play ([w] (juce::AudioBuffer<float>& block, int64_t first)
                  {
                      for (int c = 0; c < block.getNumChannels(); ++c)
                          for (int i = 0; i < block.getNumSamples(); ++i)
                              block.setSample (c, i, amplitude * (float) std::sin (w * (double) (first + i)));
                  },
                  [this] (int p, auto& block, int64_t) { if (p == 0) hear (block); });
    }

    // Listens to steady streaming, makes the cause happen, and listens until
    // `over` holds (at most maxSeconds) and for `afterSeconds` more.
    Heard listen (const std::function<void()>& cause, const std::function<bool()>& over, double maxSeconds,
                  double afterSeconds)
    {
        start (true);
        rig.sim.run (steadySeconds);
        const float steady = steadyMeasured = largestResidual;

        start (false);
        cause();
        const bool ended = rig.sim.runUntil (over, maxSeconds);
        rig.sim.run (afterSeconds);

        Heard heard;
        heard.steady = steady;
        heard.largest = ended ? largestResidual : -1.0f;
        heard.elevated = (double) elevatedSamples / AudioLinkRig::sampleRate;
        heard.nearSilent = (double) longestQuiet / AudioLinkRig::sampleRate;
        heard.loudest = loudestPeriod;
        heard.quietest = quietestPeriod;
        heard.finalLevel = lastPeriodPeak;
        heard.peaks = describePeaks();
        return heard;
    }

    // Residuals below this count as steady streaming, whatever was measured.
    static constexpr float steadyFloor = 1.0e-5f;
    static constexpr double steadySeconds = 0.2;

private:
    void start (bool steady)
    {
        measuringSteady = steady;
        largestResidual = 0.0f;
        elevatedSamples = quietRun = longestQuiet = 0;
        loudestPeriod = 0.0f;
        quietestPeriod = amplitude;
        peaks.clear();
        peaksAtLargest = 0;
    }

    void hear (const juce::AudioBuffer<float>& block)
    {
        const float* y = block.getReadPointer (0);
        const float threshold = std::max (steadyFloor, 8.0f * steadyLevel());

        for (int i = 0; i < block.getNumSamples(); ++i)
        {
            const float residual = std::abs (y[i] - twoCos * last + beforeLast);
            beforeLast = last;
            last = y[i];

            if (residual > largestResidual)
            {
                largestResidual = residual;
                peaksAtLargest = peaks.size();
            }

            if (! measuringSteady && residual > threshold)
                ++elevatedSamples;

            periodPeak = std::max (periodPeak, std::abs (y[i]));
            if (++inPeriod == period)
                endPeriod();

            if (++inTenMs == 480)
            {
                peaks.push_back (tenMsPeak);
                tenMsPeak = inTenMs = 0;
            }
            tenMsPeak = std::max (tenMsPeak, std::abs (y[i]));
        }
    }

    void endPeriod()
    {
        loudestPeriod = std::max (loudestPeriod, periodPeak);
        quietestPeriod = std::min (quietestPeriod, periodPeak);
        lastPeriodPeak = periodPeak;
        quietRun = periodPeak < nearSilence ? quietRun + period : 0;
        longestQuiet = std::max (longestQuiet, quietRun);
        periodPeak = 0.0f;
        inPeriod = 0;
    }

    float steadyLevel() const { return measuringSteady ? 0.0f : steadyMeasured; }

    std::string describePeaks() const
    {
        std::ostringstream text;
        text.precision (2);
        const size_t from = peaksAtLargest > 10 ? peaksAtLargest - 10 : 0;
        for (size_t i = from; i < std::min (peaks.size(), from + 30); ++i)
            text << std::fixed << peaks[i] << ' ';
        return text.str();
    }

    ProcessorAudioRig& rig;
    float twoCos = 0.0f, last = 0.0f, beforeLast = 0.0f;
    bool measuringSteady = true;
    float steadyMeasured = 0.0f;
    float largestResidual = 0.0f;
    int64_t elevatedSamples = 0, quietRun = 0, longestQuiet = 0;
    float periodPeak = 0.0f, loudestPeriod = 0.0f, quietestPeriod = 0.0f, lastPeriodPeak = 0.0f, tenMsPeak = 0.0f;
    int inPeriod = 0, inTenMs = 0;
    std::vector<float> peaks;
    size_t peaksAtLargest = 0;
};
