#pragma once

#include <juce_data_structures/juce_data_structures.h>

// The pedals' settings files: "<device name>-settings.xml" in the settings
// folder, each holding one pedal's settings tree ("DEVICE", one attribute per
// setting). A file that cannot be read is left as it is: it gives defaults, and
// is only ever replaced by settings, never deleted.
class DeviceSettingsFiles
{
public:
    static constexpr const char* fileSuffix = "-settings.xml";

    // Empty until the plug-in names its settings folder; no file is read or written meanwhile.
    void setFolder (const juce::String& folder) { settingsFolder = folder; }

    // The folder directly followed by the device name and the suffix; none without a folder.
    juce::File fileFor (const juce::String& deviceName) const;

    // Copies the properties of the pedal's file into its tree, each through the
    // tree's listeners. True when the file is the pedal's own from now on: it
    // was read, or there was none.
    bool load (const juce::String& deviceName, juce::ValueTree& tree) const;

    // Writes the tree, or deletes the file when the tree has no properties and
    // the file is the pedal's own.
    void save (const juce::String& deviceName, const juce::ValueTree& tree, bool fileIsOwn) const;

    // The tree of the most recently modified "QZR-*-settings.xml" in the folder
    // when that file is readable; otherwise an empty "DEVICE" tree.
    static juce::ValueTree loadNewest (const juce::String& folder);

    // Copies the properties of a settings document whose root is "DEVICE" into
    // the tree; false, with the tree untouched, for anything else.
    static bool readFile (const juce::File& file, juce::ValueTree& tree);
    static bool readText (const char* utf8, size_t numBytes, juce::ValueTree& tree);

private:
    juce::String settingsFolder;
};
