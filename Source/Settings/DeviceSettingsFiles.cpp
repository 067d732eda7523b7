#include "Settings/DeviceSettingsFiles.h"

#include "Settings/SettingsIdentifiers.h"
#include "Utilities/DirectoryListing.h"
#include "Utilities/InputLimits.h"
#include "Utilities/SafeFileReader.h"
#include "Utilities/StrictXmlReader.h"

juce::File DeviceSettingsFiles::fileFor (const juce::String& deviceName) const
{
    if (! settingsFolder.startsWithChar ('/'))
        return {};

    return juce::File (settingsFolder + deviceName + fileSuffix);
}

bool DeviceSettingsFiles::load (const juce::String& deviceName, juce::ValueTree& tree) const
{
    const auto file = fileFor (deviceName);
    if (file == juce::File())
        return false;

    return ! file.exists() || readFile (file, tree);
}

void DeviceSettingsFiles::save (const juce::String& deviceName, const juce::ValueTree& tree, bool fileIsOwn) const
{
    const auto file = fileFor (deviceName);
    if (file == juce::File())
        return;

    if (tree.isValid() && tree.getNumProperties() > 0)
    {
        if (auto xml = tree.createXml())
            xml->writeTo (file, {});
    }
    else if (fileIsOwn)
    {
        file.deleteFile();
    }
}

juce::ValueTree DeviceSettingsFiles::loadNewest (const juce::String& folder)
{
    juce::ValueTree recent (ID::DEVICE);
    if (! folder.startsWithChar ('/'))
        return recent;

    // A file replaces the newest so far only when it is strictly newer.
    const DirectoryListing::Entry* newest = nullptr;
    const auto files = DirectoryListing::regularFiles (juce::File (folder), juce::String ("QZR-*") + fileSuffix);

    for (const auto& entry : files)
        if (newest == nullptr || entry.modified > newest->modified)
            newest = &entry;

    if (newest != nullptr)
    {
        juce::ValueTree loaded (ID::DEVICE);
        if (readFile (newest->file, loaded))
            recent = loaded;
    }

    return recent;
}

bool DeviceSettingsFiles::readFile (const juce::File& file, juce::ValueTree& tree)
{
    juce::MemoryBlock bytes;
    if (! SafeFileReader::read (file, bytes, InputLimits::deviceSettingsFileBytes))
        return false;

    return readText (static_cast<const char*> (bytes.getData()), bytes.getSize(), tree);
}

bool DeviceSettingsFiles::readText (const char* utf8, size_t numBytes, juce::ValueTree& tree)
{
    // The exact tag: the framework's own match ignores case, and asserts when that is what matched.
    const auto xml = StrictXmlReader::parse (utf8, numBytes);
    if (xml == nullptr || xml->getTagName() != ID::DEVICE.toString())
        return false;

    const auto loaded = juce::ValueTree::fromXml (*xml);
    if (! loaded.hasType (ID::DEVICE))
        return false;

    for (int i = 0; i < loaded.getNumProperties(); ++i)
    {
        const auto property = loaded.getPropertyName (i);
        tree.setProperty (property, loaded[property], nullptr);
    }

    return true;
}
