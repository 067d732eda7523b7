#pragma once

#include <juce_core/juce_core.h>

// The plug-in's folders under the user's application-data folder: the settings
// folder, which holds "settings.xml" and the pedals' settings files, and the
// user preset folder inside it.
namespace PluginFolders
{
// The user's application-data folder as the framework finds it, found here
// without handing the framework unchecked text: on Linux the framework reads
// $HOME and the user's list of folders (~/.config/user-dirs.dirs) straight into
// Strings, and would block for good on a list that is a named pipe. None when
// no home folder can be found safely.
juce::File applicationData();

// ".../Audio/Presets/Kelvane-Sonic/Pellion/" under it, ending in a separator;
// empty when there is no application-data folder.
juce::String settingsPath();

// "User/" inside the settings folder; empty with it.
juce::String userPresetPath();
} // namespace PluginFolders

// Creates a folder and its missing parents; failures are not reported, and the
// description is for readers of the code only.
void createDirectory (const juce::String& path, const juce::String& description);
