#include "LookAndFeel/SpecialFonts.h"
#include "Support/EditorRig.h"

#include <gtest/gtest.h>
#include <optional>
#include <vector>

namespace
{
const juce::String firstPedal (LinkRig::pedalName);
const juce::String secondPedal ("QZR-3C4D");

// An attachment: which pedal (0 or 1, the menu's order), use, channel setting, leg.
struct Hold
{
    int pedal, mode, channel, leg = pedalboardNone;
};

// Several instances on the rig's pedals, this one with an editor.
class DeviceMenuTest : public ::testing::Test
{
protected:
    DeviceMenuTest()
    {
        second.plugIn();
        rig.getManager().scanForDevices();
    }

    ~DeviceMenuTest() override
    {
        editor.reset();
        others.clear();
        mine.reset();
    }

    // This instance, its host's main buses as given, with its editor opened after.
    void makeMine (int hostInputs, int hostOutputs)
    {
        editor.reset();
        mine = makeProcessor();
        juce::AudioProcessor::BusesLayout layout;
        layout.inputBuses.add (juce::AudioChannelSet::canonicalChannelSet (hostInputs));
        layout.outputBuses.add (juce::AudioChannelSet::canonicalChannelSet (hostOutputs));
        ASSERT_TRUE (mine->setBusesLayout (layout));
        editor = std::make_unique<OpenEditor> (*mine);
    }

    void attach (VelmoraAudioProcessor& processor, const Hold& hold)
    {
        processor.setUsbDevice (hold.pedal == 0 ? firstPedal : secondPedal, hold.mode, hold.channel, hold.leg);
        rig.drain();
        if (auto* other = rig.getManager().findDevice (secondPedal))
            other->getMidiDevice().deliverWaitingMessages();
    }

    LinkRig rig;
    EmulatedPedal second { rig.ports, rig.audioTypes, secondPedal, 0x16 };
    std::vector<std::unique_ptr<VelmoraAudioProcessor>> others;
    std::unique_ptr<VelmoraAudioProcessor> mine;
    std::unique_ptr<OpenEditor> editor;
};
} // namespace

// Which entries of the first pedal's block may be chosen and which are ticked,
// for what this instance and others hold.
TEST_F (DeviceMenuTest, EntriesAreEnabledAndTickedByWhatEveryInstanceHolds)
{
    struct Row
    {
        const char* what;
        std::vector<Hold> others;
        std::optional<Hold> mine;
        int hostIn, hostOut;
        const char *clickable, *ticked, *submenus;
    };

    const char* const everyNonOut = "AS AL AR CS CL CR IS IL IR";
    const Row rows[] = {
        { "a free pedal", {}, {}, 2, 2, everyNonOut, "", "Audio Control Pedalboard IN" },
        { "a free pedal, mono host input", {}, {}, 1, 2, "AL AR CL CR IS IL IR", "", "Audio Control Pedalboard IN" },
        { "mine alone, Audio Mono-L", {}, Hold { 0, 2, 0 }, 2, 2, everyNonOut, "AL", "Audio Control Pedalboard IN" },
        { "mine alone, Control Stereo", {}, Hold { 0, 1, 2 }, 2, 2, everyNonOut, "CS", "Audio Control Pedalboard IN" },
        { "mine alone, Control Stereo, mono host input", {}, Hold { 0, 1, 2 }, 1, 2, "AL AR CL CR IS IL IR", "CS",
          "Audio Control Pedalboard IN" },
        { "mine alone, IN Stereo", {}, Hold { 0, 3, 2, 0 }, 2, 2, everyNonOut, "IS", "Audio Control Pedalboard IN" },
        { "another on Audio Mono-R", { { 0, 2, 1 } }, {}, 2, 2, "AL", "", "Audio" },
        { "another on Audio Mono-R, mono host input", { { 0, 2, 1 } }, {}, 1, 2, "AL", "", "Audio" },
        { "others on Audio Mono-L and Mono-R", { { 0, 2, 0 }, { 0, 2, 1 } }, {}, 2, 2, "AL AR", "", "Audio" },
        { "another on Control Stereo", { { 0, 1, 2 } }, {}, 2, 2, "", "", "" },
        { "another on IN Stereo", { { 0, 3, 2, 0 } }, {}, 2, 2, "OS OL OR", "", "Pedalboard OUT" },
        { "another on IN Stereo, mono host output", { { 0, 3, 2, 0 } }, {}, 2, 1, "OL OR", "", "Pedalboard OUT" },
        { "another on IN Mono-L", { { 0, 3, 0, 0 } }, {}, 2, 2, "IR OS OL OR", "", "Pedalboard IN OUT" },
        { "another on OUT Mono-L alone", { { 0, 3, 0, 1 } }, {}, 2, 2, "OR", "", "Pedalboard OUT" },
        { "another on IN Stereo, mine OUT Mono-R", { { 0, 3, 2, 0 } }, Hold { 0, 3, 1, 1 }, 2, 2, "OS OL OR", "OR",
          "Pedalboard OUT" },
        { "another on IN Stereo, mine the OUT leg of the other pedal", { { 0, 3, 2, 0 } }, Hold { 1, 3, 2, 1 }, 2, 2, "", "", "" },
    };

    // Codes in menu order, whatever order the row lists them in.
    const auto inMenuOrder = [] (const std::string& codes)
    {
        std::string ordered;
        for (auto* code : { "AS", "AL", "AR", "CS", "CL", "CR", "IS", "IL", "IR", "OS", "OL", "OR" })
            if ((" " + codes + " ").find (std::string (" ") + code + " ") != std::string::npos)
                ordered += (ordered.empty() ? "" : " ") + std::string (code);
        return ordered;
    };

    for (const auto& row : rows)
    {
        SCOPED_TRACE (row.what);
        others.clear();
        makeMine (row.hostIn, row.hostOut);

        for (const auto& hold : row.others)
        {
            others.push_back (makeProcessor());
            attach (*others.back(), hold);
        }
        if (row.mine)
            attach (*mine, *row.mine);

        juce::StringArray names;
        const auto block = readDeviceBlock ((*editor)->getDeviceMenu (names), 0);

        EXPECT_EQ (names, juce::StringArray (firstPedal, secondPedal));
        EXPECT_EQ (block.header, firstPedal);
        EXPECT_EQ (block.clickable, inMenuOrder (row.clickable));
        EXPECT_EQ (block.ticked, row.ticked);
        EXPECT_EQ (block.submenus, row.submenus);
        EXPECT_TRUE (block.disconnectClickable);

        const bool mineHere = row.mine && row.mine->pedal == 0;
        const auto& expectedFont = mineHere ? getFiraSansSemiBoldFont() : getFiraSansLightItalicFont();
        EXPECT_EQ (block.headerFont.getTypefaceName(), expectedFont.getTypefaceName());
        EXPECT_EQ (block.headerFont.getTypefaceStyle(), expectedFont.getTypefaceStyle());
        EXPECT_FLOAT_EQ (block.headerFont.getHeight(), 18.0f);

        // The editor's own answers agree with its menu.
        auto* pedal = rig.findDevice();
        EXPECT_EQ ((*editor)->getOptionClickable (pedal, PEDALBOARD_IN_MONO_R), block.clickable.find ("IR") != std::string::npos);
        EXPECT_EQ ((*editor)->getSubMenuClickable (pedal, SUBMENU_AUDIO), block.submenus.find ("Audio") != std::string::npos);
        EXPECT_FALSE ((*editor)->getOptionClickable (pedal, (MENU_DEVICE_OPTIONS) 4));
        EXPECT_TRUE ((*editor)->getSubMenuClickable (pedal, (SUBMENU_OPTIONS) 7));

        editor.reset();
        others.clear();
        mine.reset();
        rig.releaseRetired();
    }
}

TEST_F (DeviceMenuTest, EachPedalHasItsBlockOfIdsAndTheMenuNamesThemInOrder)
{
    makeMine (2, 2);
    juce::StringArray names { "kept" };
    const auto menu = (*editor)->getDeviceMenu (names);
    EXPECT_EQ (names, juce::StringArray ("kept", firstPedal, secondPedal)); // only appended to

    const auto first = readDeviceBlock (menu, 0);
    const auto next = readDeviceBlock (menu, 1);
    EXPECT_EQ (next.header, secondPedal);

    const std::map<std::string, int> firstIds { { "AS", 1022 }, { "AL", 1020 }, { "AR", 1021 }, { "CS", 1012 },
                                                { "CL", 1010 }, { "CR", 1011 }, { "IS", 1032 }, { "IL", 1030 },
                                                { "IR", 1031 }, { "OS", 5032 }, { "OL", 5030 }, { "OR", 5031 } };
    EXPECT_EQ (first.ids, firstIds);
    for (const auto& [code, id] : firstIds)
        EXPECT_EQ (next.ids.at (code), id + 100) << code;
}

TEST_F (DeviceMenuTest, TheBootloaderIsOfferedOnlyToAnInstanceWithoutAPedal)
{
    second.unplug();
    rig.unplugAndScan();
    makeMine (2, 2);

    juce::StringArray names;
    EXPECT_EQ ((*editor)->getDeviceMenu (names).getNumItems(), 0);
    EXPECT_TRUE (names.isEmpty());

    rig.pedal.publishBootloader (UsbBootDevice::pedalBootloaderName);
    (*editor)->bootDeviceManager->scanForDevices();

    const auto menu = (*editor)->getDeviceMenu (names);
    ASSERT_EQ (menu.getNumItems(), 2);
    juce::PopupMenu::MenuItemIterator it (menu);
    ASSERT_TRUE (it.next());
    EXPECT_EQ (it.getItem().itemID, MENU_ID_SEPARATOR);
    auto* header = dynamic_cast<PopupMenuHeaderItemComponent*> (it.getItem().customComponent.get());
    ASSERT_NE (header, nullptr);
    EXPECT_EQ (header->getName(), "Bootable device");
    ASSERT_TRUE (it.next());
    EXPECT_EQ (it.getItem().itemID, MENU_ID_UPDATE_FIRMWARE);
    auto* row = dynamic_cast<PopupMenuTextItemComponent*> (it.getItem().customComponent.get());
    ASSERT_NE (row, nullptr);
    EXPECT_EQ (row->text, "Update Firmware...");
    EXPECT_TRUE (row->clickable);
    int width = 0, height = 0;
    row->getIdealSize (width, height);
    EXPECT_EQ (width, 120);

    // Attached to a pedal, the instance is not offered the bootloader.
    rig.plugInAndScan();
    attach (*mine, { 0, 2, 2 });
    names.clear();
    const auto attached = (*editor)->getDeviceMenu (names);
    for (juce::PopupMenu::MenuItemIterator item (attached); item.next();)
        EXPECT_NE (item.getItem().itemID, MENU_ID_UPDATE_FIRMWARE);
    rig.pedal.withdrawBootloader();
}
