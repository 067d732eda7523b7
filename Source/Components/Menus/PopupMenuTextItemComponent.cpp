#include "Components/Menus/PopupMenuTextItemComponent.h"

PopupMenuTextItemComponent::PopupMenuTextItemComponent (juce::String rowText, int width, bool canBeChosen, bool isTicked,
                                                        juce::Image tickImage)
    : juce::PopupMenu::CustomComponent (false),
      text (std::move (rowText)),
      idealWidth (width),
      clickable (canBeChosen),
      icon (std::move (tickImage)),
      ticked (isTicked),
      alwaysActive (false)
{
    setInterceptsMouseClicks (clickable, clickable);
}

PopupMenuTextItemComponent::PopupMenuTextItemComponent (juce::String rowText, int width)
    : juce::PopupMenu::CustomComponent (false),
      text (std::move (rowText)),
      idealWidth (width),
      clickable (false),
      ticked (false),
      alwaysActive (true)
{
    setInterceptsMouseClicks (false, false);
}

void PopupMenuTextItemComponent::mouseUp (const juce::MouseEvent& e)
{
    // A release dragged off the row chooses nothing.
    if (! getLocalBounds().contains (e.getPosition()) || ! clickable)
        return;

    triggerMenuItem();
}

void PopupMenuTextItemComponent::paint (juce::Graphics& g)
{
    const juce::DrawableImage drawable (icon);
    getLookAndFeel().drawPopupMenuItem (g, getLocalBounds(), false, clickable || alwaysActive,
                                        clickable && isItemHighlighted(), ticked, false, text, {}, &drawable, nullptr);
}

void PopupMenuTextItemComponent::getIdealSize (int& width, int& height)
{
    width = idealWidth;
    height = rowHeight;
}
