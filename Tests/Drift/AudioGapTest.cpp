#include "Emulation/DriftRecording.h"
#include "Support/ProcessorAudioRig.h"

#include <gtest/gtest.h>
#include <cmath>
#include <limits>
#include <string>
#include <vector>

// Hosts stop calling for a while (a stopped transport, a track skipped while
// silent) and devices stall. Through the processor at 100 % wet, as a listener
// hears it: an impulse every half second on the left, a steady level on the
// right. After a gap at most the one restart it causes; the pedal's audio is
// silent only during the gap and its fades; and from five seconds after it the
// latency heard is the latency told.
namespace
{
enum class Gap
{
    hostPauses,
    deviceStalls
};

struct Heard
{
    int restartsBefore = 0, restartsFromTheGap = 0;
    double silentSeconds = 0.0;  // after the start, right channel below a tenth of its level
    double worstError = 0.0;     // latency told minus heard, impulses sent from five seconds after the gap
    int impulses = 0;            // those impulses heard
};

// The pedal's clock off by `ppm`; a gap of `seconds` after `before` seconds of
// streaming; then `after` seconds more.
Heard listenAcross (Gap gap, double seconds, double ppm, double before, double after)
{
    constexpr int impulsePeriod = 24000;
    constexpr float level = 0.25f;
    constexpr double settled = 10.0; // the start, its calibration and fades are over

    ProcessorAudioRig rig;
    VirtualAudioBehaviour behaviour;
    behaviour.clockPpm = ppm;
    rig.setDeviceBehaviour (behaviour);
    rig.pedalAudio().setRoundTrip (1000);
    rig.storeCalibratedLatency();
    rig.prepare (512);
    Heard heard;

    if (! rig.attach (Mode::audio))
    {
        ADD_FAILURE() << "the pedal did not attach";
        return heard;
    }

    rig.setParameter ("mixWet", 127);
    auto& processor = rig.processor();
    ImpulseProbe probe (impulsePeriod);
    int64_t silent = 0, checkFrom = std::numeric_limits<int64_t>::max();

    rig.play ([&] (juce::AudioBuffer<float>& block, int64_t first)
              {
                  probe.fill (block, first);
                  juce::FloatVectorOperations::fill (block.getWritePointer (1), level, block.getNumSamples());
              },
              [&] (int, juce::AudioBuffer<float>& block, int64_t first)
              {
                  if ((double) first >= settled * AudioLinkRig::sampleRate)
                      for (int i = 0; i < block.getNumSamples(); ++i)
                          silent += std::abs (block.getSample (1, i)) < 0.1f * level ? 1 : 0;

                  const auto before = probe.arrivals.size();
                  probe.take (block, first);

                  for (auto i = before; i < probe.arrivals.size(); ++i)
                  {
                      if (probe.arrivals[i].sentAt < checkFrom)
                          continue;

                      ++heard.impulses;
                      heard.worstError = std::max (heard.worstError,
                                                   std::abs (processor.getLatencySamples() - probe.arrivals[i].delay));
                  }
              });

    auto& bridge = processor.getUsbClient()->getAudioSource();
    rig.sim.run (before);
    heard.restartsBefore = bridge.getDiagnostics().restarts;

    // The host's samples go on where it paused; the device's while it stalled.
    const auto at = rig.sim.getHostSamples();
    const double hostGap = gap == Gap::deviceStalls ? seconds : 0.0;
    checkFrom = at + (int64_t) ((hostGap + 5.0) * AudioLinkRig::sampleRate);

    if (gap == Gap::hostPauses)
        rig.sim.pauseHost (seconds);
    else
        rig.openDevice()->stall (seconds);

    rig.sim.run (after);
    rig.sim.stopHost();
    heard.restartsFromTheGap = bridge.getDiagnostics().restarts - heard.restartsBefore;
    heard.silentSeconds = (double) silent / AudioLinkRig::sampleRate;
    return heard;
}

struct GapCase
{
    Gap gap;
    double seconds;
};

class AudioDriftAcrossGaps : public ::testing::TestWithParam<GapCase>
{
};

TEST_P (AudioDriftAcrossGaps, OneRestartAtMostSilenceOnlyInTheGapAndTheLatencyToldFromFiveSecondsAfter)
{
    const auto c = GetParam();

    for (double ppm : { 0.0, 90.0, -90.0 })
    {
        SCOPED_TRACE (::testing::Message() << ppm << " ppm");
        const auto heard = listenAcross (c.gap, c.seconds, ppm, 60.0, 540.0);

        EXPECT_EQ (heard.restartsBefore, 0);
        EXPECT_LE (heard.restartsFromTheGap, 1);
        // A host that pauses renders nothing meanwhile: what it hears of the gap is the fades.
        EXPECT_LE (heard.silentSeconds, (c.gap == Gap::deviceStalls ? c.seconds : 0.0) + 1.0);
        EXPECT_GT (heard.impulses, 1000);
        EXPECT_LE (heard.worstError, 4.0);
    }
}

INSTANTIATE_TEST_SUITE_P (Gaps, AudioDriftAcrossGaps,
                          ::testing::Values (GapCase { Gap::hostPauses, 0.05 }, GapCase { Gap::hostPauses, 0.5 },
                                             GapCase { Gap::hostPauses, 2.0 }, GapCase { Gap::hostPauses, 10.0 },
                                             GapCase { Gap::deviceStalls, 0.05 }, GapCase { Gap::deviceStalls, 0.5 }),
                          [] (const auto& info)
                          {
                              const auto& c = info.param;
                              return std::string (c.gap == Gap::hostPauses ? "hostPauses" : "deviceStalls")
                                     + std::to_string ((int) std::lround (c.seconds * 1000)) + "ms";
                          });

// One short pause at the drift's limit, then an hour: the pause's own restart
// at most, and the stream goes on as before it.
TEST (AudioDriftAfterAShortPause, AnHourAtTheLimitRestartsOnceAtMost)
{
    for (double ppm : { 90.0, -90.0 })
    {
        SCOPED_TRACE (::testing::Message() << ppm << " ppm");
        const auto heard = listenAcross (Gap::hostPauses, 0.05, ppm, 60.0, 3600.0);

        EXPECT_EQ (heard.restartsBefore, 0);
        EXPECT_LE (heard.restartsFromTheGap, 1);
        EXPECT_LE (heard.silentSeconds, 1.0);
        EXPECT_LE (heard.worstError, 4.0);
    }
}

// Beyond what drift control may correct (+-100 ppm) the rings run apart and
// restart now and then: at +-120 ppm no more than 4 times an hour.
TEST (AudioDriftBeyondTheLimit, AnHourAt120PpmRestartsFourTimesAtMost)
{
    for (double ppm : { 120.0, -120.0 })
    {
        SCOPED_TRACE (::testing::Message() << ppm << " ppm");
        AudioLinkRig rig;
        VirtualAudioBehaviour behaviour;
        behaviour.clockPpm = ppm;
        rig.setDeviceBehaviour (behaviour);
        auto* client = rig.attach (Mode::audio, 512);
        ASSERT_NE (client, nullptr);

        DriftRecording recording (rig.sim, *client, 512);
        recording.run (3600.0);
        EXPECT_LE (recording.summarise().restarts, 4);
    }
}
} // namespace
