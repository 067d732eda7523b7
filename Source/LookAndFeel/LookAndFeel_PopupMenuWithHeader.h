#pragma once

#include "LookAndFeel/LookAndFeel_PopupMenu.h"

// The device menu's style: its outline leaves the last 30 pixels of the top edge
// open, where the open settings button joins the menu; it also draws that
// button's border, open at the bottom.
class LookAndFeel_PopupMenuWithHeader : public LookAndFeel_PopupMenu
{
public:
    void drawPopupMenuBackground (juce::Graphics&, int width, int height) override;
    virtual void drawPopupMenuButtonBorder (juce::Graphics&, int width, int height);
};
