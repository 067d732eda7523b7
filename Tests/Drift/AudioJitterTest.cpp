#include "Emulation/DriftRecording.h"
#include "Emulation/SimulatedAttachment.h"
#include "Support/AudioLinkRig.h"

#include <gtest/gtest.h>
#include <string>
#include <vector>

// Real audio threads never call back exactly on time: a host's render calls
// and an interface's callbacks come a fraction of a millisecond to several
// milliseconds late, at random. For every jitter up to 5 ms on the host's
// side, the device's or both, under each way a host renders, against a device
// that follows the host's block and one with a block of its own, at equal
// clocks and at +-90 ppm, for ten minutes each: no restart, and after the
// first minute the latency heard is the latency told, within 4 samples up to
// 1 ms of jitter and within 8 at 5 ms.
namespace
{
using Rendering = CoSimulation::HostRendering;

enum class Jittering
{
    host,
    device,
    both
};

struct JitterCase
{
    double mostLateMs; // on the co-simulation's clock: how late a callback may come
    Jittering side;
    Rendering rendering;
    int hostBlock, blockSize;
    double sampleRate = AudioLinkRig::sampleRate;
    PedalModeConfig leg = PedalModeConfig::none; // a pedalboard leg, else Audio use
};

// Ten minutes of the case at `ppm`, its seeds from `seed`.
DriftRecording::Summary streamJittered (const JitterCase& c, double ppm, int64_t seed)
{
    const int deviceBlock = c.blockSize > 0 ? c.blockSize : c.hostBlock;
    const double jitter = c.mostLateMs / 1000.0;

    AudioLinkRig rig;
    VirtualAudioBehaviour behaviour;
    behaviour.clockPpm = ppm;
    behaviour.jitterSeconds = c.side != Jittering::host ? jitter : 0.0;
    behaviour.seed = (uint32_t) seed;
    rig.setDeviceBehaviour (behaviour);
    rig.pedalAudio().setRoundTrip (deviceBlock > 512 ? 2600 : 1000); // longer than a device block
    rig.driver().getSettings().blockSize.setValue (c.blockSize, nullptr);
    const auto mode = c.leg == PedalModeConfig::none ? Mode::audio : Mode::pedalboard;
    auto* client = attachSimulatedClient (rig.device(), rig.sim, mode, c.hostBlock, c.sampleRate, ChannelSetting::stereo, c.leg);

    if (client == nullptr)
    {
        ADD_FAILURE() << "the pedal did not attach";
        return {};
    }

    // The host starts somewhere within the device's period.
    rig.sim.run ((double) (seed % 15) * deviceBlock / 15.0 / c.sampleRate);
    rig.sim.setHostRendering (c.rendering, seed);
    rig.sim.setHostJitter (c.side != Jittering::device ? jitter : 0.0, seed);

    DriftRecording recording (rig.sim, *client, c.hostBlock, 24000, c.sampleRate);
    recording.run (600.0);
    return recording.summarise();
}

class AudioDriftUnderJitter : public ::testing::TestWithParam<JitterCase>
{
};

TEST_P (AudioDriftUnderJitter, TenMinutesAtEachDriftStreamWithoutRestartsAndWithTheLatencyTold)
{
    const auto c = GetParam();
    int64_t seed = (int64_t) (c.mostLateMs * 10) + 7 * (int) c.side + 31 * (int) c.rendering + c.hostBlock + c.blockSize;

    for (double ppm : { 0.0, 90.0, -90.0 })
    {
        SCOPED_TRACE (::testing::Message() << ppm << " ppm");
        const auto s = streamJittered (c, ppm, ++seed);

        EXPECT_EQ (s.restarts, 0);
        EXPECT_GT (s.arrivals, 1000);
        EXPECT_GT (s.toRawDeviation[0] + s.toTarget, 0);
        EXPECT_GT (s.fromRawDeviation[0] + s.fromTarget, 0);
        EXPECT_NEAR (s.meanLaterError, 0.0, 2.5);
        // In samples of latency, heard at the output.
        EXPECT_LE (s.worstLaterError, c.mostLateMs <= 1.0 ? 4.0 : 8.0);
    }
}

std::vector<JitterCase> allJitterCases()
{
    std::vector<JitterCase> cases;

    for (double mostLateMs : { 0.1, 1.0, 5.0 })
        for (auto side : { Jittering::host, Jittering::device, Jittering::both })
            for (auto rendering : { Rendering::prepared, Rendering::randomSizes, Rendering::cutPeriods })
                for (int hostBlock : { 512, 1024 })
                    for (int blockSize : { 0, 1024 })
                        cases.push_back ({ mostLateMs, side, rendering, hostBlock, blockSize });

    return cases;
}

std::string jitterCaseName (const ::testing::TestParamInfo<JitterCase>& info)
{
    const auto& c = info.param;
    const char* sides[] { "host", "device", "both" };
    const char* renderings[] { "prepared", "randomSizes", "cutPeriods", "occasionalCut" };
    return std::to_string ((int) (c.mostLateMs * 1000)) + "us_" + sides[(int) c.side] + "_" + renderings[(int) c.rendering]
           + "_host" + std::to_string (c.hostBlock) + "_blockSize" + std::to_string (c.blockSize)
           + (c.sampleRate != AudioLinkRig::sampleRate ? "_" + std::to_string ((int) c.sampleRate) + "Hz" : "");
}

INSTANTIATE_TEST_SUITE_P (Jitter, AudioDriftUnderJitter, ::testing::ValuesIn (allJitterCases()), jitterCaseName);

// Beside those: small host blocks, whose periods are shorter than the
// lateness, and 44.1 kHz.
INSTANTIATE_TEST_SUITE_P (Nearby, AudioDriftUnderJitter,
                          ::testing::Values (JitterCase { 1.0, Jittering::both, Rendering::prepared, 64, 0 },
                                             JitterCase { 1.0, Jittering::both, Rendering::randomSizes, 128, 256 },
                                             JitterCase { 5.0, Jittering::both, Rendering::cutPeriods, 256, 0 },
                                             JitterCase { 1.0, Jittering::both, Rendering::prepared, 441, 0, 44100.0 },
                                             JitterCase { 1.0, Jittering::both, Rendering::randomSizes, 512, 1024, 44100.0 }),
                          jitterCaseName);

// A pedalboard leg carries the pedal's audio one way through one ring, which
// drift control holds at its target by itself: late callbacks on both sides
// neither restart it nor let it run dry.
TEST (AudioDriftUnderJitter, APedalboardLegsRingStreamsWithoutRestarts)
{
    int64_t seed = 5;

    for (auto leg : { PedalModeConfig::in, PedalModeConfig::out })
    {
        for (double ppm : { 0.0, 90.0, -90.0 })
        {
            SCOPED_TRACE (::testing::Message() << "leg " << toInt (leg) << ", " << ppm << " ppm");
            const auto s = streamJittered ({ 1.0, Jittering::both, Rendering::randomSizes, 512, 0, AudioLinkRig::sampleRate, leg }, ppm, ++seed);
            const bool in = leg == PedalModeConfig::in;

            EXPECT_EQ (s.restarts, 0);
            EXPECT_GT (in ? s.fromRawDeviation[0] + s.fromTarget : s.toRawDeviation[0] + s.toTarget, 0);
            // Drift control's measure of the ring stays within its range of the target.
            const int* deviation = in ? s.fromDeviation : s.toDeviation;
            const int range = in ? s.fromRange : s.toRange;
            EXPECT_GE (deviation[0], -range);
            EXPECT_LE (deviation[1], range);
        }
    }
}
} // namespace
