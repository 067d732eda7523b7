#include "Support/LinkRig.h"
#include "Support/MessageLoop.h"
#include "Support/PluginFixture.h"
#include "Support/StateChunks.h"

#include "Presets/PresetFormat.h"
#include "Presets/PresetRecord.h"

#include <gtest/gtest.h>
#include <functional>
#include <memory>
#include <thread>
#include <vector>

namespace
{
const juce::String pedalName (LinkRig::pedalName);

Bytes frame (uint8_t group, uint8_t command, Bytes payload = {})
{
    return LinkRig::frame (group, command, std::move (payload));
}

Bytes controlChange (uint8_t controller, uint8_t value)
{
    return frame (Sysex::ControlGroup, Sysex::ControlChange, { controller, value });
}

// The rig is declared first so that processors go before the pedal and manager.
class PedalAttachTest : public ::testing::Test
{
protected:
    PedalAttachTest() : first (makeProcessor()), second (makeProcessor()) {}

    ~PedalAttachTest() override
    {
        first.reset();
        second.reset();
    }

    UsbDevice& device() { return rig.device(); }
    UsbDeviceController& controller() { return device().getController(); }

    // Attaches and lets the pedal's answer arrive; the pedal's record starts afresh.
    void attach (VelmoraAudioProcessor& processor, Mode mode, ChannelSetting channel, PedalModeConfig leg = PedalModeConfig::none)
    {
        processor.setUsbDevice (pedalName, mode, channel, leg);
        rig.drain();
        rig.pedal.clearReceivedMessages();
    }

    int valueOf (VelmoraAudioProcessor& processor, const char* name)
    {
        return processor.getValueTreeState().getParameter (name)->get();
    }

    void set (VelmoraAudioProcessor& processor, const char* name, int value)
    {
        processor.getValueTreeState().getParameter (name)->set (value, GestureTracker::internalSource);
    }

    // Sets a parameter and forgets what that sent, so only what follows is seen.
    void setQuietly (const char* name, int value)
    {
        set (*first, name, value);
        rig.pedal.clearReceivedMessages();
    }

    std::vector<Bytes> controlFrames() const { return rig.receivedInGroup (Sysex::ControlGroup); }

    void expectDetached (VelmoraAudioProcessor& processor)
    {
        EXPECT_EQ (processor.getDevice(), nullptr);
        EXPECT_EQ (processor.getUsbClient(), nullptr);
    }

    LinkRig rig;
    std::unique_ptr<VelmoraAudioProcessor> first, second;
};

//==============================================================================
TEST_F (PedalAttachTest, ABadChannelChangesNothingAndMonoWithAnUnknownNameOnlyUnlinks)
{
    set (*first, "adcLink", 1);
    set (*first, "dacLink", 1);

    // A channel that is none of the three never becomes a ChannelSetting, so
    // nothing can ask for it: it is refused where the number arrives.
    ASSERT_FALSE (channelSettingFromInt (-1).has_value());
    expectDetached (*first);
    EXPECT_EQ (valueOf (*first, "adcLink"), 1);
    EXPECT_EQ (valueOf (*first, "dacLink"), 1);
    EXPECT_FALSE (first->getChannelSetting().has_value());

    first->setUsbDevice ("QZR-FFFF", Mode::audio, ChannelSetting::monoLeft, PedalModeConfig::none);
    expectDetached (*first);
    EXPECT_EQ (valueOf (*first, "adcLink"), 0);
    EXPECT_EQ (valueOf (*first, "dacLink"), 0);
    EXPECT_EQ (first->getChannelSetting(), ChannelSetting::monoLeft);
    EXPECT_EQ (device().getNumClients(), 0);
    EXPECT_TRUE (rig.pedal.getReceivedMessages().empty());
}

//==============================================================================
// Every use and channel: the mode is asked for with no id yet, the client and the
// pedal's record show the attachment, and the last client's detach releases the pedal.
TEST_F (PedalAttachTest, EveryUseAndChannelIsRequestedRecordedAndReleased)
{
    const struct { Mode mode; PedalModeConfig leg, keptLeg; uint8_t command; } uses[] = {
        { Mode::control, PedalModeConfig::none, PedalModeConfig::none, Sysex::ModeControl },
        { Mode::audio, PedalModeConfig::out, PedalModeConfig::none, Sysex::ModeAudio }, // only Pedalboard use keeps a leg
        { Mode::pedalboard, PedalModeConfig::in, PedalModeConfig::in, Sysex::ModePedalboard },
        { Mode::pedalboard, PedalModeConfig::out, PedalModeConfig::out, Sysex::ModePedalboard },
    };

    for (const auto& use : uses)
    {
        for (ChannelSetting channel : { ChannelSetting::monoLeft, ChannelSetting::monoRight, ChannelSetting::stereo })
        {
            SCOPED_TRACE (testing::Message() << "mode " << toInt (use.mode) << " leg " << toInt (use.leg) << " channel "
                                             << toInt (channel));
            rig.pedal.clearReceivedMessages();
            ASSERT_FALSE (device().getDriver().isAudioDeviceOpen());

            first->setUsbDevice (pedalName, use.mode, channel, use.leg);
            const auto requested = rig.pedal.getReceivedMessages();
            ASSERT_FALSE (requested.empty());
            EXPECT_EQ (requested.front(), (Bytes { 0xF0, 0x00, 0x5A, 0x3D, 0x00, 0x02, 0x00, 0x11, use.command, 0xF7 }));
            rig.drain();

            auto* client = first->getUsbClient();
            ASSERT_NE (client, nullptr);
            EXPECT_EQ (first->getDevice(), &device());
            EXPECT_EQ (client->getPedalboardLeg(), use.keptLeg);
            EXPECT_EQ (first->getChannelSetting(), channel);
            EXPECT_EQ (device().getDriver().getState(), use.mode);

            const auto& entries = controller().getEntries();
            ASSERT_EQ (entries.size(), 1u);
            EXPECT_EQ (entries[0].client, client);
            EXPECT_EQ (entries[0].channel, channel);
            EXPECT_EQ (entries[0].leg, use.leg);
            EXPECT_EQ (controller().isSplit(), channel != ChannelSetting::stereo);

            rig.pedal.clearReceivedMessages();
            first->disconnectUsbClient();
            EXPECT_EQ (rig.pedal.getReceivedMessages(), (std::vector<Bytes> { frame (Sysex::SystemGroup, Sysex::Release) }));
            EXPECT_TRUE (rig.pedal.wasReleased());
            EXPECT_FALSE (device().getDriver().getMidiDevice().isInputOpen() || device().getDriver().getMidiDevice().isOutputOpen());
            EXPECT_EQ (device().getDriver().getState(), Mode::none);
            EXPECT_FALSE (first->getChannelSetting().has_value());
            expectDetached (*first);
            EXPECT_TRUE (controller().getEntries().empty());
            EXPECT_TRUE (rig.releaseRetired());
        }
    }
}

TEST_F (PedalAttachTest, TheReplyOpensSyncsAndRequestsEvenAfterARefusedStateOrAfterARestoredHostStateWritesTheState)
{
    // Another plug-in's state, handed over on either thread, is no host state:
    // the pedal's stored settings are still asked for, never overwritten.
    const auto foreign = StateChunks::chunk (StateChunks::param ("mixWet", "5") + StateChunks::defaultPreset, "Qellion");
    first->setStateInformation (foreign.getData(), (int) foreign.getSize());
    std::thread ([&] { first->setStateInformation (foreign.getData(), (int) foreign.getSize()); }).join();
    deliverPostedMessages();
    ASSERT_TRUE (first->isAwaitingHostState());

    first->setUsbDevice (pedalName, Mode::audio, ChannelSetting::stereo, PedalModeConfig::none);
    rig.pedal.clearReceivedMessages();
    rig.drain();

    const auto opened = frame (Sysex::StateGroup, Sysex::StateOpen), synced = frame (Sysex::StateGroup, Sysex::StateSync);
    EXPECT_EQ (rig.receivedInGroup (Sysex::StateGroup),
               (std::vector<Bytes> { opened, synced, frame (Sysex::StateGroup, Sysex::StateRequest) }));
    EXPECT_EQ (device().getDriver().getState(), Mode::audio);
    EXPECT_TRUE (device().getDriver().isAudioDeviceOpen());
    first->disconnectUsbClient();
    ASSERT_TRUE (rig.releaseRetired());

    set (*first, "mixWet", 90);
    juce::MemoryBlock chunk;
    first->getStateInformation (chunk);
    second->setStateInformation (chunk.getData(), (int) chunk.getSize());
    ASSERT_FALSE (second->isAwaitingHostState());

    second->setUsbDevice (pedalName, Mode::audio, ChannelSetting::stereo, PedalModeConfig::none);
    rig.pedal.clearReceivedMessages();
    rig.drain();

    const auto state = rig.receivedInGroup (Sysex::StateGroup);
    ASSERT_EQ (state.size(), 3u);
    EXPECT_EQ (state[0], opened);
    EXPECT_EQ (state[1], synced);
    EXPECT_EQ (state[2].size(), 33u);
    EXPECT_EQ (state[2][7], (uint8_t) (LinkRig::pedalSlot + 1));
    EXPECT_EQ (state[2][8], Sysex::StateWrite);
    EXPECT_EQ (rig.pedal.countReceived (Sysex::StateGroup, Sysex::StateRequest), 0);
}

//==============================================================================
TEST_F (PedalAttachTest, SwitchingTheChannelKeepsTheClientAndSendsNothing)
{
    attach (*first, Mode::audio, ChannelSetting::stereo);
    auto* client = first->getUsbClient();

    first->setUsbDevice (pedalName, Mode::audio, ChannelSetting::monoRight, PedalModeConfig::none);

    EXPECT_EQ (first->getUsbClient(), client);
    EXPECT_EQ (first->getChannelSetting(), ChannelSetting::monoRight);
    ASSERT_EQ (controller().getEntries().size(), 1u);
    EXPECT_EQ (controller().getEntries()[0].channel, ChannelSetting::monoRight);
    EXPECT_TRUE (controller().isSplit());
    EXPECT_TRUE (rig.receivedInGroup (Sysex::SystemGroup).empty());
}

//==============================================================================
// Instances that join a pedal whose audio runs only get a client: nothing is sent
// and the link stays open until the last one leaves; the latest attach sets the split.
TEST_F (PedalAttachTest, TwoInstancesShareThePedalAndTheLastToLeaveReleasesIt)
{
    attach (*first, Mode::audio, ChannelSetting::monoLeft);
    ASSERT_TRUE (device().getDriver().isAudioDeviceOpen());

    second->setUsbDevice (pedalName, Mode::control, ChannelSetting::monoRight, PedalModeConfig::out);
    rig.drain();
    EXPECT_TRUE (rig.pedal.getReceivedMessages().empty());
    EXPECT_EQ (second->getDevice(), &device());
    EXPECT_EQ (second->getUsbClient()->getPedalboardLeg(), PedalModeConfig::none);
    EXPECT_EQ (device().getDriver().getState(), Mode::audio);

    const auto& entries = controller().getEntries();
    ASSERT_EQ (entries.size(), 2u);
    EXPECT_EQ (entries[0].client, first->getUsbClient());
    EXPECT_EQ (entries[0].channel, ChannelSetting::monoLeft);
    EXPECT_EQ (entries[1].client, second->getUsbClient());
    EXPECT_EQ (entries[1].channel, ChannelSetting::monoRight);
    EXPECT_EQ (entries[1].leg, PedalModeConfig::out);
    EXPECT_TRUE (controller().isSplit());

    first->disconnectUsbClient();
    ASSERT_EQ (controller().getEntries().size(), 1u);
    EXPECT_EQ (controller().getEntries()[0].client, second->getUsbClient());
    EXPECT_TRUE (rig.pedal.getReceivedMessages().empty());
    EXPECT_TRUE (device().getDriver().isAudioDeviceOpen());

    attach (*first, Mode::audio, ChannelSetting::stereo);
    EXPECT_FALSE (controller().isSplit());
    EXPECT_TRUE (rig.pedal.getReceivedMessages().empty());

    // Destroying the last attached processor releases the pedal.
    first->disconnectUsbClient();
    second.reset();
    EXPECT_EQ (rig.pedal.countReceived (Sysex::SystemGroup, Sysex::Release), 1);
    EXPECT_FALSE (device().getDriver().getMidiDevice().isInputOpen());
    EXPECT_EQ (device().getNumClients(), 0);
}

//==============================================================================
TEST_F (PedalAttachTest, LevelsGoUnderTheirOwnOrThePairsControllerBypassAsASwitchAndTheMixNot)
{
    attach (*first, Mode::audio, ChannelSetting::stereo);
    ASSERT_FALSE (first->isPresetModified());

    set (*first, "mixWet", 90);
    EXPECT_TRUE (rig.pedal.getReceivedMessages().empty());
    EXPECT_TRUE (first->isPresetModified());

    setQuietly ("adcLink", 1);
    set (*first, "adcL", 80);
    const auto linked = controlFrames();
    ASSERT_FALSE (linked.empty());
    for (const auto& f : linked)
        EXPECT_EQ (f, controlChange (0x69, 0x50));

    setQuietly ("adcLink", 0);
    set (*first, "adcL", 81);
    EXPECT_EQ (controlFrames(), (std::vector<Bytes> { controlChange (0x6A, 0x51) }));

    setQuietly ("bypass", 0);
    set (*first, "bypass", 1);
    set (*first, "bypass", 0);
    EXPECT_EQ (controlFrames(), (std::vector<Bytes> { controlChange (0x6E, 0x40), controlChange (0x6E, 0x00) }));
}

// The levels of the side a mono use leaves idle are neither sent nor an edit.
TEST_F (PedalAttachTest, MonoUseIgnoresTheIdleSideAndSendsTheOther)
{
    const struct { ChannelSetting channel; const char* idle[2]; const char* used; uint8_t controller, value; } cases[] = {
        { ChannelSetting::monoLeft, { "adcR", "dacR" }, "adcL", 0x6A, 80 },
        { ChannelSetting::monoRight, { "adcL", "dacL" }, "dacR", 0x72, 90 },
    };

    for (const auto& c : cases)
    {
        SCOPED_TRACE (toInt (c.channel));
        // Unlinked and unedited beforehand, so attaching is no edit either.
        set (*first, "adcLink", 0);
        set (*first, "dacLink", 0);
        first->setProgram (0);
        attach (*first, Mode::audio, c.channel);
        ASSERT_FALSE (first->isPresetModified());

        for (auto* idle : c.idle)
            set (*first, idle, c.value);
        EXPECT_TRUE (controlFrames().empty());
        EXPECT_FALSE (first->isPresetModified());

        set (*first, c.used, c.value);
        EXPECT_EQ (controlFrames(), (std::vector<Bytes> { controlChange (c.controller, c.value) }));
        EXPECT_TRUE (first->isPresetModified());

        first->disconnectUsbClient();
        EXPECT_TRUE (rig.releaseRetired());
    }
}

//==============================================================================
TEST_F (PedalAttachTest, IncomingPairsSetLevelsApartOrTogetherAndOnlyFromItsSlot)
{
    attach (*first, Mode::audio, ChannelSetting::stereo);

    for (int link : { 0, 1 })
    {
        SCOPED_TRACE (link);
        setQuietly ("adcLink", link);
        ASSERT_TRUE (rig.pedal.sendControlChanges ({ { 0x6A, 0x20 }, { 0x6B, 0x30 } }));
        rig.drain();

        EXPECT_EQ (valueOf (*first, "adcL"), link ? 48 : 32);
        EXPECT_EQ (valueOf (*first, "adcR"), 48);
        EXPECT_EQ (rig.pedal.countReceived (Sysex::ControlGroup, Sysex::ControlChange), 0);
    }

    set (*first, "adcLink", 0);
    rig.pedal.setSlot (LinkRig::pedalSlot + 3);
    ASSERT_TRUE (rig.pedal.sendControlChanges ({ { 0x6A, 0x20 } }));
    rig.drain();
    EXPECT_EQ (valueOf (*first, "adcL"), 48);
}

TEST_F (PedalAttachTest, APresetDumpBecomesTheFirstProgramWithItsFlagsUntilProgramChangeZero)
{
    attach (*first, Mode::audio, ChannelSetting::stereo);
    setQuietly ("adcLink", 0);

    EmulatedPedal::Record record {};
    record[PRESET::adcLOffset] = 0x11;
    record[PRESET::adcROffset] = 0x12;
    record[PRESET::flagsOffset] = 0x03;
    ASSERT_TRUE (rig.pedal.sendPresetDump (0x0A, record));
    rig.drain();

    EXPECT_EQ (first->getCurrentProgram(), 0);
    EXPECT_TRUE (first->isPresetModified());
    EXPECT_EQ (valueOf (*first, "bypass"), 1);
    EXPECT_EQ (valueOf (*first, "adcL"), 0x11);
    EXPECT_EQ (valueOf (*first, "adcR"), 0x12);

    ASSERT_TRUE (rig.pedal.sendProgramChange (0));
    rig.drain();
    EXPECT_EQ (first->getCurrentProgram(), 0);
    EXPECT_FALSE (first->isPresetModified());
    EXPECT_TRUE (rig.pedal.getReceivedMessages().empty());
}

TEST_F (PedalAttachTest, AStateDumpChangesOnlyTheDefaultPresetAndAShortOneNothing)
{
    attach (*first, Mode::audio, ChannelSetting::stereo);
    setQuietly ("adcLink", 0);
    const int adcL = valueOf (*first, "adcL");
    const int bypass = valueOf (*first, "bypass");
    const bool modified = first->isPresetModified();

    EmulatedPedal::Bytes shortRecord (22, 0x11);
    shortRecord[21] = 0x03;
    ASSERT_TRUE (rig.pedal.sendFrame (Sysex::StateGroup, 0x5A, shortRecord));
    ASSERT_TRUE (rig.pedal.sendFrame (Sysex::StateGroup, Sysex::StateDump, shortRecord));
    rig.drain();
    EXPECT_EQ (valueOf (*first, "bypass"), bypass);
    EXPECT_NE (first->getDefaultPreset().getValue (PresetFormat::adcLKey()), 0x11);

    EmulatedPedal::Record record {};
    record[PRESET::adcLOffset] = 0x11;
    record[PRESET::dacROffset] = 0x22;
    ASSERT_TRUE (rig.pedal.sendStateDump (record));
    rig.drain();

    EXPECT_EQ (first->getDefaultPreset().getValue (PresetFormat::adcLKey()), 0x11);
    EXPECT_EQ (first->getDefaultPreset().getValue (PresetFormat::dacRKey()), 0x22);
    EXPECT_EQ (valueOf (*first, "adcL"), adcL);
    EXPECT_EQ (first->isPresetModified(), modified);
    EXPECT_EQ (first->getCurrentProgram(), 0);
    EXPECT_TRUE (rig.pedal.getReceivedMessages().empty());
}

//==============================================================================
// However the link drops, every instance lets go of the pedal (whose objects are
// deleted once no audio thread can reach them) and can attach afresh.
TEST_F (PedalAttachTest, WhenTheLinkDropsEveryInstanceLetsGo)
{
    const struct { const char* what; std::function<void()> drop; } cases[] = {
        { "unplugged", [this] { rig.unplugAndScan(); } },
        { "silent", [this] { rig.pedal.setHeartbeat (false); rig.tick (UsbDeviceDriver::watchdogReload); } },
        { "ModeOff", [this] { ASSERT_TRUE (rig.pedal.sendModeOff()); rig.drain(); } },
    };

    for (const auto& c : cases)
    {
        SCOPED_TRACE (c.what);
        rig.pedal.setHeartbeat (true);
        attach (*first, Mode::audio, ChannelSetting::monoLeft);
        attach (*second, Mode::audio, ChannelSetting::monoRight);
        ASSERT_TRUE (rig.pedal.sendLedState (0x02));
        rig.drain();
        ASSERT_EQ (first->getLedState(), 2);

        c.drop();

        expectDetached (*first);
        expectDetached (*second);
        EXPECT_EQ (first->getLedState(), 0);
        first->disconnectUsbClient();
        EXPECT_TRUE (rig.releaseRetired());

        if (rig.findDevice() == nullptr)
            rig.plugInAndScan();

        EXPECT_EQ (device().getNumClients(), 0);
        EXPECT_FALSE (device().getDriver().isAudioDeviceOpen());
        attach (*first, Mode::audio, ChannelSetting::stereo);
        EXPECT_EQ (device().getDriver().getState(), Mode::audio);
        first->disconnectUsbClient();
    }
}
} // namespace
