#pragma once

#include "Components/Menus/PedalsView.h"

#include <juce_gui_basics/juce_gui_basics.h>

// The device menu: a block for each listed pedal (a header with its name, its
// uses with their channel choices, "Disconnect") and, for an instance without
// a pedal while a bootloader waits, "Update Firmware...". Which entries are
// ticked and which may be chosen follows DeviceMenuRules.
class DeviceMenuBuilder
{
public:
    // The menu is drawn in listStyle, its submenus in choiceStyle; both must
    // outlive the menus built.
    DeviceMenuBuilder (juce::LookAndFeel& listStyle, juce::LookAndFeel& choiceStyle);

    juce::PopupMenu build (const PedalsView& view) const;

private:
    void addPedal (juce::PopupMenu& menu, int position, const PedalsView::Pedal& pedal, const juce::Image& tick) const;

    juce::LookAndFeel& listStyle;
    juce::LookAndFeel& choiceStyle;
};
