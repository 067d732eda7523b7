#include "Components/Menus/MenuIds.h"

#include <gtest/gtest.h>

// Results decode to the pedal, use, channel and leg of the entry that carries
// them; every other number decodes to nothing.
TEST (MenuIds, DeviceEntriesDecodeToPedalUseChannelAndLeg)
{
    struct Row { int result; bool device; int pedal = 0, mode = 0, channel = 0, leg = 0; };
    const Row rows[] = {
        { 1022, true, 0, 2, 2, -1 },  { 1122, true, 1, 2, 2, -1 },  { 1010, true, 0, 1, 0, -1 },
        { 1921, true, 9, 2, 1, -1 },  { 1030, true, 0, 3, 0, 0 },   { 1232, true, 2, 3, 2, 0 },
        { 5030, true, 0, 3, 0, 1 },   { 5131, true, 1, 3, 1, 1 },   { 5932, true, 9, 3, 2, 1 },
        // Not device entries: nothing chosen, information rows, actions, lines.
        { 0, false }, { -1022, false }, { 2001, false }, { 2006, false }, { 3001, false }, { 4022, false },
        { 7777, false }, { 9999, false },
        // Numbers no entry carries: a use or channel out of range, an OUT entry of another use.
        { 1003, false }, { 1042, false }, { 1013, false }, { 5022, false }, { 5012, false }, { 6032, false },
    };

    for (const auto& row : rows)
    {
        SCOPED_TRACE (row.result);
        const auto choice = MenuIds::decodeDeviceChoice (row.result);
        ASSERT_EQ (choice.has_value(), row.device);
        if (! row.device)
            continue;

        EXPECT_EQ (choice->pedal, row.pedal);
        EXPECT_EQ (toInt (choice->mode), row.mode);
        EXPECT_EQ (toInt (choice->channel), row.channel);
        EXPECT_EQ (toInt (choice->leg), row.leg);

        const auto encoded = row.leg == 1 ? MenuIds::pedalboardOutEntry (row.pedal, choice->channel)
                                          : MenuIds::deviceEntry (row.pedal, choice->mode, choice->channel);
        EXPECT_EQ (encoded, row.result);
    }

    EXPECT_EQ (MenuIds::decodeSetupChoice (4000), 0);
    EXPECT_EQ (MenuIds::decodeSetupChoice (4231), 2);
    EXPECT_FALSE (MenuIds::decodeSetupChoice (3999).has_value());
    EXPECT_FALSE (MenuIds::decodeSetupChoice (5030).has_value());
}
