#pragma once

#include <juce_gui_basics/juce_gui_basics.h>

#include <array>

// A ten-segment bar meter drawn from pictures: each segment shows its lit
// picture when the level reaches its threshold.
class MeterComponent : public juce::Component
{
public:
    struct Segment
    {
        float threshold; // linear amplitude
        int colourIndex; // 0 green, 1 amber, 2 red
    };

    // Top segment first: -1, -3, -6, -9, -12, -18, -24, -30, -36 and -48 dB.
    static const std::array<Segment, 10> SegmentTbl;

    void paint (juce::Graphics&) override;

    float level = 0.0f;
    juce::Array<juce::Image> offImages;
    juce::Array<juce::Image> onImages;
};
