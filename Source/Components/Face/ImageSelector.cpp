#include "Components/Face/ImageSelector.h"

juce::Image ImageSelector::getImage() const
{
    // The cache keys on the address: a missing picture must not reach it.
    if (data1x == nullptr || size1x <= 0)
        return {};

    return juce::ImageCache::getFromMemory (data1x, size1x);
}

juce::Array<juce::Image> ImageSelector::GetImages (std::initializer_list<ImageSelector> list)
{
    juce::Array<juce::Image> images;
    for (const auto& selector : list)
        images.add (selector.getImage());
    return images;
}
