#include "Components/Menus/PopupMenuLineComponent.h"

PopupMenuLineComponent::PopupMenuLineComponent (int idealWidth)
    : juce::PopupMenu::CustomComponent (true), width (idealWidth)
{
}

void PopupMenuLineComponent::paint (juce::Graphics& g)
{
    g.fillAll (juce::Colour (0x4CFFFFFF));
}

void PopupMenuLineComponent::getIdealSize (int& idealWidth, int& idealHeight)
{
    idealWidth = width;
    idealHeight = 1;
}
