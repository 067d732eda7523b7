#include "Settings/PluginFolders.h"

#include "Utilities/InputLimits.h"
#include "Utilities/SafeFileReader.h"
#include "Utilities/Utf8Check.h"

#include <cstdlib>
#include <cstring>
#include <pwd.h>
#include <unistd.h>
#include <vector>

namespace
{
bool isRootedPath (const juce::String& path)
{
    return path.startsWithChar ('/');
}

#if JUCE_LINUX || JUCE_BSD
// $HOME, or the user's entry in the password database, as the framework takes it.
juce::File homeFolder()
{
    const char* home = std::getenv ("HOME");

    // Into an entry of our own: getpwuid's is shared with every thread of the
    // host. The buffer is far larger than any entry; a larger one reads as none.
    passwd entry {};
    passwd* found = nullptr;
    std::vector<char> strings;
    if (home == nullptr)
    {
        strings.resize (16384);
        if (getpwuid_r (getuid(), &entry, strings.data(), strings.size(), &found) == 0 && found != nullptr)
            home = entry.pw_dir;
    }

    if (home == nullptr || ! isStrictUtf8 (reinterpret_cast<const uint8_t*> (home), std::strlen (home)))
        return {};

    const auto path = juce::String::fromUTF8 (home);
    return isRootedPath (path) ? juce::File (path) : juce::File();
}

// The framework's rule: the first XDG_CONFIG_HOME line of the list that names
// an existing folder, else ~/.config. A list that is not a regular file of
// UTF-8 text within its limit is not read.
juce::File configFolder (const juce::File& home)
{
    auto fallback = home.getChildFile (".config");

    juce::MemoryBlock bytes;
    if (! SafeFileReader::read (fallback.getChildFile ("user-dirs.dirs"), bytes, InputLimits::folderListBytes)
        || ! isStrictUtf8 (static_cast<const uint8_t*> (bytes.getData()), bytes.getSize()))
        return fallback;

    juce::StringArray lines;
    lines.addLines (juce::String::fromUTF8 (static_cast<const char*> (bytes.getData()), (int) bytes.getSize()));

    for (const auto& line : lines)
    {
        const auto entry = line.trimStart();
        if (! entry.startsWith ("XDG_CONFIG_HOME"))
            continue;

        auto path = entry.replace ("$HOME", home.getFullPathName()).fromFirstOccurrenceOf ("=", false, false).trim().unquoted();
        if (path.startsWith ("~/"))
            path = home.getFullPathName() + path.substring (1);

        if (isRootedPath (path) && juce::File (path).isDirectory())
            return juce::File (path);
    }

    return fallback;
}
#endif
} // namespace

juce::File PluginFolders::applicationData()
{
#if JUCE_LINUX || JUCE_BSD
    const auto home = homeFolder();
    return home == juce::File() ? juce::File() : configFolder (home);
#else
    return juce::File::getSpecialLocation (juce::File::userApplicationDataDirectory);
#endif
}

juce::String PluginFolders::settingsPath()
{
    const auto base = applicationData();
    if (base == juce::File())
        return {};

    return base.getFullPathName() + "/Audio/Presets/Kelvane-Sonic/Pellion/";
}

juce::String PluginFolders::userPresetPath()
{
    const auto settings = settingsPath();
    return settings.isEmpty() ? juce::String() : settings + "User/";
}

void createDirectory (const juce::String& path, const juce::String&)
{
    if (isRootedPath (path))
        juce::File (path).createDirectory();
}
