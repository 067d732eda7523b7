#include "Support/SettingsFolder.h"

#include <map>
#include <string>
#include <thread>
#include <vector>

namespace
{
struct ProgramsTest : SettingsFolderTest
{
    void flush() { processor->getValueTreeState().timerCallback(); }

    // Three presets: levels that tell them apart, the link left at its default.
    void openWithThreePresets()
    {
        writePreset ("Alpha.zvk", R"({"adcL":100,"adcR":100,"mixWet":10})");
        writePreset ("beta.zvk", R"({"adcL":30,"adcR":30,"mixWet":20})");
        writePreset ("Gamma.zvk", R"({"adcL":5,"adcR":5,"mixWet":30})");
        open();
        ASSERT_EQ (processor->getNumPrograms(), 4);
    }
};
} // namespace

//==============================================================================
// "Default", then the user presets sorted by lower-cased name (which presets a
// folder gives is the preset reader's; here, what the host sees of them).
TEST_F (ProgramsTest, ProgramsAreDefaultThenTheUserPresetsByName)
{
    const struct { std::vector<const char*> files; std::vector<const char*> names; } cases[] = {
        { { "notes.txt" }, { "Default" } },
        { { "b-second.zvk", "C-third.zvk", "A-first.zvk", "dEFGHIJKLMNOPQRSTU.zvk" },
          { "Default", "A-first", "b-second", "C-third", "dEFGHIJKLMNOPQR" } },
    };

    for (const auto& c : cases)
    {
        SCOPED_TRACE (c.names.size());
        for (const auto* file : c.files)
            writePreset (file, "{}");

        open();
        ASSERT_EQ (processor->getNumPrograms(), (int) c.names.size());
        for (int i = 0; i < (int) c.names.size(); ++i)
            EXPECT_EQ (processor->getProgramName (i), c.names[(size_t) i]) << i;
        EXPECT_EQ (processor->getProgramName ((int) c.names.size()), "");
        EXPECT_EQ (processor->getProgramName (-1), "Default");

        // Nothing is applied or edited at the start.
        EXPECT_EQ (processor->getCurrentProgram(), 0);
        flush();
        EXPECT_FALSE (processor->isPresetModified());
        EXPECT_FALSE (processor->updateExtraParameters());
    }
}

// Each key the file has is applied as stored (with the link off, each side as
// it is), each key it lacks and every key of a file that is not JSON takes its
// default; "bypass" is never part of a preset.
TEST_F (ProgramsTest, PresetsApplyTheirValuesOrTheDefaultsAndLeaveBypassAlone)
{
    writePreset ("Broken.zvk", R"({"adcL": 100, "mixWet": )");
    writePreset ("Loud.zvk", R"({"adcL":100,"name":"X","bypass":0})");
    writePreset ("Split.zvk", R"({"adcLink":0,"adcL":100})");
    open();
    ASSERT_EQ (processor->getNumPrograms(), 4);
    EXPECT_EQ (processor->getProgramName (2), "Loud");

    const struct { int program; std::map<std::string, int> values; } cases[] = {
        { 2, { { "adcLink", 1 }, { "adcL", 100 }, { "adcR", 63 }, { "mixWet", 63 }, { "bypass", 1 } } },
        { 3, { { "adcLink", 0 }, { "adcL", 100 }, { "adcR", 63 }, { "dacLink", 1 } } },
        { 1, { { "adcLink", 1 }, { "adcL", 63 }, { "adcR", 63 }, { "dacLink", 1 }, { "dacL", 63 }, { "dacR", 63 }, { "mixWet", 63 } } },
    };

    for (const auto& c : cases)
    {
        SCOPED_TRACE (c.program);
        set ("mixWet", 9);
        set ("adcLink", 0);
        set ("adcL", 9);

        processor->setCurrentProgram (c.program);
        EXPECT_EQ (processor->getCurrentProgram(), c.program);
        for (const auto& [id, expected] : c.values)
            EXPECT_EQ (value (id.c_str()), expected) << id;
        EXPECT_FALSE (processor->isPresetModified());
    }
}

//==============================================================================
TEST_F (ProgramsTest, TheDefaultProgramKeepsItsEditsWhetherReselectedOrLeft)
{
    ASSERT_NO_FATAL_FAILURE (openWithThreePresets());
    EXPECT_FALSE (processor->isPresetModified());
    flush();
    EXPECT_FALSE (processor->isPresetModified());

    set ("mixWet", 12);
    ASSERT_TRUE (processor->isPresetModified());
    processor->setCurrentProgram (0);
    EXPECT_EQ (value ("mixWet"), 12);
    EXPECT_FALSE (processor->isPresetModified());

    set ("adcLink", 0);
    set ("adcL", 20);
    EXPECT_TRUE (processor->isPresetModified());
    processor->setCurrentProgram (1);
    EXPECT_EQ (value ("adcL"), 100);

    processor->setCurrentProgram (0);
    EXPECT_EQ (processor->getCurrentProgram(), 0);
    EXPECT_EQ (value ("adcL"), 20);
    EXPECT_EQ (value ("adcLink"), 0);
    EXPECT_FALSE (processor->isPresetModified());
}

TEST_F (ProgramsTest, SelectingTheCurrentPresetAgainRestoresItsStoredValues)
{
    ASSERT_NO_FATAL_FAILURE (openWithThreePresets());
    processor->setCurrentProgram (2);
    ASSERT_EQ (value ("mixWet"), 20);

    set ("mixWet", 99);
    EXPECT_TRUE (processor->isPresetModified());

    processor->setCurrentProgram (2);
    EXPECT_EQ (value ("mixWet"), 20);
    EXPECT_EQ (value ("adcL"), 30);
    EXPECT_FALSE (processor->isPresetModified());
}

TEST_F (ProgramsTest, AProgramChosenOnAHostThreadIsAppliedAtTheNextFlush)
{
    ASSERT_NO_FATAL_FAILURE (openWithThreePresets());

    std::thread ([this] { processor->setCurrentProgram (2); }).join();
    EXPECT_EQ (processor->getCurrentProgram(), 2);
    EXPECT_EQ (value ("mixWet"), 63);

    flush();
    EXPECT_EQ (processor->getCurrentProgram(), 2);
    EXPECT_EQ (value ("mixWet"), 20);
    EXPECT_EQ (value ("adcL"), 30);
    EXPECT_FALSE (processor->isPresetModified());
    EXPECT_FALSE (processor->updateExtraParameters());
}

TEST_F (ProgramsTest, AProgramChosenOnAHostThreadIsAppliedByWritingTheState)
{
    ASSERT_NO_FATAL_FAILURE (openWithThreePresets());

    std::thread ([this] { processor->setCurrentProgram (3); }).join();
    const auto text = stateText();
    EXPECT_EQ (value ("mixWet"), 30);
    EXPECT_NE (text.find ("<PRESET name=\"Gamma\" program=\"3\" modified=\"0\"/>"), std::string::npos) << text;
}

TEST_F (ProgramsTest, ProgramsThatDoNotExistAreRefusedFromAnyThread)
{
    ASSERT_NO_FATAL_FAILURE (openWithThreePresets());
    processor->setCurrentProgram (1);
    set ("mixWet", 77);

    for (int index : { -1, processor->getNumPrograms(), 1000 })
    {
        SCOPED_TRACE (index);
        processor->setCurrentProgram (index);
        EXPECT_EQ (processor->getCurrentProgram(), 1);

        std::thread ([this, index] { processor->setCurrentProgram (index); }).join();
        EXPECT_EQ (processor->getCurrentProgram(), 1);

        flush();
        EXPECT_EQ (processor->getCurrentProgram(), 1);
        EXPECT_EQ (value ("mixWet"), 77);
        EXPECT_TRUE (processor->isPresetModified());
        EXPECT_FALSE (processor->updateExtraParameters());
    }
}
