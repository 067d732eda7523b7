// Hands arbitrary bytes to the plug-in as its "settings.xml" and checks, through
// its own reading and saving: a file it reads is never rewritten unchanged; a
// file it cannot read is kept aside byte for byte; what it saves reads back as
// the same settings; and no stored value ever reaches the framework's XML reader
// (which this build instruments, so an overflow there would be seen).
#include "FuzzSupport.h"
#include "Settings/PluginSettings.h"

#include <cstddef>
#include <cstdint>
#include <fstream>
#include <map>
#include <string>

namespace
{
using Properties = std::map<juce::String, juce::String>;

Properties propertiesOf (PluginSettings& settings)
{
    Properties properties;
    const auto& all = settings.getAllProperties();
    for (int i = 0; i < all.size(); ++i)
        properties[all.getAllKeys()[i]] = all.getAllValues()[i];
    return properties;
}

std::string bytesOf (const juce::File& file)
{
    std::ifstream in (file.getFullPathName().toStdString(), std::ios::binary);
    return { std::istreambuf_iterator<char> (in), std::istreambuf_iterator<char>() };
}

void check (bool condition)
{
    if (! condition)
        __builtin_trap();
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput (const uint8_t* data, size_t size)
{
    initialiseFramework();
    failOnFrameworkAssertions();
    static const auto folder = scratchFolder();
    const auto file = folder.getChildFile ("settings.xml");
    const auto keptCopy = PluginSettings::keptCopy (file, 1);
    const std::string input (reinterpret_cast<const char*> (data), size);

    folder.deleteRecursively();
    folder.createDirectory();
    std::ofstream (file.getFullPathName().toStdString(), std::ios::binary) << input;

    bool readable;
    {
        PluginSettings settings (file);
        check (settings.isBackedByFile());
        readable = ! keptCopy.exists();
        check (readable != settings.needsToBeSaved());
        juce::ignoreUnused (settings.shouldCheckForUpdates());
    }

    check (bytesOf (readable ? file : keptCopy) == input);

    Properties saved;
    {
        PluginSettings settings (file);
        settings.setValue (PluginSettings::checkForUpdatesKey, size % 2 == 0);
        saved = propertiesOf (settings);
        check (settings.saveIfNeeded());
    }

    PluginSettings reread (file);
    check (! PluginSettings::keptCopy (file, 2).exists());
    check (! reread.needsToBeSaved());
    check (propertiesOf (reread) == saved);
    return 0;
}
