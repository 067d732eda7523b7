#include "Components/Menus/DeviceMenuBuilder.h"
#include "LookAndFeel/SpecialFonts.h"
#include "Support/EditorRig.h"
#include "Support/MenuReading.h"

#include <gtest/gtest.h>
#include <optional>
#include <vector>

namespace
{
const juce::String secondPedal ("QZR-3C4D");

// An attachment: which pedal (0 or 1, in the menu's order), use, channel setting, leg.
struct Hold
{
    int pedal;
    Mode mode;
    ChannelSetting channel;
    PedalModeConfig leg = PedalModeConfig::none;
};

constexpr auto control = Mode::control, audio = Mode::audio, pedalboard = Mode::pedalboard;
constexpr auto L = ChannelSetting::monoLeft, R = ChannelSetting::monoRight, S = ChannelSetting::stereo;
constexpr auto in = PedalModeConfig::in, out = PedalModeConfig::out;

// Instances on the rig's two pedals; this one has an editor and host buses as given.
class DeviceMenuTest : public ::testing::Test
{
protected:
    DeviceMenuTest()
    {
        second.plugIn();
        rig.getManager().scanForDevices();
    }

    ~DeviceMenuTest() override { release(); }

    void makeMine (int hostInputs, int hostOutputs)
    {
        mine = makeProcessor();
        juce::AudioProcessor::BusesLayout layout;
        layout.inputBuses.add (juce::AudioChannelSet::canonicalChannelSet (hostInputs));
        layout.outputBuses.add (juce::AudioChannelSet::canonicalChannelSet (hostOutputs));
        ASSERT_TRUE (mine->setBusesLayout (layout));
        editor = std::make_unique<OpenEditor> (*mine);
    }

    void attach (VelmoraAudioProcessor& processor, const Hold& hold)
    {
        processor.setUsbDevice (hold.pedal == 0 ? LinkRig::pedalName : secondPedal, hold.mode, hold.channel, hold.leg);
        rig.drain();
    }

    // The device menu as this instance's editor would show it now.
    juce::PopupMenu deviceMenu() { return DeviceMenuBuilder (styles.deviceList, styles.menu).build ((*editor)->getPedalsView()); }

    void release()
    {
        editor.reset();
        others.clear();
        mine.reset();
        rig.releaseRetired();
    }

    LinkRig rig;
    EmulatedPedal second { rig.ports, rig.audioTypes, secondPedal, 0x16 };
    std::vector<std::unique_ptr<VelmoraAudioProcessor>> others;
    std::unique_ptr<VelmoraAudioProcessor> mine;
    std::unique_ptr<OpenEditor> editor;
    MenuStyles styles;
};
} // namespace

// Which entries of the first pedal's block may be chosen and which are ticked,
// for what this instance and the others hold, and the host's buses.
TEST_F (DeviceMenuTest, EntriesAreEnabledAndTickedByWhatEveryInstanceHolds)
{
    struct Row
    {
        const char* what;
        std::vector<Hold> others;
        std::optional<Hold> mine;
        int hostIn, hostOut;
        const char *clickable, *ticked, *submenus;
        bool mineFirst = false; // this instance attaches before the others
        bool flashing = false;  // some instance is flashing the pedal
    };

    const char* const allButOut = "AS AL AR CS CL CR IS IL IR";
    const char* const monoIn = "AL AR CL CR IS IL IR";
    const char* const allButOutMenus = "Audio Control Pedalboard IN";
    const Row rows[] = {
        { "a free pedal", {}, {}, 2, 2, allButOut, "", allButOutMenus },
        { "a free pedal, mono host input", {}, {}, 1, 2, monoIn, "", allButOutMenus },
        { "mine alone, Audio Mono-L", {}, Hold { 0, audio, L }, 2, 2, allButOut, "AL", allButOutMenus },
        { "mine alone, Control Stereo", {}, Hold { 0, control, S }, 2, 2, allButOut, "CS", allButOutMenus },
        { "mine alone, Control Stereo, mono host input", {}, Hold { 0, control, S }, 1, 2, monoIn, "CS", allButOutMenus },
        { "mine alone, IN Stereo", {}, Hold { 0, pedalboard, S, in }, 2, 2, allButOut, "IS", allButOutMenus },
        { "another on Audio Mono-R", { { 0, audio, R } }, {}, 1, 2, "AL", "", "Audio" },
        { "others on Audio Mono-L and Mono-R", { { 0, audio, L }, { 0, audio, R } }, {}, 2, 2, "AL AR", "", "Audio" },
        { "another on Control Stereo", { { 0, control, S } }, {}, 2, 2, "", "", "" },
        { "another on IN Stereo", { { 0, pedalboard, S, in } }, {}, 2, 2, "OS OL OR", "", "Pedalboard OUT" },
        { "another on IN Stereo, mono host output", { { 0, pedalboard, S, in } }, {}, 2, 1, "OL OR", "", "Pedalboard OUT" },
        { "another on IN Mono-L", { { 0, pedalboard, L, in } }, {}, 2, 2, "IR OS OL OR", "", "Pedalboard IN OUT" },
        { "another on OUT Mono-L alone", { { 0, pedalboard, L, out } }, {}, 2, 2, "OR", "", "Pedalboard OUT" },
        { "another on IN Stereo, mine OUT Mono-R", { { 0, pedalboard, S, in } }, Hold { 0, pedalboard, R, out }, 2, 2, "OS OL OR", "OR", "Pedalboard OUT" },
        { "another on IN Stereo, mine OUT of the other pedal", { { 0, pedalboard, S, in } }, Hold { 1, pedalboard, S, out }, 2, 2, "", "", "" },
        // Shared, this instance may only pick its own entry again, not the free channel beside another.
        { "mine Audio Mono-L beside another on Audio Mono-R", { { 0, audio, R } }, Hold { 0, audio, L }, 2, 2, "AL", "AL", "Audio" },
        { "another on OUT Mono-R alone", { { 0, pedalboard, R, out } }, {}, 2, 2, "OL OR", "", "Pedalboard OUT" },
        // The latest attach was stereo, so the pedal is not split: the OUT mono entry is no longer ticked.
        { "mine OUT Mono-R, then another on IN Stereo", { { 0, pedalboard, S, in } }, Hold { 0, pedalboard, R, out }, 2, 2, "OS OL OR", "", "Pedalboard OUT", true },
        // A pedal being flashed offers nothing, not even "Disconnect", until it is back.
        { "a free pedal being flashed", {}, {}, 2, 2, "", "", "", false, true },
        { "mine alone, Audio Mono-L, being flashed", {}, Hold { 0, audio, L }, 2, 2, "", "AL", "", false, true },
    };

    for (const auto& row : rows)
    {
        SCOPED_TRACE (row.what);
        release(); // the row before
        ASSERT_NO_FATAL_FAILURE (makeMine (row.hostIn, row.hostOut));
        if (row.mine && row.mineFirst)
            attach (*mine, *row.mine);
        for (const auto& hold : row.others)
            attach (*others.emplace_back (makeProcessor()), hold);
        if (row.mine && ! row.mineFirst)
            attach (*mine, *row.mine);

        const auto claim = row.flashing ? rig.getManager().getFlashes().claim (LinkRig::pedalName) : nullptr;

        const auto view = (*editor)->getPedalsView();
        const auto menu = DeviceMenuBuilder (styles.deviceList, styles.menu).build (view);
        const auto block = readDeviceBlock (menu, 0);
        EXPECT_EQ (view.getNames(), juce::StringArray (LinkRig::pedalName, secondPedal));
        EXPECT_EQ (block.clickable, row.clickable);
        EXPECT_EQ (block.ticked, row.ticked);
        EXPECT_EQ (block.submenus, row.submenus);
        EXPECT_EQ (block.disconnectClickable, ! row.flashing);
        EXPECT_TRUE (readDeviceBlock (menu, 1).disconnectClickable) << "the other pedal is not being flashed";

        // The header names the pedal, in SemiBold when it is this instance's.
        ASSERT_NE (block.header, nullptr);
        EXPECT_EQ (block.header->getName(), LinkRig::pedalName);
        const auto& font = row.mine && row.mine->pedal == 0 ? getFiraSansSemiBoldFont() : getFiraSansLightItalicFont();
        EXPECT_EQ (block.header->font.getTypefaceStyle(), font.getTypefaceStyle());
        EXPECT_FLOAT_EQ (block.header->font.getHeight(), 18.0f);

        // The rules over the pedal's use agree with the menu; ids of no entry are never clickable.
        const auto& use = view.pedals.front().use;
        EXPECT_EQ (DeviceMenuRules::isClickable (use, PEDALBOARD_IN_MONO_R), block.clickable.find ("IR") != std::string::npos);
        EXPECT_EQ (DeviceMenuRules::isSubMenuClickable (use, SUBMENU_AUDIO), block.submenus.find ("Audio") != std::string::npos);
        EXPECT_FALSE (DeviceMenuRules::isClickable (use, (MENU_DEVICE_OPTIONS) 4));
        EXPECT_TRUE (DeviceMenuRules::isSubMenuClickable (use, (SUBMENU_OPTIONS) 7));
    }
}

TEST_F (DeviceMenuTest, EachPedalHasItsBlockOfIdsAndTheNamesFollowTheMenu)
{
    ASSERT_NO_FATAL_FAILURE (makeMine (2, 2));
    const std::map<std::string, int> firstIds { { "AS", 1022 }, { "AL", 1020 }, { "AR", 1021 }, { "CS", 1012 },
                                                { "CL", 1010 }, { "CR", 1011 }, { "IS", 1032 }, { "IL", 1030 },
                                                { "IR", 1031 }, { "OS", 5032 }, { "OL", 5030 }, { "OR", 5031 } };
    {
        const auto menu = deviceMenu();
        EXPECT_EQ ((*editor)->getPedalsView().getNames(), juce::StringArray (LinkRig::pedalName, secondPedal));
        EXPECT_EQ (readDeviceBlock (menu, 0).ids, firstIds);
        for (const auto& [code, id] : firstIds)
            EXPECT_EQ (readDeviceBlock (menu, 1).ids.at (code), id + 100) << code;
    }

    // The ids hold ten pedals: an eleventh is not listed, as its ids would be taken for other entries.
    std::vector<std::unique_ptr<EmulatedPedal>> more;
    for (int i = 0; i < 9; ++i)
        more.emplace_back (std::make_unique<EmulatedPedal> (rig.ports, rig.audioTypes, "QZR-F00" + juce::String (i), 0x20 + i))->plugIn();
    rig.getManager().scanForDevices();
    ASSERT_EQ (rig.getManager().getNumDevices(), 11);
    {
        const auto full = deviceMenu();
        EXPECT_EQ ((*editor)->getPedalsView().getNames().size(), 10);
        EXPECT_EQ (readDeviceBlock (full, 9).ids.at ("OR"), 5931);
        EXPECT_EQ (readDeviceBlock (full, 10).header, nullptr);
    }
    release(); // before the pedals it lists
}

// "Bootable device" with "Update Firmware..." for an instance without a pedal only.
TEST_F (DeviceMenuTest, TheBootloaderIsOfferedOnlyToAnInstanceWithoutAPedal)
{
    second.unplug();
    rig.unplugAndScan();
    ASSERT_NO_FATAL_FAILURE (makeMine (2, 2));
    EXPECT_EQ (deviceMenu().getNumItems(), 0);

    rig.pedal.publishBootloader (UsbBootDevice::pedalBootloaderName);
    juce::SharedResourcePointer<UsbBaseDeviceManager<UsbBootDevice>>()->scanForDevices();
    const auto menu = deviceMenu();
    ASSERT_EQ (menu.getNumItems(), 2);

    juce::PopupMenu::MenuItemIterator it (menu);
    it.next();
    auto* header = dynamic_cast<PopupMenuHeaderItemComponent*> (it.getItem().customComponent.get());
    ASSERT_NE (header, nullptr);
    EXPECT_EQ (header->getName(), "Bootable device");
    EXPECT_EQ (it.getItem().itemID, MENU_ID_SEPARATOR);
    it.next();
    auto* row = dynamic_cast<PopupMenuTextItemComponent*> (it.getItem().customComponent.get());
    ASSERT_NE (row, nullptr);
    EXPECT_EQ (it.getItem().itemID, MENU_ID_UPDATE_FIRMWARE);
    EXPECT_TRUE (row->text == "Update Firmware..." && row->clickable && row->idealWidth == 120);

    rig.plugInAndScan();
    attach (*mine, { 0, audio, S });
    const auto attached = deviceMenu();
    for (juce::PopupMenu::MenuItemIterator item (attached); item.next();)
        EXPECT_NE (item.getItem().itemID, MENU_ID_UPDATE_FIRMWARE);
    rig.pedal.withdrawBootloader();
}
