#pragma once

#include "Components/Menus/PedalsView.h"
#include "PluginEditor.h"
#include "Support/LinkRig.h"
#include "Support/PluginFixture.h"
#include "Support/WindowParts.h"

#include <gtest/gtest.h>
#include <memory>

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
        editor->settingsMenuCallback (result, editor->getPedalsView().getNames());
        rig.drain();
    }

    void attach (Mode mode, ChannelSetting channel, PedalModeConfig leg = PedalModeConfig::none)
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
