#include "Utilities/ResamplingCircularAudioBuffer.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

namespace
{
std::vector<float> counting (int numSamples, float first = 1.0f, float step = 1.0f)
{
    std::vector<float> samples ((size_t) numSamples);
    for (int i = 0; i < numSamples; ++i)
        samples[(size_t) i] = first + (float) i * step;
    return samples;
}

bool writeMono (ResamplingCircularAudioBuffer& ring, const std::vector<float>& samples, int start, int numSamples)
{
    const float* const source[] = { samples.data() };
    return ring.writeBuffer (source, 1, numSamples, start, true);
}

bool readMono (ResamplingCircularAudioBuffer& ring, std::vector<float>& out, int start, int numSamples)
{
    float* const dest[] = { out.data() };
    return ring.readBuffer (dest, 1, numSamples, start, true);
}

// Streams a counting signal through the ring in blocks of changing size,
// across many wraps, and expects it back two samples late.
void expectTwoSampleDelay (ResamplingCircularAudioBuffer& ring)
{
    const auto input = counting (2000);
    std::vector<float> output (input.size());
    int written = 0, produced = 0;

    for (int block = 0; produced < 1900; ++block)
    {
        const int n = 1 + (block * 7) % 40;
        const int toWrite = std::min (ring.getFreeSpace(), (int) input.size() - written);
        ASSERT_TRUE (writeMono (ring, input, written, toWrite));
        written += toWrite;

        const int fill = ring.getFill();
        ASSERT_TRUE (readMono (ring, output, produced, n));
        ASSERT_EQ (ring.getFill(), fill - n) << "a read at ratio 1 consumes what it produces";
        produced += n;
    }

    for (int i = 0; i < produced; ++i)
        ASSERT_EQ (output[(size_t) i], i < 2 ? 0.0f : input[(size_t) i - 2]) << i;
}
} // namespace

TEST (ResamplingCircularAudioBuffer, AtRatioOneIsATwoSampleDelayAcrossManyWrapsAndAfterAReset)
{
    ResamplingCircularAudioBuffer ring (1, 64);
    ring.setRatioRampLength (10); // before the first read: no ramp up from a standstill
    expectTwoSampleDelay (ring);

    ring.setRatio (1.37);
    std::vector<float> out (20);
    ASSERT_TRUE (readMono (ring, out, 0, 20));

    ring.reset();
    EXPECT_EQ (ring.getRatio(), 1.0);
    EXPECT_EQ (ring.getFill(), 0);
    expectTwoSampleDelay (ring);
}

TEST (ResamplingCircularAudioBuffer, MustFillNeedsFourSamplesBeyondTheRatio)
{
    const struct { double ratio; int needed; } cases[] = { { 1.0, 104 }, { 1.5, 154 }, { 0.5, 54 }, { 1.0001, 104 } };

    for (const auto& test : cases)
        for (const int fill : { test.needed - 1, test.needed })
        {
            SCOPED_TRACE (testing::Message() << "ratio " << test.ratio << " fill " << fill);
            ResamplingCircularAudioBuffer ring (1, 1024);
            ring.setRatio (test.ratio);
            ASSERT_TRUE (writeMono (ring, counting (fill), 0, fill));
            std::vector<float> out (100, 7.0f);

            // What a read could take is exactly what makes the read go ahead.
            const bool enough = fill >= test.needed;
            EXPECT_EQ (ring.getReadableSamples() >= 100, enough) << ring.getReadableSamples();
            EXPECT_GE (ring.getReadableSamples(), 99);
            EXPECT_EQ (readMono (ring, out, 0, 100), enough);
            EXPECT_EQ (ring.getReadIndex() > 0, enough);
            EXPECT_TRUE (enough || out == std::vector<float> (100, 0.0f)) << "a refused read is silent";
        }
}

TEST (ResamplingCircularAudioBuffer, RatioChangesRampLinearlyPerSampleAcrossReads)
{
    // Lagrange interpolation of a straight line is the line itself, so the
    // difference of two outputs is the ratio stepped between them. Both
    // channels carry the line and must step alike.
    constexpr float slope = 1.0f / 1024.0f;
    constexpr int rampLength = 100;
    ResamplingCircularAudioBuffer ring (2, 1024);
    ring.setRatioRampLength (rampLength);
    const auto line = counting (1000, 0.0f, slope);
    const float* const source[] = { line.data(), line.data() };
    ASSERT_TRUE (ring.writeBuffer (source, 2, 1000, 0, true));

    juce::AudioBuffer<float> out (2, 260);
    const auto read = [&] (int start, int n) { return ring.readBuffer (out.getArrayOfWritePointers(), 2, n, start, true); };
    ASSERT_TRUE (read (0, 20));
    ring.setRatio (1.5);
    ASSERT_TRUE (read (20, 60)); // the ramp continues into the next read
    ASSERT_TRUE (read (80, 180));

    for (int i = 3; i < 260; ++i)
    {
        const int step = i - 20; // steps of the ramp taken before output i
        const double expected = step <= 0 ? 1.0 : 1.0 + 0.5 * std::min (step, rampLength) / rampLength;
        ASSERT_NEAR ((out.getSample (0, i) - out.getSample (0, i - 1)) / slope, expected, 1.0e-3) << i;
        ASSERT_EQ (out.getSample (1, i), out.getSample (0, i)) << i;
    }
}

TEST (ResamplingCircularAudioBuffer, RefusesRatiosThatCannotBeStreamed)
{
    ResamplingCircularAudioBuffer ring;
    const double refused[] = { 0.0, -1.0, std::nan (""), std::numeric_limits<double>::infinity(), 16.0001 };

    for (const double ratio : refused)
        EXPECT_FALSE (ring.setRatio (ratio)) << ratio;

    EXPECT_EQ (ring.getRatio(), 1.0);
    EXPECT_EQ (ring.getViolationCount(), 5u);
    EXPECT_TRUE (ring.setRatio (ResamplingCircularAudioBuffer::maximumRatio));
}

TEST (ResamplingCircularAudioBuffer, MatchesJuceLagrangeInterpolatorAtConstantRatios)
{
    // Both run the same five-point Lagrange kernel over the same history with
    // the same sub-sample bookkeeping (and so the same two-sample delay): the
    // input each read consumes must agree exactly, and every output to the
    // rounding of the kernel, which the two evaluate in a different order.
    // For input within +-1 the weights sum to at most 1.2 in magnitude; each
    // side rounds to about an ulp of 1.0 (2 ulps apart measured), so 4 bound it.
    constexpr float bound = 4.0f * std::numeric_limits<float>::epsilon();
    constexpr int length = 20000, ringCapacity = 256;

    juce::AudioBuffer<float> input (2, length);
    juce::Random random (8);
    for (int c = 0; c < 2; ++c)
        for (int i = 0; i < length; ++i)
            input.setSample (c, i, random.nextFloat() * 2.0f - 1.0f);

    for (const double ratio : { 0.5, 0.9999, 1.0, 1.0001, 1.37, 2.0 })
    {
        SCOPED_TRACE (ratio);
        ResamplingCircularAudioBuffer ring (2, ringCapacity);
        ring.setRatio (ratio);
        juce::LagrangeInterpolator reference[2];
        juce::AudioBuffer<float> out (2, 128), expected (2, 128);
        int written = 0, consumed = 0;
        float largest = 0.0f;

        for (int block = 0; written < length - 2 * ringCapacity; ++block)
        {
            const int n = 17 + (block * 37) % 64;
            const int toWrite = ring.getFreeSpace();
            ASSERT_TRUE (ring.writeBuffer (input.getArrayOfReadPointers(), 2, toWrite, written, true));
            written += toWrite;

            const int readBefore = ring.getReadIndex();
            ASSERT_TRUE (ring.readBuffer (out.getArrayOfWritePointers(), 2, n, 0, true));
            const int advance = (ring.getReadIndex() - readBefore + ringCapacity) % ringCapacity;

            for (int c = 0; c < 2; ++c)
            {
                const int used = reference[c].process (ratio, input.getReadPointer (c, consumed), expected.getWritePointer (c), n);
                ASSERT_EQ (used, advance) << "block " << block;
                for (int i = 0; i < n; ++i)
                    largest = std::max (largest, std::abs (out.getSample (c, i) - expected.getSample (c, i)));
            }
            consumed += advance;
        }

        // At whole ratios every output falls on a node, which both return exactly.
        EXPECT_LE (largest, ratio == std::floor (ratio) ? 0.0f : bound);
    }
}
