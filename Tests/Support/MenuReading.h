#pragma once

#include "Components/Menus/MenuIds.h"
#include "Components/Menus/PopupMenuHeaderItemComponent.h"
#include "Components/Menus/PopupMenuTextItemComponent.h"
#include "LookAndFeel/LookAndFeel_PopupMenu.h"
#include "LookAndFeel/LookAndFeel_PopupMenuWithHeader.h"

#include <juce_gui_basics/juce_gui_basics.h>
#include <map>
#include <string>

// The styles the editor builds its menus with, for menus built without one.
struct MenuStyles
{
    LookAndFeel_PopupMenu menu;
    LookAndFeel_PopupMenuWithHeader deviceList;
};

// A menu as one line: "id:text" per entry, a line as "line", "(off)" after a disabled entry.
inline std::string describe (const juce::PopupMenu& menu)
{
    std::string text;
    for (juce::PopupMenu::MenuItemIterator it (menu); it.next();)
    {
        const auto& item = it.getItem();
        auto* row = dynamic_cast<PopupMenuTextItemComponent*> (item.customComponent.get());
        const auto shown = row != nullptr ? row->text : item.customComponent != nullptr ? juce::String ("line") : item.text;
        text += (text.empty() ? "" : " | ") + std::to_string (item.itemID) + ":" + shown.toStdString() + (item.isEnabled ? "" : " (off)");
    }
    return text;
}

// The settings menu and its "About" submenus, each as one line.
struct Described
{
    std::string main, hardware, plugin;
};

inline Described describeAll (const juce::PopupMenu& menu)
{
    Described described { describe (menu), {}, {} };
    juce::PopupMenu::MenuItemIterator it (menu);
    it.next(); // "Select Device"
    for (auto* submenu : { &described.hardware, &described.plugin })
        if (it.next() && it.getItem().subMenu != nullptr)
            *submenu = describe (*it.getItem().subMenu);
    return described;
}

// Block k of a device menu: its entries named by use and channel ("AS" Audio
// Stereo, "CL" Control Mono-L, "IR" Pedalboard IN R, "OS" OUT Stereo, ...) with
// their ids, which can be chosen and which are ticked, and the enabled submenus.
struct DeviceBlock
{
    std::map<std::string, int> ids;
    std::string clickable, ticked, submenus; // space-separated, in menu order
    const PopupMenuHeaderItemComponent* header = nullptr; // owned by the menu
    bool disconnectClickable = false;
};

inline DeviceBlock readDeviceBlock (const juce::PopupMenu& menu, int k)
{
    DeviceBlock block;
    const auto append = [] (std::string& list, const juce::String& word) { list += (list.empty() ? "" : " ") + word.toStdString(); };
    const auto readChoices = [&] (const juce::PopupMenu& submenu, const juce::String& use)
    {
        for (juce::PopupMenu::MenuItemIterator it (submenu); it.next();)
        {
            auto* row = dynamic_cast<PopupMenuTextItemComponent*> (it.getItem().customComponent.get());
            const auto code = use + (row->text == "Stereo" ? "S" : row->text.containsChar ('L') ? "L" : "R");
            block.ids[code.toStdString()] = it.getItem().itemID;
            if (row->clickable)
                append (block.clickable, code);
            if (row->ticked)
                append (block.ticked, code);
        }
    };

    int headers = -1;
    for (juce::PopupMenu::MenuItemIterator it (menu); it.next();)
    {
        const auto& item = it.getItem();
        if (auto* header = dynamic_cast<PopupMenuHeaderItemComponent*> (item.customComponent.get()); header != nullptr && ++headers == k)
            block.header = header;
        if (headers != k)
            continue;
        if (auto* row = dynamic_cast<PopupMenuTextItemComponent*> (item.customComponent.get()))
            block.disconnectClickable = item.itemID == MENU_ID_DISCONNECT && row->text == "Disconnect" && row->clickable;
        if (item.subMenu == nullptr)
            continue;

        if (item.isEnabled)
            append (block.submenus, item.text);
        if (item.text != "Pedalboard")
            readChoices (*item.subMenu, item.text.substring (0, 1));
        else
            for (juce::PopupMenu::MenuItemIterator leg (*item.subMenu); leg.next();)
            {
                if (leg.getItem().isEnabled)
                    append (block.submenus, leg.getItem().text);
                readChoices (*leg.getItem().subMenu, leg.getItem().text.substring (0, 1));
            }
    }
    return block;
}
