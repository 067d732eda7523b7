#include "Windows/GlassOverlayComponent.h"

GlassOverlayComponent::GlassOverlayComponent()
{
    setInterceptsMouseClicks (false, false);
    setWantsKeyboardFocus (false);
}

void GlassOverlayComponent::paint (juce::Graphics& g)
{
    g.fillAll (juce::Colour (colour));
}
