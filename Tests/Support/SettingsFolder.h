#pragma once

#include "Support/PluginFixture.h"

#include <string>

// The folder where the plug-in keeps its settings and user presets.
inline juce::File settingsFolder()
{
    return juce::File::getSpecialLocation (juce::File::userApplicationDataDirectory)
        .getChildFile ("Audio/Presets/Kelvane-Sonic/Pellion");
}

// One processor per case; every case starts and ends without a settings folder,
// so none sees another's files.
struct SettingsFolderTest : ::testing::Test
{
    void SetUp() override { settingsFolder().deleteRecursively(); }

    void TearDown() override
    {
        processor.reset();
        settingsFolder().deleteRecursively();
    }

    static void writePreset (const juce::String& fileName, const juce::String& text)
    {
        const auto folder = settingsFolder().getChildFile ("User");
        ASSERT_TRUE (folder.createDirectory());
        ASSERT_TRUE (folder.getChildFile (fileName).replaceWithText (text));
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
