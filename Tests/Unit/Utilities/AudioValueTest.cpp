#include "Utilities/AudioValue.h"

#include <gtest/gtest.h>

namespace
{
int blocksToReach (AudioSmoothedValue& value, float target)
{
    value.setTargetValue (target);
    int blocks = 0;
    while (value.isSmoothing() && blocks < 1000)
    {
        value.getNextValue();
        ++blocks;
    }
    return blocks;
}
} // namespace

TEST (AudioSmoothedValue, RampsOncePerBlock)
{
    AudioSmoothedValue wet (0.1f);
    wet.prepare (44100.0, 512);
    EXPECT_EQ (blocksToReach (wet, 1.0f), 8);

    AudioMute mute;
    EXPECT_FLOAT_EQ (mute.getRampLengthSeconds(), 0.06f);
    mute.prepare (44100.0, 512);
    EXPECT_EQ (blocksToReach (mute, 1.0f), 5);
}

TEST (AudioSmoothedValue, PreparingJumpsToTheTarget)
{
    AudioSmoothedValue wet (0.1f);
    wet.prepare (48000.0, 256);
    wet.setTargetValue (0.5f);
    wet.getNextValue();
    wet.prepare (48000.0, 256);
    EXPECT_FLOAT_EQ (wet.getCurrentValue(), 0.5f);
    EXPECT_FALSE (wet.isSmoothing());
}

TEST (AudioSmoothedValue, IgnoresNonsensePreparation)
{
    AudioSmoothedValue wet (0.1f);
    wet.prepare (44100.0, 512);
    wet.prepare (0.0, 512);
    wet.prepare (44100.0, 0);
    EXPECT_EQ (blocksToReach (wet, 1.0f), 8);
}
