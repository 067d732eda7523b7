#include "Devices/Audio/AudioLatencyDetector.h"

#include <gtest/gtest.h>
#include <juce_audio_basics/juce_audio_basics.h>
#include <optional>
#include <vector>

namespace
{
// Runs the detector over callbacks of the given sizes, sending back what it
// played `roundTrip` samples later (times `gain`), like a pedal would.
struct Loop
{
    AudioLatencyDetector detector;
    int roundTrip = 612;
    float gain = 1.0f;
    std::vector<float> played;   // output channel 0, by device sample
    int callbacks = 0;
    int impulseCallback = -1;
    int impulseLength = 0;

    // True once the detector left armed and listening.
    bool run (int callbackSize, int maxCallbacks = 100000)
    {
        juce::AudioBuffer<float> in (2, callbackSize), out (2, callbackSize);

        for (int n = 0; n < maxCallbacks; ++n, ++callbacks)
        {
            if (! detector.isMeasuring())
                return true;

            const auto start = (int) played.size();
            for (int i = 0; i < callbackSize; ++i)
            {
                const int from = start + i - roundTrip;
                in.setSample (0, i, from >= 0 && from < start ? gain * played[(size_t) from] : 0.0f);
            }

            for (int c = 0; c < 2; ++c)
                juce::FloatVectorOperations::fill (out.getWritePointer (c), 0.25f, callbackSize); // the stream

            detector.process (in.getArrayOfReadPointers(), 2, out.getArrayOfWritePointers(), 2, callbackSize, true);

            for (int i = 0; i < callbackSize; ++i)
                played.push_back (out.getSample (0, i));

            if (impulseCallback < 0 && out.getSample (0, 0) == AudioLatencyDetector::impulseAmplitude)
            {
                impulseCallback = callbacks;
                while (impulseLength < callbackSize && out.getSample (0, impulseLength) == AudioLatencyDetector::impulseAmplitude)
                    ++impulseLength;
            }
        }

        return ! detector.isMeasuring();
    }
};

TEST (AudioLatencyDetector, PreRollsSilentlyThenFindsTheImpulseAndReportsItLess32)
{
    struct Case { int block; int roundTrip; int preRollBlocks; int reported; };
    const Case cases[] = {
        { 512, 700, 32, 668 },
        { 256, 612, 64, 580 },   // 100 samples into the second block after the impulse's
        { 16, 40, 1024, 8 },
        { 16, 20, 1024, 0 },     // below 32 reports 0
    };

    for (const auto& c : cases)
    {
        SCOPED_TRACE (c.block);
        Loop loop;
        loop.roundTrip = c.roundTrip;
        loop.detector.start (c.block);
        ASSERT_TRUE (loop.run (c.block));

        EXPECT_EQ (loop.impulseCallback, c.preRollBlocks);
        EXPECT_EQ (loop.impulseLength, AudioLatencyDetector::impulseLength);
        for (int i = 0; i < c.preRollBlocks * c.block; ++i)
            ASSERT_EQ (loop.played[(size_t) i], 0.0f) << "the pre-roll is silent";

        EXPECT_EQ (loop.detector.getState(), AudioLatencyDetector::detected);
        EXPECT_EQ (loop.detector.takeResult(), std::optional<int> (c.reported));
        EXPECT_EQ (loop.detector.getState(), AudioLatencyDetector::idle);
        EXPECT_EQ (loop.detector.takeResult(), std::nullopt);
    }
}

TEST (AudioLatencyDetector, CountsTheSamplesDeliveredWhateverBlockSizeItWasToldOf)
{
    // Told 512, called back with 384: the position still counts real samples.
    Loop loop;
    loop.roundTrip = 1000;
    loop.detector.start (512);
    ASSERT_TRUE (loop.run (384));
    EXPECT_EQ (loop.detector.takeResult(), std::optional<int> (1000 - 32));
}

TEST (AudioLatencyDetector, TimesOutWithoutAReturnAndAfterOneBlockAboveThePreRoll)
{
    // Nothing comes back: 32 blocks of listening, then timed out for good.
    Loop silent;
    silent.gain = 0.0f;
    silent.detector.start (512);
    ASSERT_TRUE (silent.run (512));
    EXPECT_EQ (silent.callbacks, 32 + 1 + 32 + 1);
    EXPECT_EQ (silent.detector.getState(), AudioLatencyDetector::timedOut);
    EXPECT_EQ (silent.detector.takeResult(), std::nullopt);

    // A block above the pre-roll length: the impulse at once, then an immediate time-out.
    Loop huge;
    huge.detector.start (20000);
    ASSERT_TRUE (huge.run (20000));
    EXPECT_EQ (huge.impulseCallback, 0);
    EXPECT_EQ (huge.detector.getState(), AudioLatencyDetector::timedOut);
}

TEST (AudioLatencyDetector, AShortCallbackCarriesAShortImpulseAndBothPolaritiesCount)
{
    Loop shortBlocks;
    shortBlocks.roundTrip = 30;
    shortBlocks.detector.start (5);
    ASSERT_TRUE (shortBlocks.run (5));
    EXPECT_EQ (shortBlocks.impulseLength, 5);

    for (float gain : { 0.8f, -0.8f }) // the impulse 0.5 comes back at exactly +-0.4
    {
        Loop loop;
        loop.gain = gain;
        loop.detector.start (64);
        ASSERT_TRUE (loop.run (64));
        EXPECT_EQ (loop.detector.getState(), AudioLatencyDetector::detected) << gain;
    }

    Loop below;
    below.gain = 0.79f;
    below.detector.start (64);
    ASSERT_TRUE (below.run (64));
    EXPECT_EQ (below.detector.getState(), AudioLatencyDetector::timedOut);
}

TEST (AudioLatencyDetector, AStartDuringAMeasurementBeginsAgainWithAFreshPreRoll)
{
    Loop loop;
    loop.detector.start (256);
    loop.run (256, 65); // the impulse went out: listening
    ASSERT_EQ (loop.detector.getState(), AudioLatencyDetector::listening);

    loop.detector.start (256);
    loop.impulseCallback = -1;
    const int restartedAt = loop.callbacks;
    ASSERT_TRUE (loop.run (256));
    EXPECT_EQ (loop.impulseCallback - restartedAt, 64);
    EXPECT_EQ (loop.detector.takeResult(), std::optional<int> (612 - 32));
}
} // namespace
