#include "Support/PluginFixture.h"

#include <cstring>
#include <random>
#include <string>
#include <thread>

namespace
{
juce::File settingsFolder()
{
    return juce::File::getSpecialLocation (juce::File::userApplicationDataDirectory)
        .getChildFile ("Audio/Presets/Kelvane-Sonic/Pellion");
}

const std::string declaration = "<?xml version=\"1.0\" encoding=\"UTF-8\"?> ";

// The framework's chunk: magic, text length, text, a zero byte.
juce::MemoryBlock makeChunk (const std::string& text, juce::int64 lengthField = -1)
{
    const auto length = (uint32_t) (lengthField < 0 ? (juce::int64) text.size() : lengthField);
    juce::MemoryBlock block;
    juce::MemoryOutputStream out (block, false);
    out.writeInt (0x21324356);
    out.writeInt ((int) length);
    out.write (text.data(), text.size());
    out.writeByte (0);
    out.flush();
    return block;
}

// A chunk holding these elements under a root of that tag.
juce::MemoryBlock makeStateChunk (const std::string& body, const std::string& root = "Pellion")
{
    return makeChunk (declaration + "<" + root + " version=\"0.2.0\">" + body + "</" + root + ">");
}

std::string param (const std::string& id, const std::string& value)
{
    return "<PARAM id=\"" + id + "\" value=\"" + value + "\"/>";
}

std::string presetElement (const std::string& name, int program, int modified)
{
    return "<PRESET name=\"" + name + "\" program=\"" + std::to_string (program) + "\" modified=\""
         + std::to_string (modified) + "\"/>";
}

struct StateChunkTest : ::testing::Test
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

    // Opened long enough ago that the start-up snapshot is gone.
    void openAndSettle()
    {
        open();
        runMessageLoop (StateArbiter::snapshotLifetimeMs + 100);
    }

    int value (const char* id) { return processor->getValueTreeState().getParameter (id)->get(); }

    void set (const char* id, int newValue)
    {
        processor->getValueTreeState().getParameter (id)->set (newValue, GestureTracker::internalSource);
    }

    void restore (const juce::MemoryBlock& block) { processor->setStateInformation (block.getData(), (int) block.getSize()); }

    juce::MemoryBlock state()
    {
        juce::MemoryBlock block;
        processor->getStateInformation (block);
        return block;
    }

    void expectNoPendingDevice()
    {
        const auto& pending = processor->getPendingDevice();
        EXPECT_EQ (pending.name, "");
        EXPECT_EQ (pending.channelSetting, channelStereo);
        EXPECT_EQ (pending.mode, modeAudio);
        EXPECT_EQ (pending.pedalboardMode, pedalboardNone);
        EXPECT_EQ (processor->getChannelSetting(), -1);
        EXPECT_FALSE (processor->isTimerRunning (VelmoraAudioProcessor::reconnectTimerId));
    }

    std::string stateText()
    {
        const auto block = state();
        return std::string (static_cast<const char*> (block.getData()) + 8, block.getSize() - 9);
    }

    std::unique_ptr<VelmoraAudioProcessor> processor;
};

// Every parameter, the program and its flag, as one comparable text.
std::string snapshotOf (VelmoraAudioProcessor& processor)
{
    std::string text;
    for (auto* parameter : processor.getValueTreeState().getParameters())
        text += parameter->getParameterID().toStdString() + "=" + std::to_string (parameter->get()) + " ";
    text += "program=" + std::to_string (processor.getCurrentProgram());
    text += processor.isPresetModified() ? " modified" : " unmodified";
    text += " channel=" + std::to_string (processor.getChannelSetting());
    return text;
}
} // namespace

//==============================================================================
TEST_F (StateChunkTest, AFreshStateHasTheExactLayout)
{
    open();
    const auto block = state();
    const auto* bytes = static_cast<const uint8_t*> (block.getData());

    ASSERT_GT (block.getSize(), 9u);
    EXPECT_EQ (bytes[0], 0x56);
    EXPECT_EQ (bytes[1], 0x43);
    EXPECT_EQ (bytes[2], 0x32);
    EXPECT_EQ (bytes[3], 0x21);
    EXPECT_EQ (juce::ByteOrder::littleEndianInt (bytes + 4), (uint32_t) (block.getSize() - 9));
    EXPECT_EQ (bytes[block.getSize() - 1], 0);

    const std::string expected = declaration + "<Pellion version=\"0.2.0\">"
        + param ("adcLink", "1") + param ("adcL", "63") + param ("adcR", "63") + param ("dacLink", "1")
        + param ("dacL", "63") + param ("dacR", "63") + param ("mixWet", "63") + param ("channelSetting", "2")
        + param ("bypass", "1") + param ("preset", "0") + presetElement ("Default", 0, 0) + "</Pellion>";
    EXPECT_EQ (stateText(), expected);
}

TEST_F (StateChunkTest, AStateRoundTripsThroughASecondInstance)
{
    openAndSettle();
    set ("dacLink", 0);
    set ("dacL", 11);
    set ("mixWet", 101);
    set ("bypass", 0);
    const auto chunk = state();

    auto other = makeProcessor();
    other->setStateInformation (chunk.getData(), (int) chunk.getSize());
    EXPECT_EQ (snapshotOf (*other), snapshotOf (*processor));
    EXPECT_FALSE (other->isAwaitingHostState());
}

//==============================================================================
TEST_F (StateChunkTest, ItsOwnStartUpStateHandedBackAtOnceChangesNothing)
{
    open();
    const auto own = state();
    set ("mixWet", 10);

    restore (own);
    EXPECT_EQ (value ("mixWet"), 10);
    EXPECT_TRUE (processor->isAwaitingHostState());
}

TEST_F (StateChunkTest, ItsOwnStartUpStateHandedBackLaterIsApplied)
{
    open();
    const auto own = state();
    runMessageLoop (StateArbiter::snapshotLifetimeMs + 100);
    set ("mixWet", 10);

    restore (own);
    EXPECT_EQ (value ("mixWet"), 63);
    EXPECT_FALSE (processor->isAwaitingHostState());
}

TEST_F (StateChunkTest, ADifferentStateIsAppliedAtOnce)
{
    auto source = makeProcessor();
    source->getValueTreeState().getParameter ("mixWet")->set (10, GestureTracker::internalSource);
    juce::MemoryBlock chunk;
    source->getStateInformation (chunk);

    open();
    restore (chunk);
    EXPECT_EQ (value ("mixWet"), 10);
    EXPECT_FALSE (processor->isAwaitingHostState());
}

TEST_F (StateChunkTest, ASecondRestoreWithinTheSnapshotLifetimeIsApplied)
{
    open();
    const auto own = state();
    set ("mixWet", 10);

    restore (own);
    ASSERT_EQ (value ("mixWet"), 10);
    restore (own);
    EXPECT_EQ (value ("mixWet"), 63);
    EXPECT_FALSE (processor->isAwaitingHostState());
}

//==============================================================================
TEST_F (StateChunkTest, TheRootTagIsReadWithoutRegardToCase)
{
    openAndSettle();
    restore (makeStateChunk (param ("mixWet", "5") + presetElement ("Default", 0, 1), "PELLION"));
    EXPECT_EQ (value ("mixWet"), 5);
    EXPECT_TRUE (processor->isPresetModified());
}

TEST_F (StateChunkTest, AnotherRootTagIsIgnoredButEndsTheWait)
{
    open();
    const auto before = snapshotOf (*processor);
    restore (makeStateChunk (param ("mixWet", "5") + presetElement ("Default", 0, 1), "Qellion"));
    EXPECT_EQ (snapshotOf (*processor), before);
    EXPECT_FALSE (processor->isAwaitingHostState());
}

TEST_F (StateChunkTest, WithoutAPresetElementNoParameterIsRestored)
{
    openAndSettle();
    const auto before = snapshotOf (*processor);
    restore (makeStateChunk (param ("mixWet", "5") + param ("adcL", "9") + param ("bypass", "0")));
    EXPECT_EQ (snapshotOf (*processor), before);
}

TEST_F (StateChunkTest, BypassIsRestoredFromItsParamOrOffWithoutOne)
{
    openAndSettle();
    restore (makeStateChunk (param ("bypass", "0") + presetElement ("Default", 0, 0)));
    EXPECT_EQ (value ("bypass"), 0);

    set ("bypass", 1);
    restore (makeStateChunk (param ("bypass", "1") + presetElement ("Default", 0, 0)));
    EXPECT_EQ (value ("bypass"), 1);

    restore (makeStateChunk (param ("mixWet", "4") + presetElement ("Default", 0, 0)));
    EXPECT_EQ (value ("bypass"), 0);
    EXPECT_EQ (value ("mixWet"), 4);
}

TEST_F (StateChunkTest, TheChannelSettingParamIsNotApplied)
{
    openAndSettle();
    restore (makeStateChunk (param ("channelSetting", "0") + param ("mixWet", "3") + presetElement ("Default", 0, 0)));
    EXPECT_EQ (value ("mixWet"), 3);
    EXPECT_EQ (value ("channelSetting"), 2);
    EXPECT_EQ (processor->getChannelSetting(), -1);
}

TEST_F (StateChunkTest, TheStoredModifiedFlagAndNameAreKept)
{
    openAndSettle();
    restore (makeStateChunk (param ("mixWet", "3") + presetElement ("Mine", 0, 1)));
    EXPECT_TRUE (processor->isPresetModified());
    EXPECT_EQ (processor->getCurrentProgram(), 0);
    EXPECT_NE (stateText().find (presetElement ("Mine", 0, 1)), std::string::npos);

    restore (makeStateChunk (param ("mixWet", "3") + presetElement ("Mine", 0, 0)));
    EXPECT_FALSE (processor->isPresetModified());
}

//==============================================================================
TEST_F (StateChunkTest, AMissingPresetFallsBackToTheFirstUserPreset)
{
    writePreset ("Alpha.zvk", R"({"mixWet":10})");
    writePreset ("Beta.zvk", R"({"mixWet":20})");
    openAndSettle();

    restore (makeStateChunk (param ("mixWet", "44") + presetElement ("Ghost", 3, 1)));
    EXPECT_EQ (processor->getCurrentProgram(), 1);
    EXPECT_EQ (value ("mixWet"), 44);
    EXPECT_TRUE (processor->isPresetModified());
    EXPECT_NE (stateText().find (presetElement ("Ghost", 1, 1)), std::string::npos) << stateText();
}

TEST_F (StateChunkTest, APresetIsFoundByItsNameWhereverItNowIs)
{
    writePreset ("Alpha.zvk", R"({"mixWet":10})");
    writePreset ("Beta.zvk", R"({"mixWet":20})");
    openAndSettle();

    restore (makeStateChunk (param ("mixWet", "44") + presetElement ("Beta", 7, 0)));
    EXPECT_EQ (processor->getCurrentProgram(), 2);
    EXPECT_EQ (value ("mixWet"), 44);
    EXPECT_FALSE (processor->isPresetModified());
}

TEST_F (StateChunkTest, AMissingPresetWithoutUserPresetsFallsBackToTheDefaultProgram)
{
    openAndSettle();
    restore (makeStateChunk (param ("mixWet", "44") + presetElement ("Ghost", 3, 0)));
    EXPECT_EQ (processor->getCurrentProgram(), 0);
    EXPECT_LT (processor->getCurrentProgram(), processor->getNumPrograms());
    EXPECT_EQ (value ("mixWet"), 44);
    EXPECT_EQ (processor->getProgramName (processor->getCurrentProgram()), "Default");
}

TEST_F (StateChunkTest, ANegativeProgramMeansTheDefaultProgram)
{
    writePreset ("Alpha.zvk", "{}");
    openAndSettle();
    restore (makeStateChunk (param ("mixWet", "44") + presetElement ("Alpha", -5, 0)));
    EXPECT_EQ (processor->getCurrentProgram(), 0);
}

//==============================================================================
TEST_F (StateChunkTest, AValidDeviceElementIsRemembered)
{
    openAndSettle();
    restore (makeStateChunk (presetElement ("Default", 0, 0)
                             + "<DEVICE name=\"QZR-1A2B\" mode=\"3\" channelSetting=\"1\" pedalboardMode=\"0\"/>"));

    const auto& pending = processor->getPendingDevice();
    EXPECT_EQ (pending.name, "QZR-1A2B");
    EXPECT_EQ (pending.mode, 3);
    EXPECT_EQ (pending.channelSetting, 1);
    EXPECT_EQ (pending.pedalboardMode, 0);
    EXPECT_EQ (processor->getChannelSetting(), 1);
    EXPECT_TRUE (processor->isTimerRunning (VelmoraAudioProcessor::reconnectTimerId));
}

TEST_F (StateChunkTest, TheLimitsOfTheDeviceElementAreAccepted)
{
    openAndSettle();
    restore (makeStateChunk (presetElement ("Default", 0, 0)
                             + "<DEVICE name=\"QZR-FFFF\" mode=\"1\" channelSetting=\"0\" pedalboardMode=\"-1\"/>"));
    EXPECT_EQ (processor->getPendingDevice().name, "QZR-FFFF");
    EXPECT_EQ (processor->getChannelSetting(), 0);

    restore (makeStateChunk (presetElement ("Default", 0, 0)
                             + "<DEVICE name=\"QZR-0000\" mode=\"3\" channelSetting=\"2\" pedalboardMode=\"1\"/>"));
    EXPECT_EQ (processor->getPendingDevice().name, "QZR-0000");
    EXPECT_EQ (processor->getPendingDevice().pedalboardMode, 1);
    EXPECT_EQ (processor->getChannelSetting(), 2);
}

TEST_F (StateChunkTest, AnInvalidDeviceElementIsIgnoredEntirely)
{
    const char* invalid[] = {
        "<DEVICE name=\"../x\" mode=\"2\" channelSetting=\"1\" pedalboardMode=\"-1\"/>",
        "<DEVICE name=\"QZR-1A2B\" mode=\"7\" channelSetting=\"1\" pedalboardMode=\"-1\"/>",
        "<DEVICE name=\"QZR-1A2B\" mode=\"2\" channelSetting=\"9\" pedalboardMode=\"-1\"/>",
        "<DEVICE name=\"QZR-1A2B\" mode=\"0\" channelSetting=\"1\" pedalboardMode=\"-1\"/>",
        "<DEVICE name=\"QZR-1A2B\" mode=\"2\" channelSetting=\"1\" pedalboardMode=\"2\"/>",
        "<DEVICE name=\"QZR-1A2B\" mode=\"2\" channelSetting=\"1\"/>",
        "<DEVICE name=\"QZR-1a2b\" mode=\"2\" channelSetting=\"1\" pedalboardMode=\"-1\"/>",
    };

    for (auto* device : invalid)
    {
        SCOPED_TRACE (device);
        open();
        restore (makeStateChunk (param ("mixWet", "8") + presetElement ("Default", 0, 0) + device));

        EXPECT_EQ (value ("mixWet"), 8);
        expectNoPendingDevice();
        processor.reset();
    }
}

TEST_F (StateChunkTest, ADeviceElementWithoutANameIsIgnoredEntirely)
{
    for (auto* device : { "<DEVICE name=\"\" mode=\"2\" channelSetting=\"1\" pedalboardMode=\"-1\"/>",
                          "<DEVICE mode=\"2\" channelSetting=\"1\" pedalboardMode=\"-1\"/>" })
    {
        SCOPED_TRACE (device);
        open();
        restore (makeStateChunk (param ("mixWet", "8") + presetElement ("Default", 0, 0) + device));

        EXPECT_EQ (value ("mixWet"), 8);
        expectNoPendingDevice();
        processor.reset();
    }
}

//==============================================================================
TEST_F (StateChunkTest, TruncatedChunksChangeNothing)
{
    auto source = makeProcessor();
    source->getValueTreeState().getParameter ("mixWet")->set (10, GestureTracker::internalSource);
    juce::MemoryBlock chunk;
    source->getStateInformation (chunk);

    openAndSettle();
    const auto before = snapshotOf (*processor);

    // Only the trailing zero may go: the text before it is the whole document.
    for (size_t length = 1; length + 1 < chunk.getSize(); ++length)
    {
        processor->setStateInformation (chunk.getData(), (int) length);
        ASSERT_EQ (snapshotOf (*processor), before) << length;
    }

    EXPECT_TRUE (processor->isAwaitingHostState());
}

TEST_F (StateChunkTest, BadLengthFieldsChangeNothing)
{
    const auto text = declaration + "<Pellion version=\"0.2.0\">" + param ("mixWet", "5")
                    + presetElement ("Default", 0, 1) + "</Pellion>";
    const auto incomplete = text.substr (0, text.size() - 3);

    openAndSettle();
    const auto before = snapshotOf (*processor);

    for (auto block : { makeChunk (text, 0), makeChunk (text, 0x80000000LL), makeChunk (text, 0xFFFFFFFFLL),
                        makeChunk (text, 20), makeChunk (incomplete, 0x7FFFFFFFLL),
                        makeChunk (incomplete, (juce::int64) text.size()) })
    {
        restore (block);
        EXPECT_EQ (snapshotOf (*processor), before);
    }

    EXPECT_TRUE (processor->isAwaitingHostState());
}

TEST_F (StateChunkTest, GarbageChangesNothing)
{
    openAndSettle();
    const auto before = snapshotOf (*processor);
    std::mt19937 random (77);

    for (int i = 0; i < 500; ++i)
    {
        juce::MemoryBlock block ((size_t) (random() % 400 + 1));
        for (size_t k = 0; k < block.getSize(); ++k)
            block[k] = (char) random();

        // Half of them pass the magic check, so the reader sees them.
        if (i % 2 == 0 && block.getSize() >= 8)
        {
            const uint32_t magic = 0x21324356, length = (uint32_t) block.getSize() - 8;
            std::memcpy (block.getData(), &magic, 4);
            std::memcpy (static_cast<char*> (block.getData()) + 4, &length, 4);
        }

        restore (block);
    }

    EXPECT_EQ (snapshotOf (*processor), before);
}

TEST_F (StateChunkTest, HostileDocumentsChangeNothing)
{
    const auto tail = param ("mixWet", "5") + presetElement ("Default", 0, 1);

    std::string nested;
    for (int i = 0; i < 100000; ++i)
        nested += "<a>";
    for (int i = 0; i < 100000; ++i)
        nested += "</a>";

    std::string attributes = "<PARAM id=\"mixWet\" value=\"5\"";
    for (int i = 0; attributes.size() < (1u << 20); ++i)
        attributes += " a" + std::to_string (i) + "=\"xxxxxxxxxxxxxxxx\"";
    attributes += "/>";

    std::vector<juce::MemoryBlock> hostile {
        makeStateChunk (nested + tail),
        makeStateChunk (tail + attributes),
        makeStateChunk (param ("mixWet", "5") + "<PRESET name=\"\xC3\x28\xFF\xFE\" program=\"0\" modified=\"1\"/>"),
        makeStateChunk (param ("mixWet\xED\xA0\x80", "5") + presetElement ("Default", 0, 1)),
        makeStateChunk (tail + "text"),
        makeChunk ("<!DOCTYPE Pellion [<!ENTITY a \"&a;&a;\">]><Pellion>" + tail + "&a;</Pellion>"),
        makeChunk (declaration + "<Pellion>" + tail),
        makeChunk (declaration + "<Pellion>" + tail + "</Pellion><Pellion/>"),
        makeChunk (std::string ("<Pellion>\0", 10) + tail + "</Pellion>"),
    };

    openAndSettle();
    const auto before = snapshotOf (*processor);

    for (size_t i = 0; i < hostile.size(); ++i)
    {
        restore (hostile[i]);
        EXPECT_EQ (snapshotOf (*processor), before) << i;
    }

    EXPECT_TRUE (processor->isAwaitingHostState());
}

//==============================================================================
TEST_F (StateChunkTest, AStateFromAnotherThreadWaitsForTheMessageLoop)
{
    openAndSettle();
    const auto chunk = makeStateChunk (param ("mixWet", "17") + presetElement ("Default", 0, 0));

    std::thread ([this, &chunk] { restore (chunk); }).join();
    EXPECT_EQ (value ("mixWet"), 63);

    runMessageLoop (50);
    EXPECT_EQ (value ("mixWet"), 17);
    EXPECT_FALSE (processor->isAwaitingHostState());
}

TEST_F (StateChunkTest, AStateFromAnotherThreadIsDroppedWhenTheProcessorIsGone)
{
    openAndSettle();
    const auto chunk = makeStateChunk (param ("mixWet", "17") + presetElement ("Default", 0, 0));

    std::thread ([this, &chunk] { restore (chunk); }).join();
    processor.reset();

    // A new instance must not receive what was meant for the old one.
    open();
    runMessageLoop (50);
    EXPECT_EQ (value ("mixWet"), 63);
}
