#include "Support/PluginFixture.h"

#include <string>
#include <thread>

namespace
{
juce::File settingsFolder()
{
    return juce::File::getSpecialLocation (juce::File::userApplicationDataDirectory)
        .getChildFile ("Audio/Presets/Kelvane-Sonic/Pellion");
}

// Every case starts and ends without a settings folder, so none sees another's files.
struct ProgramsTest : ::testing::Test
{
    void SetUp() override { settingsFolder().deleteRecursively(); }

    void TearDown() override
    {
        processor.reset();
        settingsFolder().deleteRecursively();
    }

    static void writePreset (const juce::String& fileName, const juce::String& text)
    {
        const auto folder = settingsFolder().getChildFile ("User");
        ASSERT_TRUE (folder.createDirectory());
        ASSERT_TRUE (folder.getChildFile (fileName).replaceWithText (text));
    }

    void open() { processor = makeProcessor(); }

    int value (const char* id) { return processor->getValueTreeState().getParameter (id)->get(); }

    void set (const char* id, int newValue)
    {
        processor->getValueTreeState().getParameter (id)->set (newValue, GestureTracker::internalSource);
    }

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

    std::unique_ptr<VelmoraAudioProcessor> processor;
};
} // namespace

//==============================================================================
TEST_F (ProgramsTest, WithoutAUserFolderOnlyTheDefaultProgramExists)
{
    open();
    EXPECT_EQ (processor->getNumPrograms(), 1);
    EXPECT_EQ (processor->getProgramName (0), "Default");
    EXPECT_EQ (processor->getProgramName (1), "");
    EXPECT_EQ (processor->getCurrentProgram(), 0);
}

TEST_F (ProgramsTest, AnEmptyUserFolderGivesOnlyTheDefaultProgram)
{
    ASSERT_TRUE (settingsFolder().getChildFile ("User").createDirectory());
    ASSERT_TRUE (settingsFolder().getChildFile ("User/notes.txt").replaceWithText ("{}"));
    open();
    EXPECT_EQ (processor->getNumPrograms(), 1);
    EXPECT_EQ (processor->getProgramName (processor->getNumPrograms()), "");
}

TEST_F (ProgramsTest, UserPresetsAreSortedByLowerCasedName)
{
    writePreset ("b-second.zvk", "{}");
    writePreset ("C-third.zvk", "{}");
    writePreset ("A-first.zvk", "{}");
    open();

    ASSERT_EQ (processor->getNumPrograms(), 4);
    EXPECT_EQ (processor->getProgramName (0), "Default");
    EXPECT_EQ (processor->getProgramName (1), "A-first");
    EXPECT_EQ (processor->getProgramName (2), "b-second");
    EXPECT_EQ (processor->getProgramName (3), "C-third");
    EXPECT_EQ (processor->getProgramName (4), "");
    EXPECT_EQ (processor->getProgramName (-1), "Default");
}

TEST_F (ProgramsTest, LongFileNamesAreCutToFifteenCharacters)
{
    writePreset ("ABCDEFGHIJKLMNOPQRST.zvk", "{}");
    open();
    ASSERT_EQ (processor->getNumPrograms(), 2);
    EXPECT_EQ (processor->getProgramName (1), "ABCDEFGHIJKLMNO");
}

TEST_F (ProgramsTest, APresetIsNamedAfterItsFileAndLeavesBypassAlone)
{
    writePreset ("Loud.zvk", R"({"adcL":100,"name":"X","bypass":0})");
    open();
    ASSERT_EQ (processor->getNumPrograms(), 2);
    EXPECT_EQ (processor->getProgramName (1), "Loud");

    processor->setCurrentProgram (1);
    EXPECT_EQ (processor->getCurrentProgram(), 1);
    EXPECT_EQ (value ("adcL"), 100);
    EXPECT_EQ (value ("bypass"), 1);
    EXPECT_FALSE (processor->isPresetModified());
}

TEST_F (ProgramsTest, APresetWithTheLinkOffSetsEachSideAsStored)
{
    writePreset ("Split.zvk", R"({"adcLink":0,"adcL":100})");
    open();

    processor->setCurrentProgram (1);
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
TEST_F (ProgramsTest, TheDefaultProgramKeepsItsEditsWhileAnotherIsSelected)
{
    openWithThreePresets();
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

TEST_F (ProgramsTest, SelectingTheDefaultProgramAgainKeepsValuesAndClearsModified)
{
    open();
    set ("mixWet", 12);
    ASSERT_TRUE (processor->isPresetModified());

    processor->setCurrentProgram (0);
    EXPECT_EQ (value ("mixWet"), 12);
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
    juce::MemoryBlock state;
    processor->getStateInformation (state);

    const std::string text (static_cast<const char*> (state.getData()) + 8, state.getSize() - 9);
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

TEST_F (ProgramsTest, AFreshInstanceIsNotModified)
{
    open();
    EXPECT_FALSE (processor->isPresetModified());
    flush();
    EXPECT_FALSE (processor->isPresetModified());
    EXPECT_FALSE (processor->updateExtraParameters());
}

TEST_F (ProgramsTest, AFreshInstanceWithUserPresetsIsNotModified)
{
    openWithThreePresets();
    EXPECT_EQ (processor->getCurrentProgram(), 0);
    EXPECT_FALSE (processor->isPresetModified());
    flush();
    EXPECT_FALSE (processor->isPresetModified());
}
