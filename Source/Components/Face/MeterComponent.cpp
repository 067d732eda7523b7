#include "Components/Face/MeterComponent.h"

#include "Components/Face/MeterLevel.h"

const std::array<MeterComponent::Segment, 10> MeterComponent::SegmentTbl { {
    { MeterLevel::fromExponent (-0.05f), 2 },
    { MeterLevel::fromExponent (-0.15f), 2 },
    { MeterLevel::fromExponent (-0.3f), 1 },
    { MeterLevel::fromExponent (-0.45f), 1 },
    { MeterLevel::fromExponent (-0.6f), 0 },
    { MeterLevel::fromExponent (-0.9f), 0 },
    { MeterLevel::fromExponent (-1.2f), 0 },
    { MeterLevel::fromExponent (-1.5f), 0 },
    { MeterLevel::fromExponent (-1.8f), 0 },
    { MeterLevel::fromExponent (-2.4f), 0 },
} };

void MeterComponent::paint (juce::Graphics& g)
{
    jassert (offImages.size() == 3 && onImages.size() == 3);

    int y = 0;
    for (const auto& segment : SegmentTbl)
    {
        const auto& images = level >= segment.threshold ? onImages : offImages;
        const auto image = images[segment.colourIndex];
        g.drawImageAt (image, 0, y);
        y += image.getHeight() - 1;
    }
}
