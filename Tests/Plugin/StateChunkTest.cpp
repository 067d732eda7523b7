#include "Support/LinkRig.h"
#include "Support/MessageLoop.h"
#include "Support/SettingsFolder.h"
#include "Support/StateChunks.h"

#include <atomic>
#include <map>
#include <sstream>
#include <string>
#include <thread>

using namespace StateChunks;

namespace
{
std::string presetElement (const std::string& name, int program, const std::string& modified)
{
    return preset (name, std::to_string (program), modified);
}

// Every parameter, the program, its flag, the channel setting and whether the
// host's state is awaited, as "name=value" words; changes override words.
std::string snapshotOf (VelmoraAudioProcessor& processor, const std::string& changes = {})
{
    std::map<std::string, std::string> values;
    std::vector<std::string> order;
    auto add = [&] (const std::string& name, int value) { order.push_back (name); values[name] = std::to_string (value); };

    for (auto* parameter : processor.getValueTreeState().getParameters())
        add (parameter->getParameterID().toStdString(), parameter->get());
    add ("program", processor.getCurrentProgram());
    add ("modified", processor.isPresetModified());
    const auto channel = processor.getChannelSetting();
    add ("channel", channel ? toInt (*channel) : -1);
    add ("awaiting", processor.isAwaitingHostState());

    std::istringstream words (changes);
    for (std::string word; words >> word;)
        values[word.substr (0, word.find ('='))] = word.substr (word.find ('=') + 1);

    std::string text;
    for (const auto& name : order)
        text += name + "=" + values[name] + " ";
    return text;
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
TEST_F (StateChunkTest, AFreshStateHasTheExactText)
{
    open();
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
    const auto saved = state();

    auto other = makeProcessor();
    other->setStateInformation (saved.getData(), (int) saved.getSize());
    EXPECT_EQ (snapshotOf (*other), snapshotOf (*processor, "awaiting=0"));
}

TEST_F (StateChunkTest, ItsOwnStartUpStateHandedBackIsSkippedOnceUntilItExpires)
{
    open();
    const auto own = state();
    set ("mixWet", 10);

    // A chunk that does not decode, or is another plug-in's, is no host state
    // and leaves the snapshot alone.
    restore (juce::MemoryBlock (own.getData(), own.getSize() / 2));
    restore (chunk (param ("mixWet", "5") + defaultPreset, "Qellion"));
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

TEST_F (StateChunkTest, ARestoreTakesThePresetsValuesBypassAndFlag)
{
    const auto mix5 = param ("mixWet", "5") + presetElement ("Default", 0, "1");
    const struct { std::string root, body, changes; } cases[] = {
        { "Qellion", mix5, "" }, // another plug-in's: refused whole, still awaiting the host's
        { "PELLION", mix5, "mixWet=5 bypass=0 modified=1 awaiting=0" },
        { "Pellion", param ("mixWet", "5") + param ("adcL", "9") + param ("bypass", "0"), "awaiting=0" },
        { "Pellion", param ("bypass", "0") + defaultPreset, "bypass=0 awaiting=0" },
        { "Pellion", param ("bypass", "true") + presetElement ("Mine", 0, "0"), "awaiting=0" },
        { "Pellion", param ("channelSetting", "0") + param ("mixWet", "4") + defaultPreset, "mixWet=4 bypass=0 awaiting=0" },
        { "Pellion", param ("mixWet", "3") + presetElement ("Mine", 0, "2"), "mixWet=3 bypass=0 modified=1 awaiting=0" },
        { "Pellion", param ("mixWet", "3") + presetElement ("Mine", 0, "true"), "mixWet=3 bypass=0 modified=1 awaiting=0" },
    };

    for (const auto& c : cases)
    {
        openSettled();
        const auto expected = snapshotOf (*processor, c.changes);
        restore (chunk (c.body, c.root));
        EXPECT_EQ (snapshotOf (*processor), expected) << c.root << " " << c.body;
    }
}

TEST_F (StateChunkTest, APresetIsFoundByItsStoredIndexThenByNameElseTheFirstProgram)
{
    writePreset ("Alpha.zvk", R"({"mixWet":10})");
    writePreset ("LongPresetName01.zvk", R"({"mixWet":20})");
    writePreset ("LongPresetName02.zvk", R"({"mixWet":30})");
    openSettled();
    ASSERT_EQ (processor->getProgramName (3), "LongPresetName0");

    restore (chunk (param ("mixWet", "44") + presetElement ("LongPresetName0", 3, "0")));
    EXPECT_EQ (processor->getCurrentProgram(), 3);
    EXPECT_EQ (value ("mixWet"), 44);

    restore (chunk (param ("mixWet", "45") + presetElement ("Ghost", 3, "1")));
    EXPECT_EQ (processor->getCurrentProgram(), 1);
    EXPECT_EQ (processor->getProgramName (1), "Alpha");
    EXPECT_EQ (value ("mixWet"), 45);
    EXPECT_NE (stateText().find (presetElement ("Ghost", 1, "1")), std::string::npos) << stateText();
}

TEST_F (StateChunkTest, ABrokenByteInAPresetNameKeepsTheRestOfTheState)
{
    openSettled();
    restore (chunk (param ("mixWet", "5") + presetElement ("Caf\xE9", 0, "1")));

    EXPECT_EQ (value ("mixWet"), 5);
    EXPECT_TRUE (processor->isPresetModified());
    EXPECT_NE (stateText().find (presetElement ("Caf&#65533;", 0, "1")), std::string::npos) << stateText();
}

TEST_F (StateChunkTest, AValidDeviceElementIsRememberedAnInvalidOneIgnored)
{
    openSettled();
    restore (chunk (defaultPreset + "<DEVICE name=\"QZR-1A2B\" mode=\"2\" channelSetting=\"1\" pedalboardMode=\"5\"/>"));
    EXPECT_EQ (processor->getPendingDevice().name, "");
    EXPECT_FALSE (processor->getChannelSetting().has_value());
    EXPECT_FALSE (processor->isTimerRunning (VelmoraAudioProcessor::reconnectTimerId));

    restore (chunk (defaultPreset + "<DEVICE name=\"QZR-1A2B\" mode=\"3\" channelSetting=\"1\" pedalboardMode=\"0\"/>"));
    const auto& pending = processor->getPendingDevice();
    EXPECT_EQ (pending.name, "QZR-1A2B");
    EXPECT_EQ (pending.mode, Mode::pedalboard);
    EXPECT_EQ (pending.channelSetting, ChannelSetting::monoRight);
    EXPECT_EQ (pending.pedalboardMode, PedalModeConfig::in);
    EXPECT_EQ (processor->getChannelSetting(), ChannelSetting::monoRight);
    EXPECT_TRUE (processor->isTimerRunning (VelmoraAudioProcessor::reconnectTimerId));
}

//==============================================================================
TEST_F (StateChunkTest, AStateSetOnAnotherThreadReadsBackAtOnceAndIsAppliedOnTheMessageThread)
{
    const auto mine = chunk (param ("mixWet", "17") + param ("adcL", "300") + presetElement ("Mine", 0, "1"));
    openSettled();

    juce::MemoryBlock readBack;
    onAnotherThread ([&] { restore (mine); processor->getStateInformation (readBack); });
    EXPECT_EQ (value ("mixWet"), 63);
    EXPECT_NE (textOf (readBack).find (param ("mixWet", "17") + param ("channelSetting", "2")), std::string::npos);
    EXPECT_NE (textOf (readBack).find (param ("adcL", "127")), std::string::npos);
    EXPECT_NE (textOf (readBack).find (presetElement ("Mine", 0, "1")), std::string::npos);
    EXPECT_EQ (stateFromAnotherThread(), readBack);

    deliverPostedMessages();
    EXPECT_EQ (value ("mixWet"), 17);
    EXPECT_FALSE (processor->isAwaitingHostState());
    EXPECT_EQ (state(), readBack);

    // The message thread reads it back before its loop has run too, and states
    // set on either thread are applied in the order set.
    onAnotherThread ([&] { restore (chunk (param ("mixWet", "18") + defaultPreset)); });
    EXPECT_NE (stateText().find (param ("mixWet", "18")), std::string::npos);
    onAnotherThread ([&] { restore (chunk (param ("mixWet", "19") + defaultPreset)); });
    restore (chunk (param ("mixWet", "20") + defaultPreset));
    deliverPostedMessages();
    EXPECT_EQ (value ("mixWet"), 20);

    // A new instance must not receive what was meant for the old one.
    onAnotherThread ([&] { restore (mine); });
    open();
    deliverPostedMessages();
    EXPECT_EQ (value ("mixWet"), 63);
}

TEST_F (StateChunkTest, AGetOnAnotherThreadRunsNoListenerAndReadsWhatTheMessageThreadPublished)
{
    openSettled();
    set ("mixWet", 20);
    const auto published = state();
    EXPECT_EQ (stateFromAnotherThread(), published);

    ParameterLog log (*processor);
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
        EXPECT_TRUE (! (alpha || beta) || text.find (values) != std::string::npos) << text;
    }
}

TEST_F (StateChunkTest, AGetOnAnotherThreadNamesTheAttachedPedal)
{
    LinkRig rig;
    openSettled();
    processor->setUsbDevice (LinkRig::pedalName, Mode::pedalboard, ChannelSetting::monoLeft, PedalModeConfig::out);
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
        processor->setUsbDevice (LinkRig::pedalName, Mode::audio, ChannelSetting::stereo, PedalModeConfig::none);
        rig.drain();
        processor->disconnectUsbClient();
        EXPECT_TRUE (rig.releaseRetired());
    }

    attaching = false;
    host.join();
    processor.reset();
    rig.releaseRetired();
}
