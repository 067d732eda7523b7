#include "Settings/PluginSettings.h"

#include "Utilities/InputLimits.h"
#include "Utilities/SafeFileReader.h"
#include "Utilities/SafeNumbers.h"
#include "Utilities/StrictXmlReader.h"

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace
{
const char* const fileTag = "PROPERTIES";
const char* const valueTag = "VALUE";
const char* const nameAttribute = "name";
const char* const valueAttribute = "val";

// Renames, failing with EEXIST rather than replacing whatever has the new name
// (the framework's File::moveFileTo deletes it first).
bool renameWithoutReplacing (const juce::File& source, const juce::File& target)
{
    const auto from = source.getFullPathName().toStdString();
    const auto to = target.getFullPathName().toStdString();

#ifdef RENAME_NOREPLACE
    if (renameat2 (AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0)
        return true;

    if (errno != EINVAL && errno != ENOSYS) // file systems without the flag fall through
        return false;
#endif

    struct stat info;
    if (lstat (to.c_str(), &info) == 0)
    {
        errno = EEXIST;
        return false;
    }

    return std::rename (from.c_str(), to.c_str()) == 0;
}
} // namespace

juce::File PluginSettings::keptCopy (const juce::File& file, int number)
{
    return file.getSiblingFile (file.getFileName() + ".unreadable" + (number > 1 ? "-" + juce::String (number) : juce::String()));
}

PluginSettings::PluginSettings (const juce::File& fileToUse) : juce::PropertySet (false), file (fileToUse)
{
    if (file == juce::File())
        backedByFile = false;
    else if (! file.exists())
        needsWriting = true;
    else if (! read())
        backedByFile = needsWriting = moveAside();
}

PluginSettings::~PluginSettings()
{
    stopTimer();
    saveIfNeeded();
}

bool PluginSettings::shouldCheckForUpdates() const
{
    return ! containsKey (checkForUpdatesKey) || SafeNumbers::textToInt (getValue (checkForUpdatesKey)) != 0;
}

bool PluginSettings::read()
{
    juce::MemoryBlock bytes;
    if (! SafeFileReader::read (file, bytes, InputLimits::settingsFileBytes))
        return false;

    // Tags are matched as the framework matches them in its properties files,
    // ignoring case, but compared here: its own lookups assert on such a match.
    const auto document = StrictXmlReader::parse (static_cast<const char*> (bytes.getData()), bytes.getSize());
    if (document == nullptr || ! document->getTagName().equalsIgnoreCase (fileTag))
        return false;

    // As the framework reads its properties files: a value held as an element is kept as its text.
    auto& properties = getAllProperties();
    for (auto* element : document->getChildIterator())
    {
        if (! element->getTagName().equalsIgnoreCase (valueTag))
            continue;

        const auto name = element->getStringAttribute (nameAttribute);
        if (name.isEmpty())
            continue;

        if (auto* child = element->getFirstChildElement())
            properties.set (name, child->toString (juce::XmlElement::TextFormat().singleLine().withoutHeader()));
        else
            properties.set (name, element->getStringAttribute (valueAttribute));
    }

    return true;
}

bool PluginSettings::moveAside() const
{
    for (int number = 1; number <= maximumKeptCopies; ++number)
    {
        if (renameWithoutReplacing (file, keptCopy (file, number)))
            return true;

        if (errno != EEXIST && errno != ENOTEMPTY && errno != EISDIR)
            return false; // a read-only folder, say: no other name fares better
    }

    return false;
}

bool PluginSettings::needsToBeSaved() const
{
    const juce::ScopedLock lock (getLock());
    return needsWriting;
}

bool PluginSettings::saveIfNeeded()
{
    const juce::ScopedLock lock (getLock());
    return ! needsWriting || save();
}

bool PluginSettings::save()
{
    const juce::ScopedLock lock (getLock());
    stopTimer();

    if (! backedByFile || file.isDirectory() || ! file.getParentDirectory().createDirectory())
        return false;

    // Every value as an attribute: looking for XML in it would hand it to a reader.
    juce::XmlElement document (fileTag);
    const auto& properties = getAllProperties();
    for (int i = 0; i < properties.size(); ++i)
    {
        auto* element = document.createNewChildElement (valueTag);
        element->setAttribute (nameAttribute, properties.getAllKeys()[i]);
        element->setAttribute (valueAttribute, properties.getAllValues()[i]);
    }

    if (! document.writeTo (file, {}))
        return false;

    needsWriting = false;
    return true;
}

void PluginSettings::propertyChanged()
{
    const juce::ScopedLock lock (getLock());
    needsWriting = true;

    if (backedByFile)
        startTimer (saveDelayMs);
}

void PluginSettings::timerCallback()
{
    saveIfNeeded();
}
