#include "Support/SettingsFolder.h"

#include <string>
#include <thread>

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
TEST_F (ProgramsTest, WithoutUserPresetsOnlyTheUnmodifiedDefaultProgramExists)
{
    for (bool emptyFolder : { false, true })
    {
        SCOPED_TRACE (emptyFolder ? "an empty user folder" : "no user folder");
        if (emptyFolder)
        {
            ASSERT_TRUE (settingsFolder().getChildFile ("User").createDirectory());
            ASSERT_TRUE (settingsFolder().getChildFile ("User/notes.txt").replaceWithText ("{}"));
        }

        open();
        EXPECT_EQ (processor->getNumPrograms(), 1);
        EXPECT_EQ (processor->getProgramName (0), "Default");
        EXPECT_EQ (processor->getProgramName (1), "");
        EXPECT_EQ (processor->getCurrentProgram(), 0);
        EXPECT_FALSE (processor->isPresetModified());
        flush();
        EXPECT_FALSE (processor->isPresetModified());
        EXPECT_FALSE (processor->updateExtraParameters());
    }
}

TEST_F (ProgramsTest, UserPresetsAreSortedByLowerCasedNameAndCutToFifteenCharacters)
{
    writePreset ("b-second.zvk", "{}");
    writePreset ("C-third.zvk", "{}");
    writePreset ("A-first.zvk", "{}");
    writePreset ("dEFGHIJKLMNOPQRSTU.zvk", "{}");
    open();

    ASSERT_EQ (processor->getNumPrograms(), 5);
    const char* names[] = { "Default", "A-first", "b-second", "C-third", "dEFGHIJKLMNOPQR", "" };
    for (int i = 0; i < 6; ++i)
        EXPECT_EQ (processor->getProgramName (i), names[i]) << i;
    EXPECT_EQ (processor->getProgramName (-1), "Default");
}

TEST_F (ProgramsTest, APresetIsNamedAfterItsFileAndLeavesBypassAlone)
{
    writePreset ("Loud.zvk", R"({"adcL":100,"name":"X","bypass":0})");
    writePreset ("Split.zvk", R"({"adcLink":0,"adcL":100})");
    open();
    ASSERT_EQ (processor->getNumPrograms(), 3);
    EXPECT_EQ (processor->getProgramName (1), "Loud");

    processor->setCurrentProgram (1);
    EXPECT_EQ (processor->getCurrentProgram(), 1);
    EXPECT_EQ (value ("adcL"), 100);
    EXPECT_EQ (value ("bypass"), 1);
    EXPECT_FALSE (processor->isPresetModified());

    // With the link off each side is set as stored.
    processor->setCurrentProgram (2);
    EXPECT_EQ (value ("adcLink"), 0);
    EXPECT_EQ (value ("adcL"), 100);
    EXPECT_EQ (value ("adcR"), 63);
}

TEST_F (ProgramsTest, InvalidJsonGivesAllDefaults)
{
    writePreset ("Broken.zvk", R"({"adcL": 100, "mixWet": )");
    open();
    set ("mixWet", 9);
    set ("adcLink", 0);
    set ("adcL", 9);

    processor->setCurrentProgram (1);
    EXPECT_EQ (processor->getProgramName (1), "Broken");
    for (auto* id : { "adcL", "adcR", "dacL", "dacR", "mixWet" })
        EXPECT_EQ (value (id), 63) << id;
    EXPECT_EQ (value ("adcLink"), 1);
    EXPECT_EQ (value ("dacLink"), 1);
}

//==============================================================================
TEST_F (ProgramsTest, TheDefaultProgramKeepsItsEditsWhetherReselectedOrLeft)
{
    openWithThreePresets();
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
    openWithThreePresets();
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
    openWithThreePresets();

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
    openWithThreePresets();

    std::thread ([this] { processor->setCurrentProgram (3); }).join();
    const auto text = stateText();
    EXPECT_EQ (value ("mixWet"), 30);
    EXPECT_NE (text.find ("<PRESET name=\"Gamma\" program=\"3\" modified=\"0\"/>"), std::string::npos) << text;
}

TEST_F (ProgramsTest, ProgramsThatDoNotExistAreRefusedFromAnyThread)
{
    openWithThreePresets();
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
