#pragma once

#include <juce_events/juce_events.h>

// "settings.xml": the plug-in's own settings, a properties file ("PROPERTIES"
// with one "VALUE" per key, its "name" and "val") that the editor reads and
// writes as a juce::PropertySet. It saves itself 3000 ms after a change and,
// when it goes, only if something changed.
//
// Unlike juce::PropertiesFile it reads the file once, through the strict XML
// reader only, and never hands a stored value to an XML reader when it saves.
// A file it cannot read is moved aside, under a name no earlier copy has, and
// a fresh one begins; when even that fails, these settings live in memory only
// and the file is neither read nor replaced.
class PluginSettings : public juce::PropertySet, private juce::Timer
{
public:
    static constexpr const char* checkForUpdatesKey = "checkForUpdates";
    static constexpr int saveDelayMs = 3000;

    // "settings.xml.unreadable", then "-2" up to "-10" appended.
    static constexpr int maximumKeptCopies = 10;
    static juce::File keptCopy (const juce::File& file, int number);

    // Reads the file now: missing, it gives empty settings.
    explicit PluginSettings (const juce::File& file);
    ~PluginSettings() override;

    // "checkForUpdates", true when missing; any stored text reads without overflow.
    bool shouldCheckForUpdates() const;

    // Writes the file when something changed since it was read or written, or
    // when there was no file to read.
    bool saveIfNeeded();
    bool needsToBeSaved() const;

    // False when a file that could not be read could not be moved aside either.
    bool isBackedByFile() const noexcept { return backedByFile; }
    const juce::File& getFile() const noexcept { return file; }

private:
    void propertyChanged() override;
    void timerCallback() override;

    bool read();
    bool moveAside() const;
    bool save();

    const juce::File file;
    bool backedByFile = true;
    bool needsWriting = false;

    JUCE_DECLARE_NON_COPYABLE (PluginSettings)
};
