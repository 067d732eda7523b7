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
    Loop (int roundTripToUse = 612, float gainToUse = 1.0f) : roundTrip (roundTripToUse), gain (gainToUse) {}

    // A measurement told of blocks of `told` samples, called back with `delivered`.
    Loop (int told, int delivered, int roundTripToUse, float gainToUse = 1.0f) : Loop (roundTripToUse, gainToUse)
    {
        detector.start (told);
        finished = run (delivered);
    }

    AudioLatencyDetector detector;
    int roundTrip;
    float gain;
    bool finished = false;
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
        Loop loop (c.block, c.block, c.roundTrip);
        ASSERT_TRUE (loop.finished);

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
    Loop loop (512, 384, 1000);
    ASSERT_TRUE (loop.finished);
    EXPECT_EQ (loop.detector.takeResult(), std::optional<int> (1000 - 32));
}

TEST (AudioLatencyDetector, TimesOutWithoutAReturnAndAfterOneBlockAboveThePreRoll)
{
    // Nothing comes back: 32 blocks of listening, then timed out for good.
    Loop silent (512, 512, 612, 0.0f);
    ASSERT_TRUE (silent.finished);
    EXPECT_EQ (silent.callbacks, 32 + 1 + 32 + 1);
    EXPECT_EQ (silent.detector.getState(), AudioLatencyDetector::timedOut);
    EXPECT_EQ (silent.detector.takeResult(), std::nullopt);

    // A block above the pre-roll length: the impulse at once, then an immediate time-out.
    Loop huge (20000, 20000, 612);
    ASSERT_TRUE (huge.finished);
    EXPECT_EQ (huge.impulseCallback, 0);
    EXPECT_EQ (huge.detector.getState(), AudioLatencyDetector::timedOut);
}

TEST (AudioLatencyDetector, AShortCallbackCarriesAShortImpulseAndBothPolaritiesCount)
{
    Loop shortBlocks (5, 5, 30);
    ASSERT_TRUE (shortBlocks.finished);
    EXPECT_EQ (shortBlocks.impulseLength, 5);

    // The impulse of 0.5 comes back at exactly +-0.4, or just below.
    const std::pair<float, int> returns[] = { { 0.8f, AudioLatencyDetector::detected },
                                              { -0.8f, AudioLatencyDetector::detected },
                                              { 0.79f, AudioLatencyDetector::timedOut } };
    for (auto [gain, state] : returns)
    {
        Loop loop (64, 64, 612, gain);
        ASSERT_TRUE (loop.finished);
        EXPECT_EQ (loop.detector.getState(), state) << gain;
    }
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
