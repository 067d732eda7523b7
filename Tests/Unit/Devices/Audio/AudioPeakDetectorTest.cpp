#include "Devices/Audio/AudioPeakDetector.h"

#include <gtest/gtest.h>

namespace
{
juce::AudioBuffer<float> block (int numChannels, float left, float right = 0.0f)
{
    juce::AudioBuffer<float> buffer (numChannels, 64);
    buffer.clear();
    buffer.setSample (0, 7, -left);
    if (numChannels > 1)
        buffer.setSample (1, 63, right);
    return buffer;
}

using Peaks = std::pair<float, float>;

TEST (AudioPeakDetector, HoldsTheHighestPeakUntilReadThenReportsNoBlock)
{
    AudioPeakDetector detector;
    detector.update (block (2, 0.3f, 0.1f));
    detector.update (block (2, 0.5f, 0.05f));
    EXPECT_EQ (detector.readStereo(), Peaks (0.5f, 0.1f));
    EXPECT_EQ (detector.readStereo(), Peaks (-1.0f, -1.0f));

    // Mono reads show the left peak on both sides.
    detector.update (block (2, 0.25f, 0.75f));
    EXPECT_EQ (detector.readMono(), Peaks (0.25f, 0.25f));
}

TEST (AudioPeakDetector, MeasuresTheWholeBufferOfChannelsZeroAndOneOnly)
{
    AudioPeakDetector detector;

    // One channel (mono use) raises only the left peak.
    detector.update (block (1, 0.4f));
    EXPECT_EQ (detector.readStereo(), Peaks (0.4f, 0.0f));

    // A buffer marked clear counts as silence, whatever it holds.
    auto cleared = block (2, 0.9f, 0.9f);
    cleared.clear();
    detector.update (cleared);
    EXPECT_EQ (detector.readStereo(), Peaks (0.0f, 0.0f));

    // Channels beyond the second are not metered.
    juce::AudioBuffer<float> four (4, 32);
    four.clear();
    four.setSample (1, 31, 0.2f);
    four.setSample (3, 0, 1.0f);
    detector.update (four);
    EXPECT_EQ (detector.readStereo(), Peaks (0.0f, 0.2f));
}

TEST (AudioPeakDetector, PeaksFallToZeroOnTheSecondIdleTickAndStayThere)
{
    AudioPeakDetector detector;
    EXPECT_EQ (detector.getTimerInterval(), AudioPeakDetector::idleIntervalMs);

    detector.update (block (2, 0.6f, 0.6f));
    detector.timerCallback();
    detector.update (block (2, 0.7f, 0.1f)); // audio again: the count starts over
    detector.timerCallback();
    EXPECT_EQ (detector.readStereo(), Peaks (0.7f, 0.6f));

    detector.update (block (2, 0.6f, 0.6f));
    detector.timerCallback();
    detector.timerCallback();
    EXPECT_EQ (detector.readStereo(), Peaks (0.0f, 0.0f));

    // Idle for good: nothing more is cleared, so a read shows no block.
    detector.timerCallback();
    detector.timerCallback();
    EXPECT_EQ (detector.readStereo(), Peaks (-1.0f, -1.0f));
}
} // namespace
