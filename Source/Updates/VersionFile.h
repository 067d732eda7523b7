#pragma once

#include <juce_data_structures/juce_data_structures.h>

// The version file on the update server: a JSON object whose string properties
// ("pluginVersion", "firmwareVersion", "firmwareURL", "pluginInfoURL", ...) are
// kept under their names as they stand; other values are skipped.
namespace VersionFile
{
// False, with the set empty, for anything but such an object within the size
// limit, in strict UTF-8, that the framework's JSON reader can be trusted with.
bool read (const void* data, size_t size, juce::PropertySet& into);
} // namespace VersionFile
