#pragma once

#include <juce_gui_basics/juce_gui_basics.h>

// A thin line across a menu. A click on it closes the menu with its item id.
class PopupMenuLineComponent : public juce::PopupMenu::CustomComponent
{
public:
    // What a screen reader says for it: the menu can choose it, so it needs a name.
    static constexpr const char* accessibleTitle = "Separator";

    explicit PopupMenuLineComponent (int idealWidth);

    void paint (juce::Graphics& g) override;
    void getIdealSize (int& idealWidth, int& idealHeight) override;

    const int width;
};
