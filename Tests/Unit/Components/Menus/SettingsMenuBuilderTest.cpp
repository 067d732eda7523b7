#include "Components/Menus/SettingsMenuBuilder.h"
#include "Support/MenuReading.h"
#include "Updates/VersionQuery.h"

#include <gtest/gtest.h>
#include <optional>

namespace
{
const juce::String pedalName ("QZR-1A2B");
} // namespace

// "Select Device" opens while the device menu has an entry; "About Hardware"
// names the held pedal and offers what it allows; "About Plugin" never changes.
TEST (SettingsMenuBuilder, ItsEntriesFollowThePedalTheBootloaderAndTheAltKey)
{
    const std::string none = "2001:Device Name: No Device Selected | 2002:Firmware Version: None | 2003:Serial Number: None | 9999:line";
    const std::string pedal = "2001:Device Name: QZR-1A2B | 2002:Firmware Version: 1.2.3 | 2003:Serial Number: 1A2B | 9999:line";
    const std::string options = " | 2007:Device Options...";
    const std::string update = " | 2006:Update Firmware...";

    // The held pedal's use (none when none is held) and firmware; listed pedals, bootloader, Alt, flashing.
    const struct { const char* what; std::optional<Mode> mode; int firmware; bool listed, bootloader, alt, flashing, selectDevice; std::string hardware; } rows[] = {
        { "nothing connected", std::nullopt, 0, false, false, false, false, false, none },
        { "nothing connected, Alt held", std::nullopt, 0, false, false, true, false, false, none + update + " (off)" },
        { "a bootloader only", std::nullopt, 0, false, true, false, false, true, none + update },
        { "a pedal listed, none held", std::nullopt, 0, true, false, false, false, true, none },
        { "plugged in afresh, no firmware reported yet", Mode::audio, 0, true, false, false, false, true,
          "2001:Device Name: QZR-1A2B | 2002:Firmware Version: 0.0.0 | 2003:Serial Number: 1A2B | 9999:line" + options },
        { "Control use", Mode::control, 0x010203, true, false, false, false, true, pedal },
        { "Control use while a bootloader waits", Mode::control, 0x010203, true, true, false, false, true, pedal },
        { "Control use, Alt held", Mode::control, 0x010203, true, false, true, false, true, pedal + update },
        { "Audio use", Mode::audio, 0x010203, true, false, false, false, true, pedal + options },
        { "Pedalboard use", Mode::pedalboard, 0x010203, true, false, false, false, true, pedal + options },
        { "Audio use, Alt held, the pedal being flashed", Mode::audio, 0x010203, true, false, true, true, true,
          pedal + update + " (off)" + options + " (off)" },
    };

    MenuStyles styles;
    for (const auto& row : rows)
    {
        SCOPED_TRACE (row.what);
        PedalsView view;
        if (row.listed)
            view.pedals = { { pedalName, {} } };
        if (row.mode)
            view.attached = PedalsView::Attached { pedalName, row.firmware, *row.mode };
        view.bootloaderListed = row.bootloader;
        view.attachedFlashing = row.flashing;

        const auto menu = describeAll (SettingsMenuBuilder (styles.menu, styles.deviceList).build (view, row.alt));
        EXPECT_EQ (menu.main, std::string ("0:Select Device") + (row.selectDevice ? "" : " (off)") + " | 0:About Hardware | 0:About Plugin");
        EXPECT_EQ (menu.hardware, row.hardware);
        EXPECT_EQ (menu.plugin, std::string ("3000:Software Version: ") + VersionQuery::pluginVersionString
                                    + " | 9999:line | 3001:Update Plugin...");
    }
}

// "Select Device" holds the device menu of the same view.
TEST (SettingsMenuBuilder, SelectDeviceHoldsTheDeviceMenu)
{
    MenuStyles styles;
    PedalsView view;
    view.pedals = { { pedalName, {} }, { "QZR-3C4D", {} } };
    const auto menu = SettingsMenuBuilder (styles.menu, styles.deviceList).build (view, false);

    juce::PopupMenu::MenuItemIterator it (menu);
    ASSERT_TRUE (it.next());
    ASSERT_NE (it.getItem().subMenu, nullptr);
    const auto& devices = *it.getItem().subMenu;
    for (int k : { 0, 1 })
    {
        const auto block = readDeviceBlock (devices, k);
        ASSERT_NE (block.header, nullptr);
        EXPECT_EQ (block.header->getName(), view.pedals[(size_t) k].name);
        EXPECT_EQ (block.ids.at ("AS"), 1022 + 100 * k);
    }
}
