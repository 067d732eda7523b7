#pragma once

#include <juce_gui_basics/juce_gui_basics.h>

#include <utility>
#include <vector>

// The folder a picture tool writes into: each picture a PNG of a component,
// printed with its caption and listed with it, in the order taken, in the
// folder's "index.html". The index carries every file of the folder: those
// another program wrote there are captioned by the tool (describe), a text
// file is shown with its text, and a file nobody captioned is listed as such.
// It is rewritten after every picture, so that it lists what a run wrote even
// when the run stops early. Every failure throws std::runtime_error.
class PictureFolder
{
public:
    static constexpr const char* indexName = "index.html";
    static constexpr const char* uncaptioned = "not written by this run: no caption";

    // Creates the folder when it is missing.
    explicit PictureFolder (const juce::File& folder);

    const juce::File& getFolder() const noexcept { return folder; }

    // Writes NAME.png, prints its path and the caption, lists it in the index,
    // and returns the file.
    juce::File write (juce::Component& component, const juce::String& name, const juce::String& caption);

    // Captions a file of the folder that another program wrote; listed here,
    // in the order of the calls, while it is there.
    void describe (const juce::String& fileName, const juce::String& caption);

private:
    void writeIndex() const;

    const juce::File folder;
    std::vector<std::pair<juce::String, juce::String>> captions; // file name, caption
};
