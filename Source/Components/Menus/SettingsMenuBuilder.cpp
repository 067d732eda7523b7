#include "Components/Menus/SettingsMenuBuilder.h"

#include "Components/Menus/DeviceMenuBuilder.h"
#include "Components/Menus/PopupMenuLineComponent.h"
#include "Components/Menus/PopupMenuTextItemComponent.h"
#include "Updates/VersionNumber.h"
#include "Updates/VersionQuery.h"

namespace
{
// An ordinary entry of the settings menu: white text, never ticked, no icon.
juce::PopupMenu::Item plainItem (int id, const juce::String& text, bool enabled)
{
    juce::PopupMenu::Item item (text);
    item.itemID = id;
    item.isEnabled = enabled;
    item.colour = juce::Colours::white;
    return item;
}

std::unique_ptr<PopupMenuTextItemComponent> info (const juce::String& text)
{
    return std::make_unique<PopupMenuTextItemComponent> (text, SettingsMenuBuilder::informationRowWidth);
}

void addLine (juce::PopupMenu& menu)
{
    menu.addCustomItem (MENU_ID_SEPARATOR, std::make_unique<PopupMenuLineComponent> (SettingsMenuBuilder::informationRowWidth),
                        nullptr, PopupMenuLineComponent::accessibleTitle);
}

bool hasEntries (const juce::PopupMenu& menu)
{
    for (juce::PopupMenu::MenuItemIterator it (menu); it.next();)
        if (! it.getItem().isSeparator)
            return true;
    return false;
}
} // namespace

SettingsMenuBuilder::SettingsMenuBuilder (juce::LookAndFeel& menu, juce::LookAndFeel& deviceList)
    : menuStyle (menu), deviceListStyle (deviceList)
{
}

juce::PopupMenu SettingsMenuBuilder::build (const PedalsView& view, bool altHeld) const
{
    juce::PopupMenu menu;
    menu.setLookAndFeel (&menuStyle);

    auto deviceMenu = DeviceMenuBuilder (deviceListStyle, menuStyle).build (view);
    const bool deviceMenuUsable = hasEntries (deviceMenu);

    menu.addSubMenu ("Select Device", std::move (deviceMenu), deviceMenuUsable);
    menu.addSubMenu ("About Hardware", buildHardware (view, altHeld), true);
    menu.addSubMenu ("About Plugin", buildPlugin(), true);
    return menu;
}

juce::PopupMenu SettingsMenuBuilder::buildHardware (const PedalsView& view, bool altHeld) const
{
    juce::PopupMenu hardware;
    hardware.setLookAndFeel (&menuStyle);

    const auto& pedal = view.attached;
    const bool bootable = view.offersBootloader();
    // Nothing is done to a pedal that some instance is flashing.
    const bool flashing = view.attachedFlashing;

    if (pedal.has_value())
    {
        hardware.addCustomItem (MENU_ID_DEVICE_NAME, info ("Device Name: " + pedal->name));
        hardware.addCustomItem (MENU_ID_FIRMWARE_VERSION, info ("Firmware Version: " + versionToString (pedal->firmwareVersion)));
        hardware.addCustomItem (MENU_ID_SERIAL_NUMBER, info ("Serial Number: " + pedal->name.getLastCharacters (4)));
    }
    else
    {
        hardware.addCustomItem (MENU_ID_DEVICE_NAME, info ("Device Name: No Device Selected"));
        hardware.addCustomItem (MENU_ID_FIRMWARE_VERSION, info ("Firmware Version: None"));
        hardware.addCustomItem (MENU_ID_SERIAL_NUMBER, info ("Serial Number: None"));
    }

    addLine (hardware);

    if (bootable || altHeld)
        hardware.addItem (plainItem (MENU_ID_UPDATE_FIRMWARE, "Update Firmware...", (pedal.has_value() || bootable) && ! flashing));

    if (pedal.has_value() && (pedal->mode == Mode::audio || pedal->mode == Mode::pedalboard))
        hardware.addItem (plainItem (MENU_ID_DEVICE_OPTIONS, "Device Options...", ! flashing));

    return hardware;
}

juce::PopupMenu SettingsMenuBuilder::buildPlugin()
{
    juce::PopupMenu plugin;
    plugin.addCustomItem (MENU_ID_SOFTWARE_VERSION,
                          info (juce::String ("Software Version: ") + VersionQuery::pluginVersionString));
    addLine (plugin);
    plugin.addItem (plainItem (MENU_ID_UPDATE_PLUGIN, "Update Plugin...", true));
    return plugin;
}
