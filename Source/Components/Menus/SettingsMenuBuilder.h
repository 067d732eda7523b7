#pragma once

#include "Components/Menus/PedalsView.h"

#include <juce_gui_basics/juce_gui_basics.h>

// The settings menu: "Select Device" (the device menu, off while it would be
// empty), "About Hardware" (the held pedal's name, firmware and serial number,
// "Update Firmware..." while a bootloader waits or Alt is held, "Device
// Options..." in Audio and Pedalboard use) and "About Plugin".
class SettingsMenuBuilder
{
public:
    static constexpr int informationRowWidth = 240;

    // The menus are drawn in menuStyle, the device menu's list in deviceListStyle;
    // both must outlive the menus built.
    SettingsMenuBuilder (juce::LookAndFeel& menuStyle, juce::LookAndFeel& deviceListStyle);

    juce::PopupMenu build (const PedalsView& view, bool altHeld) const;

private:
    juce::PopupMenu buildHardware (const PedalsView& view, bool altHeld) const;
    static juce::PopupMenu buildPlugin();

    juce::LookAndFeel& menuStyle;
    juce::LookAndFeel& deviceListStyle;
};
