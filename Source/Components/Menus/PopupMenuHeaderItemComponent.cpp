#include "Components/Menus/PopupMenuHeaderItemComponent.h"

PopupMenuHeaderItemComponent::PopupMenuHeaderItemComponent (const juce::String& text, juce::Font headerFont)
    : juce::PopupMenu::CustomComponent (false), font (std::move (headerFont))
{
    setName (text);
}

void PopupMenuHeaderItemComponent::paint (juce::Graphics& g)
{
    g.setFont (font);
    g.setColour (findColour (juce::PopupMenu::headerTextColourId));

    auto area = getLocalBounds().reduced (1);
    area.removeFromLeft (juce::jmin (8, area.getWidth()));
    g.drawFittedText (getName(), area, juce::Justification::centredLeft, 1, 0.0f);
}

// Measured with the menu's own font, then made a quarter wider and half again as high.
void PopupMenuHeaderItemComponent::getIdealSize (int& idealWidth, int& idealHeight)
{
    int w = 0, h = 0;
    getLookAndFeel().getIdealPopupMenuItemSize (getName(), false, -1, w, h);
    idealWidth = w + w / 4;
    idealHeight = h + h / 2;
}
