#include "Support/ProcessorAudioRig.h"

#include <gtest/gtest.h>
#include <complex>
#include <vector>

// At half wet, the pedal's audio and the dry track meet in the mix: they line
// up only when the latency the host is told is the one the pedal's audio
// takes. Through the processor, as a host whose block sizes vary renders it,
// and with the host's and the device's callbacks up to a millisecond late at
// random, an impulse every half second comes out as one: below 2 kHz the mix
// has no notch (a comb) deeper than 3 dB, and the pedal's share is in it.
namespace
{
using Rendering = CoSimulation::HostRendering;

struct CombCase
{
    Rendering rendering;
    int hostBlock;
    double hostJitterMs = 0.0, deviceJitterMs = 0.0; // each callback up to this much late
};

class ProcessorAtHalfWet : public ::testing::TestWithParam<CombCase>
{
};

// The mix's response, as the impulse came out around the latency told.
struct Response
{
    double atDc = 0.0, deepest = 0.0; // |H| at 0 Hz and the smallest |H| from 100 Hz to 2 kHz
};

Response respond (const std::vector<float>& heard, double sampleRate)
{
    Response r;
    r.deepest = 1.0e9;

    for (float s : heard)
        r.atDc += s;

    for (double f = 100.0; f <= 2000.0; f += 50.0)
    {
        std::complex<double> h;
        for (size_t n = 0; n < heard.size(); ++n)
            h += (double) heard[n] * std::polar (1.0, -2.0 * juce::MathConstants<double>::pi * f * (double) n / sampleRate);
        r.deepest = std::min (r.deepest, std::abs (h));
    }

    return r;
}

TEST_P (ProcessorAtHalfWet, ThePedalsAudioLinesUpWithTheDryWithoutAComb)
{
    const auto c = GetParam();
    constexpr int impulsePeriod = 24000, halfWindow = 48;
    int64_t seed = c.hostBlock + (int) c.rendering;

    for (double ppm : { 0.0, 90.0, -90.0 })
    {
        SCOPED_TRACE (::testing::Message() << ppm << " ppm");
        ProcessorAudioRig rig;
        VirtualAudioBehaviour behaviour;
        behaviour.clockPpm = ppm;
        behaviour.jitterSeconds = c.deviceJitterMs / 1000.0;
        behaviour.seed = (uint32_t) seed;
        rig.setDeviceBehaviour (behaviour);
        rig.pedalAudio().setRoundTrip (c.hostBlock > 512 ? 2600 : 1000); // longer than a device block
        rig.storeCalibratedLatency();
        rig.prepare (c.hostBlock);
        ASSERT_TRUE (rig.attach (Mode::audio));
        rig.setParameter ("mixWet", 64);

        auto& processor = rig.processor();
        ImpulseProbe probe (impulsePeriod);
        juce::MidiBuffer midi;
        std::vector<Response> responses;
        std::vector<float> heard;
        int64_t windowStart = -1;

        rig.sim.setHostRendering (c.rendering, ++seed);
        rig.sim.setHostJitter (c.hostJitterMs / 1000.0, seed);
        rig.sim.setHost (AudioLinkRig::sampleRate, c.hostBlock, 2, [&] (juce::AudioBuffer<float>& block, int64_t first)
        {
            probe.fill (block, first);
            processor.processBlock (block, midi);

            // The window around where the latest impulse comes out, when the latency told holds.
            const int64_t sent = (first + block.getNumSamples()) / impulsePeriod * impulsePeriod;
            const int64_t expected = sent + processor.getLatencySamples();

            for (int i = 0; i < block.getNumSamples(); ++i)
            {
                const auto at = first + i;

                if (windowStart < 0 && at == expected - halfWindow && sent >= 60 * (int64_t) AudioLinkRig::sampleRate)
                    windowStart = at;

                if (windowStart >= 0 && at >= windowStart)
                {
                    heard.push_back (block.getSample (0, i));

                    if ((int) heard.size() == 2 * halfWindow)
                    {
                        responses.push_back (respond (heard, AudioLinkRig::sampleRate));
                        heard.clear();
                        windowStart = -1;
                    }
                }
            }
        });

        ASSERT_TRUE (rig.runUntilStreaming (processor.getUsbClient()));
        rig.sim.run (600.0);
        rig.sim.stopHost();

        ASSERT_GT (responses.size(), 1000u) << "impulses heard after the first minute";
        EXPECT_EQ (processor.getUsbClient()->getAudioSource().getDiagnostics().restarts, 0);
        const float wet = 64.0f / 127.0f;

        for (const auto& r : responses)
        {
            // The dry share and at least a quarter of the pedal's.
            ASSERT_GT (r.atDc, (1.0 - wet) + 0.25 * wet);
            ASSERT_GT (r.deepest, r.atDc * std::sqrt (0.5));
        }
    }
}

std::string combCaseName (const ::testing::TestParamInfo<CombCase>& info)
{
    const auto& c = info.param;
    const char* renderings[] { "prepared", "randomSizes", "cutPeriods", "occasionalCut" };
    const auto jitter = [] (const char* side, double ms)
    { return ms > 0.0 ? std::string ("_") + side + std::to_string ((int) std::lround (ms * 1000)) + "us" : std::string(); };
    return renderings[(int) c.rendering] + std::string ("_host") + std::to_string (c.hostBlock)
           + jitter ("hostLate", c.hostJitterMs) + jitter ("deviceLate", c.deviceJitterMs);
}

INSTANTIATE_TEST_SUITE_P (Renderings, ProcessorAtHalfWet,
                          ::testing::Values (CombCase { Rendering::randomSizes, 512 }, CombCase { Rendering::randomSizes, 1024 },
                                             CombCase { Rendering::cutPeriods, 512 }, CombCase { Rendering::cutPeriods, 1024 },
                                             CombCase { Rendering::occasionalCut, 512 }, CombCase { Rendering::occasionalCut, 1024 },
                                             CombCase { Rendering::prepared, 512, 1.0, 1.0 },
                                             CombCase { Rendering::prepared, 1024, 0.0, 0.1 },
                                             CombCase { Rendering::randomSizes, 512, 1.0, 1.0 },
                                             CombCase { Rendering::randomSizes, 1024, 1.0, 0.0 },
                                             CombCase { Rendering::cutPeriods, 512, 0.0, 1.0 },
                                             CombCase { Rendering::cutPeriods, 1024, 1.0, 1.0 }),
                          combCaseName);
} // namespace
