#pragma once

#include "Components/Menus/PopupMenuHeaderItemComponent.h"
#include "Components/Menus/PopupMenuTextItemComponent.h"
#include "PluginEditor.h"
#include "Support/LinkRig.h"
#include "Support/PluginFixture.h"
#include "Support/WindowParts.h"

#include <gtest/gtest.h>
#include <map>
#include <memory>
#include <string>

// An editor as a host holds it: made by its processor, which is told before it goes.
struct OpenEditor
{
    explicit OpenEditor (VelmoraAudioProcessor& p)
        : processor (p), editor (dynamic_cast<VelmoraAudioProcessorEditor*> (p.createEditorIfNeeded())) {}
    ~OpenEditor() { close(); }

    void close()
    {
        if (editor != nullptr)
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

// A processor with its editor open, beside the emulated pedal of the link rig,
// which comes first so that it outlives both.
class EditorTest : public ::testing::Test
{
protected:
    ~EditorTest() override
    {
        editor.close();
        processor.reset();
    }

    // A settings menu result with the names the device menu lists now; then the pedal answers.
    void choose (int result)
    {
        juce::StringArray names;
        editor->getDeviceMenu (names);
        editor->settingsMenuCallback (result, names);
        rig.drain();
    }

    void attach (int mode, int channel, int leg = pedalboardNone)
    {
        processor->setUsbDevice (LinkRig::pedalName, mode, channel, leg);
        rig.drain();
    }

    juce::String status() const { return statusLineOf (*editor).getText(); }

    template <typename Dialog = AlertBoxComponent>
    Dialog* shownDialog() const { return dialogOf<Dialog> (*editor); }

    bool dialogShown() const { return shownDialog() != nullptr; }

    LinkRig rig;
    std::unique_ptr<VelmoraAudioProcessor> processor = makeHostedProcessor();
    OpenEditor editor { *processor };
};

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
