#include "Devices/DeviceModes.h"

#include <gtest/gtest.h>
#include <limits>

// Numbers from outside (a menu id, a stored state, the "channelSetting"
// parameter) become a use, channel setting or leg only when they name one;
// each named one turns back into the number it came from.
TEST (DeviceModes, NumbersBecomeUsesChannelsAndLegsOnlyWithinTheirRanges)
{
    for (int number = -3; number <= 5; ++number)
    {
        SCOPED_TRACE (number);

        const auto mode = requestableModeFromInt (number);
        EXPECT_EQ (mode.has_value(), number >= 1 && number <= 3);
        if (mode)
        {
            EXPECT_EQ (toInt (*mode), number);
        }

        const auto channel = channelSettingFromInt (number);
        EXPECT_EQ (channel.has_value(), number >= 0 && number <= 2);
        if (channel)
        {
            EXPECT_EQ (toInt (*channel), number);
        }

        const auto leg = pedalModeConfigFromInt (number);
        EXPECT_EQ (leg.has_value(), number >= -1 && number <= 1);
        if (leg)
        {
            EXPECT_EQ (toInt (*leg), number);
        }
    }

    // The far ends of an int name nothing either.
    for (int number : { std::numeric_limits<int>::min(), std::numeric_limits<int>::max() })
    {
        EXPECT_FALSE (requestableModeFromInt (number).has_value());
        EXPECT_FALSE (channelSettingFromInt (number).has_value());
        EXPECT_FALSE (pedalModeConfigFromInt (number).has_value());
    }
}

TEST (DeviceModes, TheNumbersAreThoseStoredStatesMenuIdsAndThePedalTableCarry)
{
    EXPECT_EQ (toInt (Mode::none), 0);
    EXPECT_EQ (toInt (Mode::control), 1);
    EXPECT_EQ (toInt (Mode::audio), 2);
    EXPECT_EQ (toInt (Mode::pedalboard), 3);
    EXPECT_EQ (toInt (ChannelSetting::monoLeft), 0);
    EXPECT_EQ (toInt (ChannelSetting::monoRight), 1);
    EXPECT_EQ (toInt (ChannelSetting::stereo), 2);
    EXPECT_EQ (toInt (PedalModeConfig::none), -1);
    EXPECT_EQ (toInt (PedalModeConfig::in), 0);
    EXPECT_EQ (toInt (PedalModeConfig::out), 1);

    // No use is not one the pedal can be asked for, nor is it a number a request carries.
    EXPECT_FALSE (isRequestable (Mode::none));
    EXPECT_TRUE (isRequestable (Mode::control) && isRequestable (Mode::audio) && isRequestable (Mode::pedalboard));
    EXPECT_FALSE (requestableModeFromInt (0).has_value());
}
