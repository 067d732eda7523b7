#include "Host/HostFixture.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

namespace
{
std::filesystem::path settingsFolder()
{
    const char* home = std::getenv ("HOME");
    return std::filesystem::path (home != nullptr ? home : "") / ".config/Audio/Presets/Kelvane-Sonic/Pellion";
}

// Each case starts with the user presets "Alpha" (mixWet 10) and "Beta"
// (mixWet 20), so the host sees three programs, and ends without a settings folder.
struct HostStateTest : HostTest
{
    void SetUp() override
    {
        removeSettings();
        writePreset ("Alpha.zvk", R"({"mixWet":10})");
        writePreset ("Beta.zvk", R"({"mixWet":20})");
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
TEST_F (HostStateTest, StateChunkHasTheWrapperLayoutAndRoundTripsWithProgramAndModified)
{
    ASSERT_EQ (plugin->programCount(), 3);
    EXPECT_EQ (plugin->programName (2), "Beta");
    ASSERT_EQ (plugin->setParameter (index ("bypass"), 0.0f), KAU_OK);
    ASSERT_EQ (plugin->setParameter (index ("dacL"), 20.0f), KAU_OK);

    const auto chunk = plugin->getState();
    ASSERT_GT (chunk.size(), 9u);
    EXPECT_EQ (std::string (chunk.begin(), chunk.begin() + 4), "VC2!");
    const uint32_t length = chunk[4] | (chunk[5] << 8) | (chunk[6] << 16) | ((uint32_t) chunk[7] << 24);
    EXPECT_EQ (length, chunk.size() - 9);
    EXPECT_EQ (chunk.back(), 0);

    const auto xml = xmlOf (chunk);
    EXPECT_EQ (xml.find ('\n'), std::string::npos);
    EXPECT_EQ (xml.rfind ("<?xml version=\"1.0\" encoding=\"UTF-8\"?> <Pellion version=\"0.2.0\">", 0), 0u);
    EXPECT_NE (xml.find ("<PARAM id=\"dacR\" value=\"20\"/>"), std::string::npos);

    auto target = open();
    ASSERT_EQ (target->setState (chunk), KAU_OK);
    EXPECT_EQ (target->getParameter (index ("bypass")), 0.0f);
    EXPECT_EQ (target->getParameter (index ("dacL")), 20.0f);
    EXPECT_EQ (target->getParameter (index ("dacR")), 20.0f);
    EXPECT_EQ (target->getState(), chunk);

    struct Case
    {
        int32_t program;
        std::optional<float> mixWet;    // set after choosing the program
        const char* preset;
        float restoredMixWet;
    };

    const Case cases[] = {
        { 0, 100.0f, "<PRESET name=\"Default\" program=\"0\" modified=\"1\"/>", 100.0f },
        { 2, 45.0f, "<PRESET name=\"Beta\" program=\"2\" modified=\"1\"/>", 45.0f },
        { 1, std::nullopt, "<PRESET name=\"Alpha\" program=\"1\" modified=\"0\"/>", 10.0f },
    };

    for (const auto& c : cases)
    {
        SCOPED_TRACE (c.preset);
        ASSERT_EQ (plugin->setCurrentProgram (c.program), KAU_OK);

        if (c.mixWet.has_value())
        {
            ASSERT_EQ (plugin->setParameter (index ("mixWet"), *c.mixWet), KAU_OK);
        }

        const auto saved = plugin->getState();
        EXPECT_TRUE (contains (saved, c.preset)) << xmlOf (saved);
        EXPECT_TRUE (contains (saved, "<PARAM id=\"mixWet\" value=\"" + std::to_string ((int) c.restoredMixWet) + "\"/>"));

        ASSERT_EQ (target->setState (saved), KAU_OK);
        EXPECT_EQ (target->currentProgram(), c.program);
        EXPECT_EQ (target->getParameter (index ("mixWet")), c.restoredMixWet);
        EXPECT_EQ (target->getState(), saved);
    }
}

TEST_F (HostStateTest, AStateReadOnAHostThreadIsTheOneTheMessageThreadReads)
{
    ASSERT_EQ (plugin->setCurrentProgram (2), KAU_OK);
    ASSERT_EQ (plugin->setParameter (index ("dacL"), 30.0f), KAU_OK);
    const auto chunk = plugin->getState();

    std::vector<uint8_t> offThread;
    onHostThread ([&] { offThread = plugin->getState(); });
    EXPECT_EQ (offThread, chunk);
}

TEST_F (HostStateTest, AStateSetOnAHostThreadIsAppliedAtTheNextIdleOrDroppedWithItsInstance)
{
    auto source = open();
    ASSERT_EQ (source->setCurrentProgram (1), KAU_OK);
    ASSERT_EQ (source->setParameter (index ("dacL"), 30.0f), KAU_OK);
    const auto chunk = source->getState();

    onHostThread ([&] { EXPECT_EQ (plugin->setState (chunk), KAU_OK); });
    EXPECT_EQ (plugin->currentProgram(), 0);
    EXPECT_EQ (plugin->getParameter (index ("mixWet")), 63.0f);

    ASSERT_TRUE (idleUntil ("the state applied", [&] { return plugin->currentProgram() == 1; }));
    EXPECT_EQ (plugin->getParameter (index ("mixWet")), 10.0f);
    EXPECT_EQ (plugin->getParameter (index ("dacL")), 30.0f);
    EXPECT_EQ (plugin->getState(), chunk);

    onHostThread ([&] { EXPECT_EQ (source->setState (chunk), KAU_OK); });
    source.reset();
    EXPECT_EQ (plugin->idle(), KAU_OK);
    EXPECT_EQ (plugin->name(), "Pellion");
}

TEST_F (HostStateTest, AStateSetOnAHostThreadReadsBackBeforeTheNextIdle)
{
    auto source = open();
    ASSERT_EQ (source->setCurrentProgram (2), KAU_OK);
    ASSERT_EQ (source->setParameter (index ("mixWet"), 7.0f), KAU_OK);
    const auto chunk = source->getState();

    onHostThread ([&]
    {
        ASSERT_EQ (plugin->setState (chunk), KAU_OK);
        EXPECT_EQ (plugin->getState(), chunk);
    });
    EXPECT_EQ (plugin->getState(), chunk);
}

TEST_F (HostStateTest, HostileStateChunksChangeNothing)
{
    ASSERT_EQ (plugin->setParameter (index ("mixWet"), 33.0f), KAU_OK);
    const auto chunk = plugin->getState();

    // A copy of the chunk with one byte changed.
    auto changed = [&chunk] (size_t at, uint8_t value) { auto copy = chunk; copy[at] = value; return copy; };
    const std::string xml (chunk.begin(), chunk.end());

    const std::vector<std::vector<uint8_t>> hostile {
        {}, { 0x56, 0x43, 0x32, 0x21 }, std::vector<uint8_t> (chunk.begin(), chunk.begin() + 30),
        changed (7, 0xff), changed (0, 0x57), changed (xml.find ("<Pellion") + 1, 'Q'),
    };

    auto other = open();
    ASSERT_EQ (other->setParameter (index ("mixWet"), 90.0f), KAU_OK);

    // Each is refused, so that a host can say that nothing was restored.
    for (size_t i = 0; i < hostile.size(); ++i)
    {
        EXPECT_EQ (other->setState (hostile[i]), KAU_ErrInvalidArgument) << i;
        EXPECT_EQ (other->getParameter (index ("mixWet")), 90.0f) << i;
    }

    onHostThread ([&] { EXPECT_EQ (other->setState (hostile.back()), KAU_ErrInvalidArgument); });
    EXPECT_EQ (other->idle(), KAU_OK);
    EXPECT_EQ (other->getParameter (index ("mixWet")), 90.0f);

    // A length field beyond the data is cut to the data, so the chunk still reads.
    auto hugeLength = chunk;
    hugeLength[4] = hugeLength[5] = hugeLength[6] = 0xff;
    hugeLength[7] = 0x7f;
    EXPECT_EQ (other->setState (hugeLength), KAU_OK);
    EXPECT_EQ (other->getParameter (index ("mixWet")), 33.0f);

    // The root tag in another case is still the plug-in's.
    auto capitals = changed (xml.find ("<Pellion") + 2, 'E');
    capitals[xml.find ("</Pellion>") + 3] = 'E';
    ASSERT_EQ (other->setParameter (index ("mixWet"), 90.0f), KAU_OK);
    EXPECT_EQ (other->setState (capitals), KAU_OK);
    EXPECT_EQ (other->getParameter (index ("mixWet")), 33.0f);

    EXPECT_EQ (other->setState (nullptr, 12), KAU_ErrInvalidArgument);
    EXPECT_EQ (other->setState (chunk.data(), -1), KAU_ErrInvalidArgument);
    EXPECT_EQ (other->setState (chunk.data(), KAU_MAX_STATE_BYTES + 1), KAU_ErrInvalidArgument);
}

TEST_F (HostStateTest, AProgramOutsideTheListIsRefusedOnEveryThread)
{
    ASSERT_EQ (plugin->setCurrentProgram (1), KAU_OK);

    for (int32_t bad : { -1, 3, 1000 })
    {
        SCOPED_TRACE (bad);
        EXPECT_EQ (plugin->setCurrentProgram (bad), KAU_ErrInvalidArgument);
        onHostThread ([&] { EXPECT_EQ (plugin->setCurrentProgram (bad), KAU_ErrInvalidArgument); });
        EXPECT_EQ (plugin->currentProgram(), 1);

        char name[32];
        KAUProgramArgs args { bad, name, sizeof (name) };
        EXPECT_EQ (plugin->dispatch (KAU_GetProgramName, &args), KAU_ErrInvalidArgument);
    }

    EXPECT_EQ (plugin->idle(), KAU_OK);
    EXPECT_EQ (plugin->currentProgram(), 1);
    EXPECT_EQ (plugin->getParameter (index ("mixWet")), 10.0f);
}
