#pragma once

#include <juce_gui_basics/juce_gui_basics.h>

// The editor's popup menus: dark, rounded, a thin light outline, light Fira Sans
// rows with rounded highlights and a two-tone separator.
class LookAndFeel_PopupMenu : public juce::LookAndFeel_V4
{
public:
    LookAndFeel_PopupMenu();

    juce::Font getTextButtonFont (juce::TextButton& button, int buttonHeight) override;
    void drawButtonText (juce::Graphics&, juce::TextButton&, bool shouldDrawButtonAsHighlighted, bool shouldDrawButtonAsDown) override;
    void drawPopupMenuBackground (juce::Graphics&, int width, int height) override;
    void drawPopupMenuItem (juce::Graphics&, const juce::Rectangle<int>& area, bool isSeparator, bool isActive,
                            bool isHighlighted, bool isTicked, bool hasSubMenu, const juce::String& text,
                            const juce::String& shortcutKeyText, const juce::Drawable* icon,
                            const juce::Colour* textColour) override;
    juce::Font getPopupMenuFont() override;
    void drawPopupMenuUpDownArrow (juce::Graphics&, int width, int height, bool isScrollUpArrow) override;
    void getIdealPopupMenuItemSize (const juce::String& text, bool isSeparator, int standardMenuItemHeight,
                                    int& idealWidth, int& idealHeight) override;
    int getPopupMenuBorderSize() override;

protected:
    // The outline colour of the menu's edges: the text colour at alpha 0xCC.
    juce::Colour getOutlineColour() const;

    juce::Font menuFont;
};
