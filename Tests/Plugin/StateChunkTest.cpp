#include "Support/LinkRig.h"
#include "Support/SettingsFolder.h"

#include <atomic>
#include <string>
#include <thread>

namespace
{
const std::string declaration = "<?xml version=\"1.0\" encoding=\"UTF-8\"?> ";

// The framework's chunk: magic, text length, text, a zero byte.
juce::MemoryBlock makeChunk (const std::string& text)
{
    juce::MemoryBlock block;
    juce::MemoryOutputStream out (block, false);
    out.writeInt (0x21324356);
    out.writeInt ((int) text.size());
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

std::string presetElement (const std::string& name, int program, const std::string& modified)
{
    return "<PRESET name=\"" + name + "\" program=\"" + std::to_string (program) + "\" modified=\"" + modified + "\"/>";
}

const std::string defaultPreset = presetElement ("Default", 0, "0");

std::string textOf (const juce::MemoryBlock& block)
{
    return block.getSize() > 9 ? std::string (static_cast<const char*> (block.getData()) + 8, block.getSize() - 9) : "";
}

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

template <typename Function>
void onAnotherThread (Function&& function)
{
    std::thread (std::forward<Function> (function)).join();
}

struct StateChunkTest : SettingsFolderTest
{
    // Opened long enough ago that the start-up snapshot is gone.
    void openSettled()
    {
        open();
        processor->getStateArbiter().expire();
    }

    void restore (const juce::MemoryBlock& block) { processor->setStateInformation (block.getData(), (int) block.getSize()); }

    juce::MemoryBlock stateFromAnotherThread()
    {
        juce::MemoryBlock block;
        onAnotherThread ([&] { processor->getStateInformation (block); });
        return block;
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

TEST_F (StateChunkTest, AStateRoundTripsThroughASecondInstanceAtOnce)
{
    openSettled();
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

TEST_F (StateChunkTest, ItsOwnStartUpStateHandedBackIsSkippedOnceUntilItExpires)
{
    open();
    const auto own = state();
    set ("mixWet", 10);

    // A chunk that does not decode is no host state and leaves the snapshot alone.
    restore (juce::MemoryBlock (own.getData(), own.getSize() / 2));
    restore (own);
    EXPECT_EQ (value ("mixWet"), 10);
    EXPECT_TRUE (processor->isAwaitingHostState());

    restore (own);
    EXPECT_EQ (value ("mixWet"), 63);
    EXPECT_FALSE (processor->isAwaitingHostState());

    open();
    const auto fresh = state();
    processor->getStateArbiter().expire();
    set ("mixWet", 10);
    restore (fresh);
    EXPECT_EQ (value ("mixWet"), 63);
    EXPECT_FALSE (processor->isAwaitingHostState());
}

//==============================================================================
TEST_F (StateChunkTest, TheRootTagIsReadWithoutRegardToCaseAndAnotherEndsTheWait)
{
    openSettled();
    const auto before = snapshotOf (*processor);
    restore (makeStateChunk (param ("mixWet", "5") + presetElement ("Default", 0, "1"), "Qellion"));
    EXPECT_EQ (snapshotOf (*processor), before);
    EXPECT_FALSE (processor->isAwaitingHostState());

    restore (makeStateChunk (param ("mixWet", "5") + presetElement ("Default", 0, "1"), "PELLION"));
    EXPECT_EQ (value ("mixWet"), 5);
    EXPECT_TRUE (processor->isPresetModified());
}

TEST_F (StateChunkTest, BypassIsRestoredFromItsParamOrOffWithoutOneAndTheChannelSettingIsNot)
{
    openSettled();
    restore (makeStateChunk (param ("bypass", "0") + defaultPreset));
    EXPECT_EQ (value ("bypass"), 0);

    restore (makeStateChunk (param ("bypass", "true") + defaultPreset));
    EXPECT_EQ (value ("bypass"), 1);

    restore (makeStateChunk (param ("channelSetting", "0") + param ("mixWet", "4") + defaultPreset));
    EXPECT_EQ (value ("bypass"), 0);
    EXPECT_EQ (value ("mixWet"), 4);
    EXPECT_EQ (value ("channelSetting"), 2);
    EXPECT_EQ (processor->getChannelSetting(), -1);
}

TEST_F (StateChunkTest, WithoutAPresetElementNothingIsRestoredElseItsNameAndFlagAreKept)
{
    openSettled();
    const auto before = snapshotOf (*processor);
    restore (makeStateChunk (param ("mixWet", "5") + param ("adcL", "9") + param ("bypass", "0")));
    EXPECT_EQ (snapshotOf (*processor), before);

    // The flag reads as the value tree reads booleans.
    for (const auto* modified : { "1", "2", "true" })
    {
        restore (makeStateChunk (param ("mixWet", "3") + presetElement ("Mine", 0, "0")));
        EXPECT_FALSE (processor->isPresetModified());

        restore (makeStateChunk (param ("mixWet", "3") + presetElement ("Mine", 0, modified)));
        EXPECT_TRUE (processor->isPresetModified()) << modified;
        EXPECT_EQ (processor->getCurrentProgram(), 0);
        EXPECT_NE (stateText().find (presetElement ("Mine", 0, "1")), std::string::npos);
    }
}

TEST_F (StateChunkTest, APresetIsFoundByItsStoredIndexThenByNameElseTheFirstProgram)
{
    writePreset ("Alpha.zvk", R"({"mixWet":10})");
    writePreset ("LongPresetName01.zvk", R"({"mixWet":20})");
    writePreset ("LongPresetName02.zvk", R"({"mixWet":30})");
    openSettled();
    ASSERT_EQ (processor->getProgramName (3), "LongPresetName0");

    restore (makeStateChunk (param ("mixWet", "44") + presetElement ("LongPresetName0", 3, "0")));
    EXPECT_EQ (processor->getCurrentProgram(), 3);
    EXPECT_EQ (value ("mixWet"), 44);

    restore (makeStateChunk (param ("mixWet", "45") + presetElement ("Ghost", 3, "1")));
    EXPECT_EQ (processor->getCurrentProgram(), 1);
    EXPECT_EQ (processor->getProgramName (1), "Alpha");
    EXPECT_EQ (value ("mixWet"), 45);
    EXPECT_NE (stateText().find (presetElement ("Ghost", 1, "1")), std::string::npos) << stateText();
}

TEST_F (StateChunkTest, ABrokenByteInAPresetNameKeepsTheRestOfTheState)
{
    openSettled();
    restore (makeStateChunk (param ("mixWet", "5") + presetElement ("Caf\xE9", 0, "1")));

    EXPECT_EQ (value ("mixWet"), 5);
    EXPECT_TRUE (processor->isPresetModified());
    EXPECT_NE (stateText().find (presetElement ("Caf&#65533;", 0, "1")), std::string::npos) << stateText();
}

TEST_F (StateChunkTest, AValidDeviceElementIsRememberedAnInvalidOneIgnored)
{
    openSettled();
    restore (makeStateChunk (defaultPreset + "<DEVICE name=\"QZR-1A2B\" mode=\"2\" channelSetting=\"1\" pedalboardMode=\"5\"/>"));
    EXPECT_EQ (processor->getPendingDevice().name, "");
    EXPECT_EQ (processor->getChannelSetting(), -1);
    EXPECT_FALSE (processor->isTimerRunning (VelmoraAudioProcessor::reconnectTimerId));

    restore (makeStateChunk (defaultPreset + "<DEVICE name=\"QZR-1A2B\" mode=\"3\" channelSetting=\"1\" pedalboardMode=\"0\"/>"));
    const auto& pending = processor->getPendingDevice();
    EXPECT_EQ (pending.name, "QZR-1A2B");
    EXPECT_EQ (pending.mode, modePedalboard);
    EXPECT_EQ (pending.channelSetting, channelMonoRight);
    EXPECT_EQ (pending.pedalboardMode, pedalboardIn);
    EXPECT_EQ (processor->getChannelSetting(), channelMonoRight);
    EXPECT_TRUE (processor->isTimerRunning (VelmoraAudioProcessor::reconnectTimerId));
}

//==============================================================================
TEST_F (StateChunkTest, AStateSetOnAnotherThreadReadsBackAtOnceAndIsAppliedOnTheMessageThread)
{
    const auto chunk = makeStateChunk (param ("mixWet", "17") + param ("adcL", "300") + presetElement ("Mine", 0, "1"));
    openSettled();

    juce::MemoryBlock readBack;
    onAnotherThread ([&] { restore (chunk); processor->getStateInformation (readBack); });
    EXPECT_EQ (value ("mixWet"), 63);
    EXPECT_NE (textOf (readBack).find (param ("mixWet", "17") + param ("channelSetting", "2")), std::string::npos);
    EXPECT_NE (textOf (readBack).find (param ("adcL", "127")), std::string::npos);
    EXPECT_NE (textOf (readBack).find (presetElement ("Mine", 0, "1")), std::string::npos);
    EXPECT_EQ (stateFromAnotherThread(), readBack);

    runMessageLoop (20);
    EXPECT_EQ (value ("mixWet"), 17);
    EXPECT_FALSE (processor->isAwaitingHostState());
    EXPECT_EQ (state(), readBack);

    // The message thread reads it back before its loop has run too, and states
    // set on either thread are applied in the order set.
    onAnotherThread ([&] { restore (makeStateChunk (param ("mixWet", "18") + defaultPreset)); });
    EXPECT_NE (stateText().find (param ("mixWet", "18")), std::string::npos);
    onAnotherThread ([&] { restore (makeStateChunk (param ("mixWet", "19") + defaultPreset)); });
    restore (makeStateChunk (param ("mixWet", "20") + defaultPreset));
    runMessageLoop (20);
    EXPECT_EQ (value ("mixWet"), 20);

    // A new instance must not receive what was meant for the old one.
    onAnotherThread ([&] { restore (chunk); });
    open();
    runMessageLoop (20);
    EXPECT_EQ (value ("mixWet"), 63);
}

TEST_F (StateChunkTest, AGetOnAnotherThreadRunsNoListenerAndReadsWhatTheMessageThreadPublished)
{
    openSettled();
    set ("mixWet", 20);
    const auto published = state();
    EXPECT_EQ (stateFromAnotherThread(), published);

    CallLog log (*processor);
    auto* adcL = processor->getValueTreeState().getParameter ("adcL");
    onAnotherThread ([&] { hostView (adcL).setValue (adcL->convertTo0to1 (90.0f)); });
    EXPECT_EQ (stateFromAnotherThread(), published);
    EXPECT_EQ (log.take(), "");
    EXPECT_EQ ((int) adcL->getState()["value"], 63);

    EXPECT_NE (stateText().find (param ("adcL", "90") + param ("adcR", "90")), std::string::npos);
    EXPECT_EQ (stateFromAnotherThread(), state());
}

TEST_F (StateChunkTest, AHostSavingWhileProgramsChangeGetsOneWholeProgram)
{
    writePreset ("Alpha.zvk", R"({"adcLink":0,"adcL":11,"dacL":12,"mixWet":13})");
    writePreset ("Beta.zvk", R"({"adcLink":0,"adcL":21,"dacL":22,"mixWet":23})");
    openSettled();

    std::atomic<bool> switching { true };
    std::vector<std::string> saved;
    std::thread host ([&]
    {
        while (switching.load() || saved.empty())
        {
            juce::MemoryBlock block;
            processor->getStateInformation (block);
            saved.push_back (textOf (block));
        }
    });

    for (int i = 0; i < 1000; ++i)
        processor->setCurrentProgram (1 + i % 2);
    switching = false;
    host.join();

    for (const auto& text : saved)
    {
        const bool alpha = text.find (presetElement ("Alpha", 1, "0")) != std::string::npos;
        const bool beta = text.find (presetElement ("Beta", 2, "0")) != std::string::npos;
        const auto values = alpha ? param ("adcL", "11") + param ("adcR", "63") + param ("dacLink", "1") + param ("dacL", "12")
                                  : param ("adcL", "21") + param ("adcR", "63") + param ("dacLink", "1") + param ("dacL", "22");
        ASSERT_TRUE (alpha || beta || text.find (defaultPreset) != std::string::npos) << text;
        if (alpha || beta)
            EXPECT_NE (text.find (values), std::string::npos) << text;
    }
}

TEST_F (StateChunkTest, AGetOnAnotherThreadNamesTheAttachedPedal)
{
    LinkRig rig;
    openSettled();
    processor->setUsbDevice (LinkRig::pedalName, modePedalboard, channelMonoLeft, pedalboardOut);
    rig.drain();

    const auto attached = state();
    EXPECT_NE (textOf (attached).find ("<DEVICE name=\"QZR-1A2B\" mode=\"3\" channelSetting=\"0\" pedalboardMode=\"1\"/>"),
               std::string::npos) << textOf (attached);
    EXPECT_EQ (stateFromAnotherThread(), attached);

    processor->disconnectUsbClient();
    EXPECT_EQ (textOf (stateFromAnotherThread()).find ("<DEVICE"), std::string::npos);

    // A host saving while the pedal comes and goes reads it or not, never what is gone.
    std::atomic<bool> attaching { true };
    std::thread host ([&]
    {
        for (juce::MemoryBlock block; attaching.load();)
            processor->getStateInformation (block);
    });

    for (int i = 0; i < 20; ++i)
    {
        processor->setUsbDevice (PedalRig::pedalName, modeAudio, channelStereo, pedalboardNone);
        rig.drain();
        processor->disconnectUsbClient();
        EXPECT_TRUE (rig.releaseRetired());
    }

    attaching = false;
    host.join();
    processor.reset();
    rig.releaseRetired();
}
