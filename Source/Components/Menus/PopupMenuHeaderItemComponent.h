#pragma once

#include <juce_gui_basics/juce_gui_basics.h>

// A heading in a menu, in a font of its own; the text is the component's name.
// A click on it does nothing and leaves the menu open.
class PopupMenuHeaderItemComponent : public juce::PopupMenu::CustomComponent
{
public:
    PopupMenuHeaderItemComponent (const juce::String& text, juce::Font font);

    void paint (juce::Graphics& g) override;
    void getIdealSize (int& idealWidth, int& idealHeight) override;

    const juce::Font font;
};
