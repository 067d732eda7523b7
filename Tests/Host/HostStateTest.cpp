#include "Host/HostFixture.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

namespace
{
std::filesystem::path settingsFolder()
{
    const char* home = std::getenv ("HOME");
    return std::filesystem::path (home != nullptr ? home : "") / ".config/Audio/Presets/Kelvane-Sonic/Pellion";
}

// Each case starts and ends without a settings folder; presets are written
// before the instances that should see them are opened.
struct HostStateTest : HostTest
{
    void SetUp() override
    {
        removeSettings();
        HostTest::SetUp();
    }

    void TearDown() override
    {
        plugin.reset();
        removeSettings();
    }

    static void removeSettings()
    {
        std::error_code ignored;
        std::filesystem::remove_all (settingsFolder(), ignored);
    }

    static void writePreset (const std::string& fileName, const std::string& json)
    {
        const auto folder = settingsFolder() / "User";
        std::filesystem::create_directories (folder);
        std::ofstream (folder / fileName) << json;
    }

    static std::string xmlOf (const std::vector<uint8_t>& chunk)
    {
        return chunk.size() > 9 ? std::string (chunk.begin() + 8, chunk.end() - 1) : std::string();
    }

    static bool contains (const std::vector<uint8_t>& chunk, const std::string& text)
    {
        return xmlOf (chunk).find (text) != std::string::npos;
    }
};
} // namespace

//==============================================================================
TEST_F (HostStateTest, StateRoundTripsThroughTwoInstancesWithProgramAndModified)
{
    writePreset ("Alpha.zvk", R"({"mixWet":10})");
    writePreset ("Beta.zvk", R"({"mixWet":20})");
    auto source = open();
    auto target = open();
    ASSERT_EQ (source->programCount(), 3);
    EXPECT_EQ (source->programName (2), "Beta");

    ASSERT_EQ (source->setCurrentProgram (2), KAU_OK);
    EXPECT_EQ (source->getParameter (index ("mixWet")), 20.0f);
    ASSERT_EQ (source->setParameter (index ("mixWet"), 45.0f), KAU_OK);

    const auto chunk = source->getState();
    EXPECT_TRUE (contains (chunk, "<PRESET name=\"Beta\" program=\"2\" modified=\"1\"/>")) << xmlOf (chunk);

    ASSERT_EQ (target->setState (chunk), KAU_OK);
    EXPECT_EQ (target->currentProgram(), 2);
    EXPECT_EQ (target->getParameter (index ("mixWet")), 45.0f);
    EXPECT_EQ (target->getState(), chunk);

    // Unmodified travels as well.
    ASSERT_EQ (source->setCurrentProgram (1), KAU_OK);
    const auto unmodified = source->getState();
    EXPECT_TRUE (contains (unmodified, "<PRESET name=\"Alpha\" program=\"1\" modified=\"0\"/>")) << xmlOf (unmodified);
    ASSERT_EQ (target->setState (unmodified), KAU_OK);
    EXPECT_EQ (target->currentProgram(), 1);
    EXPECT_EQ (target->getParameter (index ("mixWet")), 10.0f);
    EXPECT_EQ (target->getState(), unmodified);
}

TEST_F (HostStateTest, AStateRestoredOffTheMessageThreadIsAppliedAfterIdle)
{
    writePreset ("Alpha.zvk", R"({"mixWet":10})");
    auto source = open();
    auto target = open();
    ASSERT_EQ (source->setCurrentProgram (1), KAU_OK);
    ASSERT_EQ (source->setParameter (index ("dacL"), 30.0f), KAU_OK);
    const auto chunk = source->getState();

    std::thread loader ([&] { EXPECT_EQ (target->setState (chunk), KAU_OK); });
    loader.join();

    EXPECT_EQ (target->currentProgram(), 0);
    EXPECT_EQ (target->getParameter (index ("mixWet")), 63.0f);

    EXPECT_TRUE (idleUntil ([&] { target->idle(); return target->currentProgram() == 1; }));
    EXPECT_EQ (target->getParameter (index ("mixWet")), 10.0f);
    EXPECT_EQ (target->getParameter (index ("dacL")), 30.0f);
    EXPECT_EQ (target->getState(), chunk);
}

TEST_F (HostStateTest, AProgramOutsideTheListIsRefused)
{
    writePreset ("Alpha.zvk", R"({"mixWet":10})");
    writePreset ("Beta.zvk", R"({"mixWet":20})");
    auto instance = open();
    ASSERT_EQ (instance->programCount(), 3);
    ASSERT_EQ (instance->setCurrentProgram (1), KAU_OK);

    for (int32_t bad : { -1, 3, 1000 })
    {
        KAUPropertyArgs args {};
        args.property = KAU_PropCurrentProgram;
        args.intValue = bad;
        EXPECT_EQ (instance->dispatch (KAU_SetProperty, &args), KAU_ErrInvalidArgument) << bad;
        EXPECT_EQ (instance->currentProgram(), 1) << bad;

        std::thread other ([&] { EXPECT_EQ (instance->setCurrentProgram (bad), KAU_ErrInvalidArgument); });
        other.join();
        EXPECT_EQ (instance->currentProgram(), 1) << bad;
    }

    EXPECT_EQ (instance->idle(), KAU_OK);
    EXPECT_EQ (instance->currentProgram(), 1);
    EXPECT_EQ (instance->getParameter (index ("mixWet")), 10.0f);
}
