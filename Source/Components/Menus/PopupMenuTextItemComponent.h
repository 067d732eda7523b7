#pragma once

#include <juce_gui_basics/juce_gui_basics.h>

// A text row of a menu, drawn by the menu's style. A choosable row may carry a
// tick image and be clickable or not; only a mouse release on a clickable row
// chooses it, never the menu's own triggering. An information row is drawn at
// full strength and can never be chosen.
class PopupMenuTextItemComponent : public juce::PopupMenu::CustomComponent
{
public:
    static constexpr int rowHeight = 27;

    // A choosable row.
    PopupMenuTextItemComponent (juce::String text, int idealWidth, bool clickable, bool ticked, juce::Image icon);

    // An information row.
    PopupMenuTextItemComponent (juce::String text, int idealWidth);

    void mouseUp (const juce::MouseEvent& e) override;
    void paint (juce::Graphics& g) override;
    void getIdealSize (int& idealWidth, int& idealHeight) override;

    const juce::String text;
    const int idealWidth;
    const bool clickable;
    const juce::Image icon;
    const bool ticked;
    const bool alwaysActive;
};
