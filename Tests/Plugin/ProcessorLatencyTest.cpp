#include "Support/ProcessorAudioRig.h"

#include <gtest/gtest.h>

// The latency the processor reports is what the host's audio really takes,
// through the pedal and around it: an impulse and a burst of noise come out
// exactly that many samples later, on the wet path (all wet) and on the dry
// path (all dry), at equal clocks, for every block size and buffer setting.
namespace
{
TEST (ProcessorLatency, WetAndDryComeOutExactlyTheReportedLatencyLaterForEverySetting)
{
    constexpr int roundTrip = 2600; // at least the largest device block

    for (int hostBlock : { 64, 256, 512, 1024 })
    {
        ProcessorAudioRig rig;
        rig.pedalAudio().setRoundTrip (roundTrip);
        rig.storeCalibratedLatency();
        rig.prepare (hostBlock);
        ASSERT_TRUE (rig.attach (Mode::audio));

        auto& processor = rig.processor();
        auto& bridge = processor.getUsbClient()->getAudioSource();
        auto& settings = rig.driver().getSettings();
        DelayMeter meter (rig);

        for (int blockSize : BlockSizeConstrainer::allowedValues())
        {
            for (int inAdjust : BufferSizeConstrainer::allowedValues())
            {
                for (int outAdjust : BufferSizeConstrainer::allowedValues())
                {
                    SCOPED_TRACE (testing::Message() << "host " << hostBlock << ", block size " << blockSize
                                                     << ", in " << inAdjust << ", out " << outAdjust);
                    settings.blockSize.setValue (blockSize, nullptr);
                    settings.inAdjust.setValue (inAdjust, nullptr);
                    settings.outAdjust.setValue (outAdjust, nullptr);
                    ASSERT_TRUE (rig.runUntilStreaming (processor.getUsbClient()));

                    const int latency = processor.getLatencySamples();
                    EXPECT_EQ (latency, bridge.getLatencySamples());
                    EXPECT_EQ (meter.measure (127), (Delays { latency, latency })) << "wet";
                    EXPECT_EQ (meter.measure (0), (Delays { latency, latency })) << "dry";
                    EXPECT_EQ (bridge.getToDeviceRatio(), 1.0);
                    EXPECT_EQ (bridge.getFromDeviceRatio(), 1.0);
                }
            }
        }

        EXPECT_EQ (bridge.getDiagnostics().restarts, 0);
    }
}

// The pedal's calibration at connection, through the processor: the latency
// it stores makes what the host is told what the host's audio then takes.
TEST (ProcessorLatency, ACalibrationStoresWhatMakesTheReportedLatencyTheMeasuredOne)
{
    for (const auto& c : calibrationCases)
    {
        SCOPED_TRACE (c.roundTrip);
        ProcessorAudioRig rig;
        rig.pedalAudio().setRoundTrip (c.roundTrip);
        rig.driver().getSettings().blockSize.setValue (c.blockSize, nullptr);
        rig.prepare (c.hostBlock);
        DelayMeter meter (rig);

        ASSERT_TRUE (rig.attach (Mode::audio));
        auto& calibration = rig.driver().getCalibration();
        ASSERT_TRUE (rig.sim.runUntil ([&] { return calibration.getStatus() == LatencyCalibration::Status::measured; }, 3.0));
        EXPECT_EQ (rig.driver().getSettings().extraLatency.get(), c.roundTrip - 32);

        auto& processor = rig.processor();
        ASSERT_TRUE (rig.runUntilStreaming (processor.getUsbClient()));
        const auto& targets = processor.getUsbClient()->getAudioSource().getTargets();
        const int latency = processor.getLatencySamples();
        EXPECT_EQ (latency, targets.toDevice + targets.fromDevice + c.roundTrip - 32 + 56);
        EXPECT_EQ (processor.getReportedLatency(), latency);
        EXPECT_EQ (meter.measure (127), (Delays { latency, latency })) << "wet";
        EXPECT_EQ (meter.measure (0), (Delays { latency, latency })) << "dry";
    }
}

// Two instances share the pedal, one on each of its channels. A change of the
// pedal's settings reaches both hosts at once, whichever of them plays: each
// processor reports its own bridge's new latency before any block or timer
// has run, not only when its audio watch looks again.
TEST (ProcessorLatency, EveryInstanceOnThePedalReportsASettingsChangeAtOnce)
{
    struct Case
    {
        const char* name;
        bool plays[2];
    };

    const Case cases[] = {
        { "neither plays", { false, false } },
        { "both play", { true, true } },
        { "only the first plays", { true, false } },
        { "only the second plays", { false, true } },
    };

    for (const auto& c : cases)
    {
        SCOPED_TRACE (c.name);
        ProcessorAudioRig rig (2);
        rig.storeCalibratedLatency();
        rig.prepare (512);
        ASSERT_TRUE (rig.attach (Mode::audio, ChannelSetting::monoLeft, PedalModeConfig::none, 0));
        ASSERT_TRUE (rig.attach (Mode::audio, ChannelSetting::monoRight, PedalModeConfig::none, 1));

        // The host calls the processors in turn; only those that play process their blocks.
        int next = 0;
        rig.play ({}, {}, [&c, &next] (const std::function<void()>& call)
        {
            if (c.plays[next++ % 2])
                call();
        });

        for (int p : { 0, 1 })
        {
            if (c.plays[p])
            {
                ASSERT_TRUE (rig.runUntilStreaming (rig.processor (p).getUsbClient()));
            }
        }

        rig.sim.run (0.5);
        const int extra = rig.driver().getSettings().extraLatency.get();
        for (int p : { 0, 1 })
            ASSERT_EQ (rig.processor (p).getLatencySamples(), 1536 + 1024 + extra + 56);

        rig.driver().getSettings().inAdjust.setValue (2, nullptr);
        const int expected = 1536 + (2 * 512 + 1024) + extra + 56;

        for (int p : { 0, 1 })
        {
            SCOPED_TRACE (p);
            EXPECT_EQ (rig.processor (p).getLatencySamples(), expected);
            EXPECT_EQ (rig.processor (p).getUsbClient()->getAudioSource().getLatencySamples(), expected);
        }

        // The playing ones stream again with it.
        rig.sim.run (1.0);
        for (int p : { 0, 1 })
        {
            SCOPED_TRACE (p);
            auto& bridge = rig.processor (p).getUsbClient()->getAudioSource();
            EXPECT_EQ (rig.processor (p).getLatencySamples(), expected);
            EXPECT_EQ (bridge.getStreamingState() == AudioIODeviceSource::streaming, c.plays[p]);
            EXPECT_EQ (bridge.getDiagnostics().restarts, 0);
        }
    }
}
} // namespace
