#pragma once

#include <juce_gui_basics/juce_gui_basics.h>

// A thin line across a menu. A click on it closes the menu with its item id.
class PopupMenuLineComponent : public juce::PopupMenu::CustomComponent
{
public:
    explicit PopupMenuLineComponent (int idealWidth);

    void paint (juce::Graphics& g) override;
    void getIdealSize (int& idealWidth, int& idealHeight) override;

    const int width;
};
