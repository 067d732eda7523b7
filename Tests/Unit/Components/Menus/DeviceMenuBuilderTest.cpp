#include "Components/Images.h"
#include "Components/Menus/DeviceMenuBuilder.h"
#include "LookAndFeel/SpecialFonts.h"
#include "Support/MenuReading.h"

#include <gtest/gtest.h>

namespace
{
const juce::String firstPedal ("QZR-1A2B");
const juce::String secondPedal ("QZR-3C4D");

// A menu as nested text: "#name" for a header, "id:text/width" for a row with
// " (off)" when it cannot be chosen and " (ticked)", a submenu as "text [...]"
// with " (off)" when disabled, "-" for a separator.
std::string outline (const juce::PopupMenu& menu)
{
    std::string text;
    for (juce::PopupMenu::MenuItemIterator it (menu); it.next();)
    {
        const auto& item = it.getItem();
        std::string entry;
        if (item.isSeparator)
            entry = "-";
        else if (auto* header = dynamic_cast<PopupMenuHeaderItemComponent*> (item.customComponent.get()))
            entry = std::to_string (item.itemID) + "#" + header->getName().toStdString();
        else if (auto* row = dynamic_cast<PopupMenuTextItemComponent*> (item.customComponent.get()))
            entry = std::to_string (item.itemID) + ":" + row->text.toStdString() + "/" + std::to_string (row->idealWidth)
                    + (row->clickable ? "" : " (off)") + (row->ticked ? " (ticked)" : "");
        else if (item.subMenu != nullptr)
            entry = item.text.toStdString() + (item.isEnabled ? "" : " (off)") + " [" + outline (*item.subMenu) + "]";
        else
            entry = "?" + item.text.toStdString();
        text += (text.empty() ? "" : " | ") + entry;
    }
    return text;
}

// Every submenu carries the tick picture, and so does every row.
void expectTickPictures (const juce::PopupMenu& menu, const juce::Image& tick)
{
    for (juce::PopupMenu::MenuItemIterator it (menu); it.next();)
    {
        const auto& item = it.getItem();
        if (auto* row = dynamic_cast<PopupMenuTextItemComponent*> (item.customComponent.get()))
        {
            EXPECT_EQ (row->icon, tick) << row->text;
        }
        if (item.subMenu == nullptr)
            continue;
        auto* icon = dynamic_cast<juce::DrawableImage*> (item.image.get());
        ASSERT_NE (icon, nullptr) << item.text;
        EXPECT_EQ (icon->getImage(), tick) << item.text;
        expectTickPictures (*item.subMenu, tick);
    }
}

struct DeviceMenuBuilderTest : ::testing::Test
{
    juce::PopupMenu build (const PedalsView& view) { return DeviceMenuBuilder (styles.deviceList, styles.menu).build (view); }

    MenuStyles styles;
};
} // namespace

TEST_F (DeviceMenuBuilderTest, NoPedalAndNoBootloaderGiveAnEmptyMenu)
{
    EXPECT_EQ (build ({}).getNumItems(), 0);

    PedalsView attached;
    attached.attached = PedalsView::Attached { firstPedal, 0x010203, Mode::audio };
    attached.bootloaderListed = true;
    EXPECT_EQ (build (attached).getNumItems(), 0) << "a held pedal that is not listed, and a bootloader not offered";
}

// Each pedal's block: its header, the uses with their channel choices and ids,
// "Disconnect" and a separator; the header is SemiBold for this instance's pedal.
TEST_F (DeviceMenuBuilderTest, EachPedalHasItsBlockInTheListsOrder)
{
    PedalsView view;
    PedalUse mine;
    mine.mine = true;
    mine.clients = 1;
    mine.mode = Mode::audio;
    mine.inMask = mine.outMask = 3;
    mine.channel = ChannelSetting::stereo;
    view.pedals = { { firstPedal, {} }, { secondPedal, mine } };
    const auto menu = build (view);

    const auto block = [] (int k, const char* name, const char* audioTick)
    {
        const auto id = [k] (int base) { return std::to_string (base + 100 * k); };
        return std::string ("9999#") + name + " | Audio [" + id (1022) + ":Stereo/80" + audioTick + " | " + id (1020)
               + ":Mono-L/80 | " + id (1021) + ":Mono-R/80] | Control [" + id (1012) + ":Stereo/80 | " + id (1010)
               + ":Mono-L/80 | " + id (1011) + ":Mono-R/80] | Pedalboard [IN [" + id (1032) + ":Stereo/80 | " + id (1030)
               + ":L (Mono)/80 | " + id (1031) + ":R/80] | OUT (off) [" + id (5032) + ":Stereo/95 (off) | " + id (5030)
               + ":Mono-L/95 (off) | " + id (5031) + ":Mono-R/95 (off)]] | 7777:Disconnect/95 | -";
    };
    EXPECT_EQ (outline (menu), block (0, "QZR-1A2B", "") + " | " + block (1, "QZR-3C4D", " (ticked)"));
    expectTickPictures (menu, Images::Menu_check.getImage());

    for (const auto& [k, font] : { std::pair { 0, getFiraSansLightItalicFont() }, { 1, getFiraSansSemiBoldFont() } })
    {
        const auto* header = readDeviceBlock (menu, k).header;
        ASSERT_NE (header, nullptr);
        EXPECT_EQ (header->font.getTypefaceStyle(), font.getTypefaceStyle()) << k;
        EXPECT_FLOAT_EQ (header->font.getHeight(), 18.0f);
    }
}

// Which entries may be chosen and which are ticked is the rules' answer for the
// pedal's use; a submenu opens while one of its entries may be chosen.
TEST_F (DeviceMenuBuilderTest, EntriesAndSubmenusCarryTheRulesAnswers)
{
    const std::pair<const char*, MENU_DEVICE_OPTIONS> entries[] = {
        { "AS", AUDIO_STEREO },         { "AL", AUDIO_MONO_L },          { "AR", AUDIO_MONO_R },
        { "CS", CONTROL_STEREO },       { "CL", CONTROL_MONO_L },        { "CR", CONTROL_MONO_R },
        { "IS", PEDALBOARD_IN_STEREO }, { "IL", PEDALBOARD_IN_MONO_L },  { "IR", PEDALBOARD_IN_MONO_R },
        { "OS", PEDALBOARD_OUT_STEREO }, { "OL", PEDALBOARD_OUT_MONO_L }, { "OR", PEDALBOARD_OUT_MONO_R },
    };

    // Clients, Mode, split, IN and OUT masks; mine, channel, leg, my OUT mask; host inputs and outputs; flashing.
    const std::pair<const char*, PedalUse> rows[] = {
        { "a free pedal", { 0, Mode::none, false, 0, 0, false, std::nullopt, PedalModeConfig::none, 0, 2, 2, false } },
        { "a free pedal, mono host input", { 0, Mode::none, false, 0, 0, false, std::nullopt, PedalModeConfig::none, 0, 1, 2, false } },
        { "mine alone, Audio Mono-L", { 1, Mode::audio, true, 1, 1, true, ChannelSetting::monoLeft, PedalModeConfig::none, 1, 2, 2, false } },
        { "another on Audio Mono-R", { 1, Mode::audio, true, 2, 2, false, std::nullopt, PedalModeConfig::none, 0, 2, 2, false } },
        { "another on IN Stereo", { 1, Mode::pedalboard, false, 3, 0, false, std::nullopt, PedalModeConfig::none, 0, 2, 2, false } },
        { "another on IN Stereo, mine OUT Mono-R", { 2, Mode::pedalboard, true, 3, 2, true, ChannelSetting::monoRight, PedalModeConfig::out, 2, 2, 2, false } },
        { "another on OUT Mono-L alone, mono host output", { 1, Mode::pedalboard, true, 0, 1, false, std::nullopt, PedalModeConfig::none, 0, 2, 1, false } },
        { "mine alone, Audio Mono-L, being flashed", { 1, Mode::audio, true, 1, 1, true, ChannelSetting::monoLeft, PedalModeConfig::none, 1, 2, 2, true } },
    };

    for (const auto& [what, pedalUse] : rows)
    {
        SCOPED_TRACE (what);
        PedalsView view;
        view.pedals = { { secondPedal, {} }, { firstPedal, pedalUse } };
        const auto menu = build (view);
        const auto block = readDeviceBlock (menu, 1);

        std::string clickable, ticked, submenus;
        const auto append = [] (std::string& list, const std::string& word) { list += (list.empty() ? "" : " ") + word; };
        for (const auto& [code, option] : entries)
        {
            EXPECT_EQ (block.ids.count (code), 1u) << code;
            if (DeviceMenuRules::isClickable (pedalUse, option))
                append (clickable, code);
            if (DeviceMenuRules::isTicked (pedalUse, option))
                append (ticked, code);
        }
        for (const auto& [name, submenu] : { std::pair { "Audio", SUBMENU_AUDIO }, { "Control", SUBMENU_CONTROL },
                                             { "Pedalboard", SUBMENU_PEDALBOARD }, { "IN", SUBMENU_PEDALBOARD_IN } })
            if (DeviceMenuRules::isSubMenuClickable (pedalUse, submenu))
                append (submenus, name);
        if (clickable.find ('O') != std::string::npos)
            append (submenus, "OUT");

        EXPECT_EQ (block.clickable, clickable);
        EXPECT_EQ (block.ticked, ticked);
        EXPECT_EQ (block.submenus, submenus);
        EXPECT_EQ (block.disconnectClickable, ! pedalUse.flashing);
    }
}

// "Bootable device" with "Update Firmware..." after the pedals, for an instance without a pedal only.
TEST_F (DeviceMenuBuilderTest, TheBootloaderIsOfferedOnlyToAnInstanceWithoutAPedal)
{
    PedalsView view;
    view.bootloaderListed = true;
    EXPECT_EQ (outline (build (view)), "9999#Bootable device | 2006:Update Firmware.../120");

    const auto menu = build (view);
    const auto* header = readDeviceBlock (menu, 0).header;
    ASSERT_NE (header, nullptr);
    EXPECT_EQ (header->font.getTypefaceStyle(), getFiraSansSemiBoldFont().getTypefaceStyle());
    EXPECT_FLOAT_EQ (header->font.getHeight(), 18.0f);

    view.pedals = { { firstPedal, {} } };
    const auto listed = outline (build (view));
    EXPECT_EQ (listed.substr (listed.find (" | -") + 4), " | 9999#Bootable device | 2006:Update Firmware.../120");

    view.attached = PedalsView::Attached { firstPedal, 0x010203, Mode::audio };
    EXPECT_EQ (outline (build (view)).find ("Bootable device"), std::string::npos);
}
