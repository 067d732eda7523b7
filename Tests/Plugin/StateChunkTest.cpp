#include "Support/SettingsFolder.h"

#include <cstring>
#include <random>
#include <string>
#include <thread>

namespace
{
const std::string declaration = "<?xml version=\"1.0\" encoding=\"UTF-8\"?> ";

// The framework's chunk: magic, text length, text, a zero byte.
juce::MemoryBlock makeChunk (const std::string& text, juce::int64 lengthField = -1)
{
    juce::MemoryBlock block;
    juce::MemoryOutputStream out (block, false);
    out.writeInt (0x21324356);
    out.writeInt ((int) (uint32_t) (lengthField < 0 ? (juce::int64) text.size() : lengthField));
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

const std::string defaultPreset = presetElement ("Default", 0, 0);

// Every parameter, the program and its flag, as one comparable text.
std::string snapshotOf (VelmoraAudioProcessor& processor)
{
    std::string text;
    for (auto* parameter : processor.getValueTreeState().getParameters())
        text += parameter->getParameterID().toStdString() + "=" + std::to_string (parameter->get()) + " ";
    text += "program=" + std::to_string (processor.getCurrentProgram());
    text += processor.isPresetModified() ? " modified" : " unmodified";
    return text + " channel=" + std::to_string (processor.getChannelSetting());
}

// A state written by another instance whose mix was changed.
juce::MemoryBlock foreignState()
{
    auto source = makeProcessor();
    source->getValueTreeState().getParameter ("mixWet")->set (10, GestureTracker::internalSource);
    juce::MemoryBlock chunk;
    source->getStateInformation (chunk);
    return chunk;
}

struct StateChunkTest : SettingsFolderTest
{
    // Opened long enough ago that the start-up snapshot is gone.
    void openAndSettle()
    {
        open();
        runMessageLoop (StateArbiter::snapshotLifetimeMs + 100);
    }

    void restore (const juce::MemoryBlock& block) { processor->setStateInformation (block.getData(), (int) block.getSize()); }

    // Each block leaves the processor exactly as it was, still awaiting the host's state.
    void expectEachChangesNothing (const std::vector<juce::MemoryBlock>& blocks)
    {
        const auto before = snapshotOf (*processor);
        for (size_t i = 0; i < blocks.size(); ++i)
        {
            restore (blocks[i]);
            EXPECT_EQ (snapshotOf (*processor), before) << "block " << i;
        }
        EXPECT_TRUE (processor->isAwaitingHostState());
    }
};
} // namespace

//==============================================================================
TEST_F (StateChunkTest, AFreshStateHasTheExactLayout)
{
    open();
    const auto block = state();
    const auto* bytes = static_cast<const uint8_t*> (block.getData());

    ASSERT_GT (block.getSize(), 9u);
    EXPECT_EQ (std::string (static_cast<const char*> (block.getData()), 4), "VC2!");
    EXPECT_EQ (juce::ByteOrder::littleEndianInt (bytes + 4), (uint32_t) (block.getSize() - 9));
    EXPECT_EQ (bytes[block.getSize() - 1], 0);

    EXPECT_EQ (stateText(), declaration + "<Pellion version=\"0.2.0\">"
        + param ("adcLink", "1") + param ("adcL", "63") + param ("adcR", "63") + param ("dacLink", "1")
        + param ("dacL", "63") + param ("dacR", "63") + param ("mixWet", "63") + param ("channelSetting", "2")
        + param ("bypass", "1") + param ("preset", "0") + defaultPreset + "</Pellion>");
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
TEST_F (StateChunkTest, ItsOwnStartUpStateHandedBackAtOnceIsSkippedOnlyOnce)
{
    open();
    const auto own = state();
    set ("mixWet", 10);

    restore (own);
    EXPECT_EQ (value ("mixWet"), 10);
    EXPECT_TRUE (processor->isAwaitingHostState());

    restore (own);
    EXPECT_EQ (value ("mixWet"), 63);
    EXPECT_FALSE (processor->isAwaitingHostState());
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
    const auto chunk = foreignState();
    open();
    restore (chunk);
    EXPECT_EQ (value ("mixWet"), 10);
    EXPECT_FALSE (processor->isAwaitingHostState());
}

//==============================================================================
TEST_F (StateChunkTest, TheRootTagIsReadWithoutRegardToCaseAndAnotherEndsTheWait)
{
    open();
    const auto before = snapshotOf (*processor);
    restore (makeStateChunk (param ("mixWet", "5") + presetElement ("Default", 0, 1), "Qellion"));
    EXPECT_EQ (snapshotOf (*processor), before);
    EXPECT_FALSE (processor->isAwaitingHostState());

    restore (makeStateChunk (param ("mixWet", "5") + presetElement ("Default", 0, 1), "PELLION"));
    EXPECT_EQ (value ("mixWet"), 5);
    EXPECT_TRUE (processor->isPresetModified());
}

TEST_F (StateChunkTest, BypassIsRestoredFromItsParamOrOffWithoutOneAndTheChannelSettingIsNot)
{
    openAndSettle();
    restore (makeStateChunk (param ("bypass", "0") + defaultPreset));
    EXPECT_EQ (value ("bypass"), 0);

    set ("bypass", 1);
    restore (makeStateChunk (param ("bypass", "1") + defaultPreset));
    EXPECT_EQ (value ("bypass"), 1);

    restore (makeStateChunk (param ("channelSetting", "0") + param ("mixWet", "4") + defaultPreset));
    EXPECT_EQ (value ("bypass"), 0);
    EXPECT_EQ (value ("mixWet"), 4);
    EXPECT_EQ (value ("channelSetting"), 2);
    EXPECT_EQ (processor->getChannelSetting(), -1);
}

TEST_F (StateChunkTest, WithoutAPresetElementNothingIsRestoredElseItsNameAndFlagAreKept)
{
    openAndSettle();
    const auto before = snapshotOf (*processor);
    restore (makeStateChunk (param ("mixWet", "5") + param ("adcL", "9") + param ("bypass", "0")));
    EXPECT_EQ (snapshotOf (*processor), before);

    restore (makeStateChunk (param ("mixWet", "3") + presetElement ("Mine", 0, 1)));
    EXPECT_TRUE (processor->isPresetModified());
    EXPECT_EQ (processor->getCurrentProgram(), 0);
    EXPECT_NE (stateText().find (presetElement ("Mine", 0, 1)), std::string::npos);

    restore (makeStateChunk (param ("mixWet", "3") + presetElement ("Mine", 0, 0)));
    EXPECT_FALSE (processor->isPresetModified());
}

//==============================================================================
TEST_F (StateChunkTest, APresetIsFoundByNameElseTheFirstUserPresetElseTheDefault)
{
    writePreset ("Alpha.zvk", R"({"mixWet":10})");
    writePreset ("Beta.zvk", R"({"mixWet":20})");
    openAndSettle();

    restore (makeStateChunk (param ("mixWet", "44") + presetElement ("Beta", 7, 0)));
    EXPECT_EQ (processor->getCurrentProgram(), 2);
    EXPECT_EQ (value ("mixWet"), 44);
    EXPECT_FALSE (processor->isPresetModified());

    restore (makeStateChunk (param ("mixWet", "45") + presetElement ("Ghost", 3, 1)));
    EXPECT_EQ (processor->getCurrentProgram(), 1);
    EXPECT_EQ (value ("mixWet"), 45);
    EXPECT_TRUE (processor->isPresetModified());
    EXPECT_NE (stateText().find (presetElement ("Ghost", 1, 1)), std::string::npos) << stateText();

    // A negative program means the default program, whatever the name.
    restore (makeStateChunk (param ("mixWet", "44") + presetElement ("Alpha", -5, 0)));
    EXPECT_EQ (processor->getCurrentProgram(), 0);
}

TEST_F (StateChunkTest, AMissingPresetWithoutUserPresetsFallsBackToTheDefaultProgram)
{
    openAndSettle();
    restore (makeStateChunk (param ("mixWet", "44") + presetElement ("Ghost", 3, 0)));
    EXPECT_EQ (processor->getCurrentProgram(), 0);
    EXPECT_EQ (processor->getNumPrograms(), 1);
    EXPECT_EQ (value ("mixWet"), 44);
}

//==============================================================================
TEST_F (StateChunkTest, AValidDeviceElementIsRememberedUpToItsLimits)
{
    struct Case { const char* element; const char* name; int mode, channelSetting, pedalboardMode; };
    const Case cases[] = {
        { "<DEVICE name=\"QZR-1A2B\" mode=\"3\" channelSetting=\"1\" pedalboardMode=\"0\"/>", "QZR-1A2B", 3, 1, 0 },
        { "<DEVICE name=\"QZR-FFFF\" mode=\"1\" channelSetting=\"0\" pedalboardMode=\"-1\"/>", "QZR-FFFF", 1, 0, -1 },
        { "<DEVICE name=\"QZR-0000\" mode=\"3\" channelSetting=\"2\" pedalboardMode=\"1\"/>", "QZR-0000", 3, 2, 1 },
    };

    openAndSettle();
    for (auto& c : cases)
    {
        SCOPED_TRACE (c.element);
        restore (makeStateChunk (defaultPreset + c.element));

        const auto& pending = processor->getPendingDevice();
        EXPECT_EQ (pending.name, c.name);
        EXPECT_EQ (pending.mode, c.mode);
        EXPECT_EQ (pending.channelSetting, c.channelSetting);
        EXPECT_EQ (pending.pedalboardMode, c.pedalboardMode);
        EXPECT_EQ (processor->getChannelSetting(), c.channelSetting);
        EXPECT_TRUE (processor->isTimerRunning (VelmoraAudioProcessor::reconnectTimerId));
    }
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
        "<DEVICE name=\"\" mode=\"2\" channelSetting=\"1\" pedalboardMode=\"-1\"/>",
        "<DEVICE mode=\"2\" channelSetting=\"1\" pedalboardMode=\"-1\"/>",
    };

    for (auto* device : invalid)
    {
        SCOPED_TRACE (device);
        open();
        restore (makeStateChunk (param ("mixWet", "8") + defaultPreset + device));

        EXPECT_EQ (value ("mixWet"), 8);
        const auto& pending = processor->getPendingDevice();
        EXPECT_EQ (pending.name, "");
        EXPECT_EQ (pending.channelSetting, channelStereo);
        EXPECT_EQ (pending.mode, modeAudio);
        EXPECT_EQ (pending.pedalboardMode, pedalboardNone);
        EXPECT_EQ (processor->getChannelSetting(), -1);
        EXPECT_FALSE (processor->isTimerRunning (VelmoraAudioProcessor::reconnectTimerId));
    }
}

//==============================================================================
TEST_F (StateChunkTest, TruncatedChunksAndBadLengthFieldsChangeNothing)
{
    const auto chunk = foreignState();
    const auto text = declaration + "<Pellion version=\"0.2.0\">" + param ("mixWet", "5")
                    + presetElement ("Default", 0, 1) + "</Pellion>";
    const auto incomplete = text.substr (0, text.size() - 3);

    // Only the trailing zero may go: the text before it is the whole document.
    std::vector<juce::MemoryBlock> blocks;
    for (size_t length = 1; length + 1 < chunk.getSize(); ++length)
        blocks.emplace_back (chunk.getData(), length);

    for (auto lengthField : { 0LL, 0x80000000LL, 0xFFFFFFFFLL, 20LL })
        blocks.push_back (makeChunk (text, lengthField));
    blocks.push_back (makeChunk (incomplete, 0x7FFFFFFFLL));
    blocks.push_back (makeChunk (incomplete, (juce::int64) text.size()));

    openAndSettle();
    expectEachChangesNothing (blocks);
}

TEST_F (StateChunkTest, GarbageChangesNothing)
{
    std::mt19937 random (77);
    std::vector<juce::MemoryBlock> blocks;

    for (int i = 0; i < 500; ++i)
    {
        juce::MemoryBlock block ((size_t) (random() % 400 + 1));
        for (size_t k = 0; k < block.getSize(); ++k)
            block[k] = (char) random();

        // Half of them pass the magic check, so the reader sees them.
        if (i % 2 == 0 && block.getSize() >= 8)
        {
            const uint32_t header[] = { 0x21324356, (uint32_t) block.getSize() - 8 };
            std::memcpy (block.getData(), header, 8);
        }
        blocks.push_back (block);
    }

    openAndSettle();
    expectEachChangesNothing (blocks);
}

TEST_F (StateChunkTest, HostileDocumentsChangeNothing)
{
    const auto tail = param ("mixWet", "5") + presetElement ("Default", 0, 1);

    const auto nested = juce::String::repeatedString ("<a>", 100000) + juce::String::repeatedString ("</a>", 100000);

    std::string attributes = "<PARAM id=\"mixWet\" value=\"5\"";
    for (int i = 0; attributes.size() < (1u << 20); ++i)
        attributes += " a" + std::to_string (i) + "=\"xxxxxxxxxxxxxxxx\"";
    attributes += "/>";

    openAndSettle();
    expectEachChangesNothing ({
        makeStateChunk (nested.toStdString() + tail),
        makeStateChunk (tail + attributes),
        makeStateChunk (param ("mixWet", "5") + "<PRESET name=\"\xC3\x28\xFF\xFE\" program=\"0\" modified=\"1\"/>"),
        makeStateChunk (param ("mixWet\xED\xA0\x80", "5") + presetElement ("Default", 0, 1)),
        makeStateChunk (tail + "text"),
        makeChunk ("<!DOCTYPE Pellion [<!ENTITY a \"&a;&a;\">]><Pellion>" + tail + "&a;</Pellion>"),
        makeChunk (declaration + "<Pellion>" + tail),
        makeChunk (declaration + "<Pellion>" + tail + "</Pellion><Pellion/>"),
        makeChunk (std::string ("<Pellion>\0", 10) + tail + "</Pellion>"),
    });
}

//==============================================================================
TEST_F (StateChunkTest, AStateFromAnotherThreadWaitsForTheMessageLoopAndDiesWithItsProcessor)
{
    const auto chunk = makeStateChunk (param ("mixWet", "17") + defaultPreset);

    openAndSettle();
    std::thread ([this, &chunk] { restore (chunk); }).join();
    EXPECT_EQ (value ("mixWet"), 63);

    runMessageLoop (50);
    EXPECT_EQ (value ("mixWet"), 17);
    EXPECT_FALSE (processor->isAwaitingHostState());

    // A new instance must not receive what was meant for the old one.
    std::thread ([this, &chunk] { restore (chunk); }).join();
    processor.reset();
    open();
    runMessageLoop (50);
    EXPECT_EQ (value ("mixWet"), 63);
}
