#include "Components/Face/FootswitchButton.h"

void FootswitchButtonEx::paintButton (juce::Graphics& g, bool, bool shouldDrawButtonAsDown)
{
    const auto& image = (shouldDrawButtonAsDown || forceDown) ? downImage : upImage;
    if (! image.isValid())
        return;

    const auto transform = juce::RectanglePlacement (juce::RectanglePlacement::stretchToFit)
                               .getTransformToFit (image.getBounds().toFloat(), getLocalBounds().toFloat());
    g.drawImageTransformed (image, transform);
}
