#include "Components/StatusLine.h"

#include <gtest/gtest.h>

// Every use, channel setting and leg the status line is written for, and what
// is left over after a pedal goes (a use of 0 with a channel still set).
TEST (StatusLine, NamesEveryUseChannelAndLegWithoutGluedOrHalfTexts)
{
    const struct { int mode, channel, config; const char* text; } rows[] = {
        { 1, 0, -1, "Control : Mono L " },  { 1, 1, -1, "Control : Mono R " },  { 1, 2, -1, "Control : Stereo " },
        { 2, 0, -1, "Audio : Mono L " },    { 2, 1, -1, "Audio : Mono R " },    { 2, 2, -1, "Audio : Stereo " },
        { 3, 0, 0, "Pedalboard : IN - L" }, { 3, 1, 0, "Pedalboard : IN - R" }, { 3, 2, 0, "Pedalboard : IN - S" },
        { 3, 0, 1, "Pedalboard : OUT - L" }, { 3, 1, 1, "Pedalboard : OUT - R" }, { 3, 2, 1, "Pedalboard : OUT - S" },
        { 3, 2, -1, "Pedalboard : Stereo " },
        { 0, -1, -1, "Not Connected" },
        // No use: nothing of a channel or leg follows.
        { 0, 2, -1, "Not Connected" }, { 0, 0, 1, "Not Connected" }, { 4, 2, -1, "Not Connected" }, { -1, 1, 0, "Not Connected" },
        // A use without a channel: its name alone, never a dangling " : " or "IN - ".
        { 2, -1, -1, "Audio" }, { 3, -1, 0, "Pedalboard" }, { 1, 7, -1, "Control" },
        // A leg that is no leg is left out.
        { 3, 1, 5, "Pedalboard : Mono R " },
    };

    // The numbers pass the checked conversions, as every number from outside
    // does: one that names no use or leg is none, one that names no channel
    // setting leaves none.
    for (const auto& row : rows)
        EXPECT_EQ (StatusLine::textFor (requestableModeFromInt (row.mode).value_or (Mode::none), channelSettingFromInt (row.channel),
                                        pedalModeConfigFromInt (row.config).value_or (PedalModeConfig::none)),
                   row.text)
            << row.mode << ", " << row.channel << ", " << row.config;
}
