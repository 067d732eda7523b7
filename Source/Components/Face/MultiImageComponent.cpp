#include "Components/Face/MultiImageComponent.h"

void MultiImageComponent::updateImage()
{
    const auto i = index < images.size() ? index : images.size() - 1;
    const auto image = juce::isPositiveAndBelow (i, images.size()) ? images[i] : juce::Image();

    if (image != getImage())
    {
        setImage (image);
        repaint();
    }
}
