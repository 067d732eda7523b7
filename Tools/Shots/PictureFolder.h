#pragma once

#include <juce_gui_basics/juce_gui_basics.h>

#include <utility>
#include <vector>

// The folder a picture tool writes into: each picture a PNG of a component,
// printed with its caption and listed with it, in the order taken, in the
// folder's "index.html", which is rewritten after every picture so that it
// lists what a run wrote even when the run stops early. Every failure throws
// std::runtime_error.
class PictureFolder
{
public:
    static constexpr const char* indexName = "index.html";

    // Creates the folder when it is missing.
    explicit PictureFolder (const juce::File& folder);

    const juce::File& getFolder() const noexcept { return folder; }

    // Writes NAME.png, prints its path and the caption, lists it in the index,
    // and returns the file.
    juce::File write (juce::Component& component, const juce::String& name, const juce::String& caption);

private:
    void writeIndex() const;

    const juce::File folder;
    std::vector<std::pair<juce::String, juce::String>> captions; // file name, caption
};
