#include "Utilities/CircularAudioBuffer.h"

#include <gtest/gtest.h>

namespace
{
constexpr int capacity = CircularAudioBuffer::defaultCapacity;

// Channel c, sample i holds first + i + 1000 c: every sample tells where it came from.
juce::AudioBuffer<float> numbered (int numSamples, int first = 0, int numChannels = 2)
{
    juce::AudioBuffer<float> block (numChannels, std::max (1, numSamples));
    for (int c = 0; c < numChannels; ++c)
        for (int i = 0; i < numSamples; ++i)
            block.setSample (c, i, (float) (first + i + 1000 * c));
    return block;
}

juce::AudioBuffer<float> filled (int numSamples, float value)
{
    juce::AudioBuffer<float> block (2, numSamples);
    for (int c = 0; c < 2; ++c)
        juce::FloatVectorOperations::fill (block.getWritePointer (c), value, numSamples);
    return block;
}

bool write (CircularAudioBuffer& ring, int numSamples, int first = 0, bool mustFit = true)
{
    return ring.writeBuffer (numbered (numSamples, first).getArrayOfReadPointers(), 2, numSamples, 0, mustFit);
}

bool read (CircularAudioBuffer& ring, juce::AudioBuffer<float>& out, int numSamples, bool mustFill = true)
{
    return ring.readBuffer (out.getArrayOfWritePointers(), out.getNumChannels(), numSamples, 0, mustFill);
}

void expectSamples (const juce::AudioBuffer<float>& actual, const juce::AudioBuffer<float>& expected, int numSamples)
{
    for (int c = 0; c < expected.getNumChannels(); ++c)
        for (int i = 0; i < numSamples; ++i)
            ASSERT_EQ (actual.getSample (c, i), expected.getSample (c, i)) << "channel " << c << " sample " << i;
}
} // namespace

TEST (CircularAudioBuffer, WritesAreAllOrNothingAndNeverPassTheCapacity)
{
    const struct { const char* name; int fillBefore, numSamples; bool mustFit, result; int fillAfter, violations; } cases[] = {
        { "the last free slot stays empty", 0, capacity - 1, true, true, capacity - 1, 0 },
        { "one more than fits", capacity - 1, 1, true, false, capacity - 1, 0 },
        { "a block larger than the room", 32000, 1000, true, false, 32000, 0 },
        { "zero samples", 10, 0, true, true, 10, 0 },
        { "a negative count", 10, -1, false, false, 10, 1 },
        { "the whole capacity", 10, capacity, false, false, 10, 1 },
        { "overwriting unread samples", 32000, 1000, false, true, 32000 + 1000 - capacity, 0 },
    };

    for (const auto& test : cases)
    {
        SCOPED_TRACE (test.name);
        CircularAudioBuffer ring;
        ASSERT_TRUE (write (ring, test.fillBefore));
        const int readIndex = ring.getReadIndex(), writeIndex = ring.getWriteIndex();

        EXPECT_EQ (write (ring, test.numSamples, 0, test.mustFit), test.result);
        EXPECT_EQ (ring.getFill(), test.fillAfter);
        EXPECT_EQ (ring.getViolationCount(), (uint32_t) test.violations);
        EXPECT_EQ (ring.getReadIndex(), readIndex);
        EXPECT_EQ (ring.getWriteIndex() == writeIndex, ! test.result || test.numSamples == 0);
    }
}

TEST (CircularAudioBuffer, ReadsOfTenReadySamples)
{
    enum Destination { data, silence, untouched };
    const struct { const char* name; int numSamples; bool mustFill, result; Destination destination; int fillAfter, violations; } cases[] = {
        { "more than ready, must fill", 11, true, false, silence, 10, 0 },
        { "exactly what is ready", 10, true, true, data, 0, 0 },
        { "zero samples", 0, true, true, untouched, 10, 0 },
        { "more than ready, stale allowed", 11, false, true, data, capacity - 1, 0 },
        { "a negative count", -1, true, false, untouched, 10, 1 },
        { "the whole capacity", capacity, false, false, silence, 10, 1 },
    };

    for (const auto& test : cases)
    {
        SCOPED_TRACE (test.name);
        CircularAudioBuffer ring;
        ASSERT_TRUE (write (ring, 10));
        auto out = filled (capacity, 7.0f);

        EXPECT_EQ (read (ring, out, test.numSamples, test.mustFill), test.result);
        EXPECT_EQ (ring.getFill(), test.fillAfter);
        EXPECT_EQ (ring.getViolationCount(), (uint32_t) test.violations);
        const auto expected = test.destination == data ? numbered (10) : filled (capacity, test.destination == silence ? 0.0f : 7.0f);
        expectSamples (out, expected, test.destination == data ? 10 : std::max (0, test.numSamples));
    }
}

TEST (CircularAudioBuffer, EveryStartAndLengthAcrossTheWrapPoint)
{
    constexpr int small = 16;

    for (int start = 0; start < small; ++start)
        for (int length = 1; length < small; ++length)
        {
            SCOPED_TRACE (testing::Message() << "start " << start << " length " << length);
            CircularAudioBuffer ring (2, small);
            juce::AudioBuffer<float> out (2, small);
            ASSERT_TRUE (write (ring, start) && read (ring, out, start));

            ASSERT_TRUE (write (ring, length, 50) && read (ring, out, length));
            expectSamples (out, numbered (length, 50), length);
            EXPECT_EQ (ring.getReadIndex(), (start + length) % small);
        }
}

TEST (CircularAudioBuffer, MissingChannelsAreSilence)
{
    CircularAudioBuffer ring (2, 16);
    auto out = numbered (15, 1, 3);
    ASSERT_TRUE (write (ring, 15, 1) && read (ring, out, 15)); // audio in every slot written next
    ASSERT_TRUE (ring.writeBuffer (numbered (8, 100, 1).getArrayOfReadPointers(), 1, 8, 0, true));
    ASSERT_TRUE (ring.writeBuffer (nullptr, 0, 7, 0, true));

    // The ring's second channel was not in the source; the third is not in the ring.
    out.setSample (2, 0, 1.0f);
    ASSERT_TRUE (read (ring, out, 8));
    auto expected = numbered (8, 100, 3);
    expected.clear (1, 0, 8);
    expected.clear (2, 0, 8);
    expectSamples (out, expected, 8);

    // A null destination channel is skipped.
    float* const skipRight[] = { out.getWritePointer (0), nullptr };
    ASSERT_TRUE (ring.readBuffer (skipRight, 2, 7, 0, true));
    expectSamples (out, filled (7, 0.0f), 7);
    EXPECT_EQ (ring.getFill(), 0);
}

TEST (CircularAudioBuffer, ReadsAsSilenceBeforeItIsWritten)
{
    constexpr int size = 4096;
    {
        CircularAudioBuffer used (2, size); // leaves audio in memory the next ring is likely to get
        ASSERT_TRUE (write (used, size - 1, 1));
    }

    CircularAudioBuffer ring (2, size);
    juce::AudioBuffer<float> out (2, size);
    ASSERT_TRUE (read (ring, out, size - 1, false));
    expectSamples (out, filled (size, 0.0f), size - 1);
}

TEST (CircularAudioBuffer, PlacingOneIndexRelativeToTheOther)
{
    for (const int fill : { 0, 10, 63, 64, -1 })
    {
        SCOPED_TRACE (fill);
        const bool accepted = fill >= 0 && fill < 64;
        CircularAudioBuffer ring (2, 64);
        ASSERT_TRUE (write (ring, 5));

        EXPECT_EQ (ring.setReadBehindWrite (fill), accepted);
        EXPECT_EQ (ring.getReadIndex(), accepted ? (5 - fill + 64) % 64 : 0);
        EXPECT_EQ (ring.setWriteAheadOfRead (3), true); // from wherever the reader now is
        EXPECT_EQ (ring.getWriteIndex(), (ring.getReadIndex() + 3) % 64);
        EXPECT_EQ (ring.setWriteAheadOfRead (fill), accepted);
        EXPECT_EQ (ring.getFill(), accepted ? fill : 3);
        EXPECT_EQ (ring.getViolationCount(), accepted ? 0u : 2u);
    }
}
