#include "Utilities/DirectoryListing.h"

#include "Utilities/InputLimits.h"
#include "Utilities/Utf8Check.h"

#include <cstring>
#include <dirent.h>
#include <memory>
#include <sys/stat.h>

std::vector<DirectoryListing::Entry> DirectoryListing::regularFiles (const juce::File& folder, const juce::String& wildcard)
{
    std::vector<Entry> entries;
    if (folder == juce::File())
        return entries;

    const auto folderPath = juce::File::addTrailingSeparator (folder.getFullPathName());

    const std::unique_ptr<DIR, int (*) (DIR*)> directory (opendir (folderPath.toRawUTF8()), closedir);
    if (directory == nullptr)
        return entries;

    const bool ignoreCase = ! juce::File::areFileNamesCaseSensitive();

    while (auto* found = readdir (directory.get()))
    {
        const auto length = std::strlen (found->d_name);
        if (! isStrictUtf8 (reinterpret_cast<const uint8_t*> (found->d_name), length))
            continue;

        const auto name = juce::String::fromUTF8 (found->d_name, (int) length);
        if (name == "." || name == ".." || ! name.matchesWildcard (wildcard, ignoreCase))
            continue;

        // Not getChildFile: it reads a name that starts with "~" as another user's home.
        const juce::File file (folderPath + name);
        struct stat info;
        if (stat (file.getFullPathName().toRawUTF8(), &info) != 0 || ! S_ISREG (info.st_mode))
            continue;

       #if JUCE_MAC || JUCE_IOS
        const auto& time = info.st_mtimespec;
       #else
        const auto& time = info.st_mtim;
       #endif
        const auto modified = (juce::int64) time.tv_sec * 1000 + time.tv_nsec / 1000000;
        entries.push_back ({ file, name, juce::Time (modified) });

        if ((int) entries.size() >= InputLimits::listedFiles)
            break;
    }

    return entries;
}
