#include "Components/Dialogs/ExcludedPortsList.h"

#include <gtest/gtest.h>

TEST (ExcludedPortsList, MergesKeepingLinesAddingEachPortOnceWithCrLfBetween)
{
    const std::string boot = ExcludedPortsList::bootloaderPort;
    const struct
    {
        const char* what;
        std::string existing, merged;
    } cases[] = {
        { "no file", "", "QZR-1A2B\r\n" + boot },
        { "blank lines dropped, CR LF read", "A\r\n\r\n  \r\nB\r\n", "A\r\nB\r\nQZR-1A2B\r\n" + boot },
        { "LF read, duplicates kept", "A\nA\n\tB", "A\r\nA\r\n\tB\r\nQZR-1A2B\r\n" + boot },
        { "both already there", "QZR-1A2B\n\n" + boot + "\r\nC\n", "QZR-1A2B\r\n" + boot + "\r\nC" },
        { "near misses count for nothing", "qzr midi bootloader\r\n" + boot + " \r\n QZR-1A2B",
          "qzr midi bootloader\r\n" + boot + " \r\n QZR-1A2B\r\nQZR-1A2B\r\n" + boot },
        { "bytes that are not UTF-8 survive", "Caf\xe9\r\n\xff\xfe", "Caf\xe9\r\n\xff\xfe\r\nQZR-1A2B\r\n" + boot },
        { "a lone CR stays in its line", "A\rB\n", "A\rB\r\nQZR-1A2B\r\n" + boot },
    };

    for (const auto& c : cases)
    {
        SCOPED_TRACE (c.what);
        EXPECT_EQ (ExcludedPortsList::merge (c.existing, "QZR-1A2B"), c.merged);
        EXPECT_TRUE (ExcludedPortsList::lists (c.merged, "QZR-1A2B"));
        EXPECT_TRUE (ExcludedPortsList::lists (c.merged, boot));
    }
}

TEST (ExcludedPortsList, APortIsListedOnlyByAWholeLineOfExactlyItsName)
{
    EXPECT_TRUE (ExcludedPortsList::lists ("A\r\nQZR-1A2B\r\nB", "QZR-1A2B"));
    EXPECT_TRUE (ExcludedPortsList::lists ("QZR-1A2B", "QZR-1A2B"));
    EXPECT_FALSE (ExcludedPortsList::lists ("QZR-1A2B \nqzr-1a2b\nQZR-1A2B2", "QZR-1A2B"));
    EXPECT_FALSE (ExcludedPortsList::lists ("", "QZR-1A2B"));
}
