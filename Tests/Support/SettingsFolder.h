#pragma once

#include "Support/PluginFixture.h"
#include "Support/ScratchFolder.h"

#include <cstdlib>
#include <string>

// The folder where the plug-in keeps its settings and user presets, under the
// test program's own home folder (found without the framework, so that a test
// may put hostile files where the framework looks).
inline juce::File settingsFolder()
{
    return juce::File (juce::String (std::getenv ("HOME")) + "/.config/Audio/Presets/Kelvane-Sonic/Pellion");
}

// One processor per case; every case starts and ends without a settings folder,
// so none sees another's files.
struct SettingsFolderTest : ::testing::Test
{
    void SetUp() override { ScratchFolder::remove (settingsFolder()); }

    void TearDown() override
    {
        processor.reset();
        ScratchFolder::remove (settingsFolder());
    }

    static void writePreset (const juce::String& fileName, const juce::String& text)
    {
        ScratchFolder::write (settingsFolder().getChildFile ("User"), fileName.toStdString(), text.toStdString());
    }

    void open() { processor = makeProcessor(); }

    int value (const char* id) { return processor->getValueTreeState().getParameter (id)->get(); }

    void set (const char* id, int newValue)
    {
        processor->getValueTreeState().getParameter (id)->set (newValue, GestureTracker::internalSource);
    }

    juce::MemoryBlock state()
    {
        juce::MemoryBlock block;
        processor->getStateInformation (block);
        return block;
    }

    // The document inside the state chunk, without its header and trailing zero.
    std::string stateText()
    {
        const auto block = state();
        return std::string (static_cast<const char*> (block.getData()) + 8, block.getSize() - 9);
    }

    std::unique_ptr<VelmoraAudioProcessor> processor;
};
