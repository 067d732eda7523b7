#pragma once

#include <juce_gui_basics/juce_gui_basics.h>

// The folder a picture tool writes into: each picture a PNG of a component,
// printed with its caption. Every failure throws std::runtime_error.
class PictureFolder
{
public:
    // Creates the folder when it is missing.
    explicit PictureFolder (const juce::File& folder);

    const juce::File& getFolder() const noexcept { return folder; }

    // Writes NAME.png, prints its path and the caption, and returns the file.
    juce::File write (juce::Component& component, const juce::String& name, const juce::String& caption) const;

private:
    const juce::File folder;
};
