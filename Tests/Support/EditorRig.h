#pragma once

#include "Components/Menus/PopupMenuHeaderItemComponent.h"
#include "Components/Menus/PopupMenuTextItemComponent.h"
#include "PluginEditor.h"
#include "Support/LinkRig.h"
#include "Support/PluginFixture.h"

#include <gtest/gtest.h>
#include <map>
#include <memory>
#include <string>

// An editor as a host holds it: made by its processor, told before it goes.
struct OpenEditor
{
    explicit OpenEditor (VelmoraAudioProcessor& p)
        : processor (p), editor (dynamic_cast<VelmoraAudioProcessorEditor*> (p.createEditorIfNeeded()))
    {
    }

    ~OpenEditor() { close(); }

    void close()
    {
        if (editor == nullptr)
            return;
        processor.editorBeingDeleted (editor.get());
        editor.reset();
    }

    VelmoraAudioProcessorEditor* operator->() const { return editor.get(); }
    VelmoraAudioProcessorEditor& operator*() const { return *editor; }

    VelmoraAudioProcessor& processor;
    std::unique_ptr<VelmoraAudioProcessorEditor> editor;
};

// A processor as a host runs it: both main buses active.
inline std::unique_ptr<VelmoraAudioProcessor> makeHostedProcessor()
{
    auto processor = makeProcessor();
    processor->enableAllBuses();
    return processor;
}

// A processor with its editor open, beside the emulated pedal of the link rig.
// The rig comes first so that it outlives both.
class EditorTest : public ::testing::Test
{
protected:
    ~EditorTest() override
    {
        editor.close();
        processor.reset();
    }

    // A menu choice as the settings menu hands it over, with the names of the
    // pedals the menu lists now; then the pedal's answers arrive.
    void choose (int result)
    {
        juce::StringArray names;
        editor->getDeviceMenu (names);
        editor->settingsMenuCallback (result, names);
        rig.drain();
    }

    juce::String status() const { return editor->statusLabel.getText(); }

    // The dialog shown, as the type asked for; null when another or none is shown.
    template <typename Dialog>
    Dialog* shownDialog() const
    {
        return dynamic_cast<Dialog*> (editor->alertManager.alert.box.get());
    }

    LinkRig rig;
    std::unique_ptr<VelmoraAudioProcessor> processor = makeHostedProcessor();
    OpenEditor editor { *processor };
};

// The entries of one pedal's block of a device menu, named by use and channel
// ("AS" Audio Stereo, "CL" Control Mono-L, "IR" Pedalboard IN R, "OS" OUT
// Stereo, ...), with the submenus by name.
struct DeviceBlock
{
    std::map<std::string, int> ids;
    std::string clickable, ticked, submenus; // space-separated codes and submenu names, in menu order
    juce::String header;
    juce::Font headerFont;
    bool disconnectClickable = false;
};

// Reads block k (0-based) of a device menu.
inline DeviceBlock readDeviceBlock (const juce::PopupMenu& menu, int k)
{
    DeviceBlock block;
    const auto append = [] (std::string& list, const std::string& word) { list += (list.empty() ? "" : " ") + word; };

    const auto readChoices = [&] (const juce::PopupMenu& submenu, const std::string& prefix)
    {
        for (juce::PopupMenu::MenuItemIterator it (submenu); it.next();)
        {
            auto* row = dynamic_cast<PopupMenuTextItemComponent*> (it.getItem().customComponent.get());
            if (row == nullptr)
                continue;
            const auto suffix = row->text == "Stereo" ? "S" : row->text.containsChar ('L') ? "L" : "R";
            const auto code = prefix + suffix;
            block.ids[code] = it.getItem().itemID;
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
        if (auto* header = dynamic_cast<PopupMenuHeaderItemComponent*> (item.customComponent.get()))
        {
            if (++headers == k)
            {
                block.header = header->getName();
                block.headerFont = header->font;
            }
            continue;
        }

        if (headers != k)
            continue;

        if (auto* row = dynamic_cast<PopupMenuTextItemComponent*> (item.customComponent.get()))
            block.disconnectClickable = row->text == "Disconnect" && row->clickable && item.itemID == MENU_ID_DISCONNECT;

        if (item.subMenu == nullptr)
            continue;

        if (item.isEnabled)
            append (block.submenus, item.text.toStdString());

        if (item.text == "Pedalboard")
        {
            for (juce::PopupMenu::MenuItemIterator leg (*item.subMenu); leg.next();)
            {
                if (leg.getItem().isEnabled)
                    append (block.submenus, leg.getItem().text.toStdString());
                readChoices (*leg.getItem().subMenu, leg.getItem().text == "IN" ? "I" : "O");
            }
        }
        else
        {
            readChoices (*item.subMenu, item.text == "Audio" ? "A" : "C");
        }
    }

    return block;
}
