#include "LookAndFeel/LookAndFeel_Fader.h"
#include "LookAndFeel/LookAndFeel_Slider.h"
#include "Support/Drawing.h"

#include <gtest/gtest.h>

namespace
{
const juce::Colour red (0xFFFF0000);

struct FaderStyle : testing::Test
{
    FaderStyle()
    {
        style.capImage = solidImage (75, 100, red);
        slider.setSliderStyle (juce::Slider::LinearVertical);
        slider.setLookAndFeel (&style);
        slider.setSize (75, 300);
    }

    ~FaderStyle() override { slider.setLookAndFeel (nullptr); }

    juce::Image drawAt (float sliderPos)
    {
        return paintImage (75, 300, [this, sliderPos] (juce::Graphics& g)
                           { style.drawLinearSlider (g, 0, 0, 75, 300, sliderPos, 0, 0, juce::Slider::LinearVertical, slider); });
    }

    LookAndFeel_Fader style;
    juce::Slider slider;
};
} // namespace

TEST_F (FaderStyle, TravelIsInsetByHalfACapAndTheTextBoxSitsAtTheBottom)
{
    slider.setTextBoxStyle (juce::Slider::NoTextBox, true, 0, 0);
    auto layout = style.getSliderLayout (slider);
    EXPECT_EQ (layout.sliderBounds, juce::Rectangle<int> (0, 50, 75, 200));
    EXPECT_TRUE (layout.textBoxBounds.isEmpty());

    slider.setTextBoxStyle (juce::Slider::TextBoxAbove, true, 20, 20);
    layout = style.getSliderLayout (slider);
    EXPECT_EQ (layout.sliderBounds, juce::Rectangle<int> (0, 50, 75, 200)); // not shortened by the box
    EXPECT_EQ (layout.textBoxBounds, juce::Rectangle<int> (0, 280, 75, 20));

    slider.setTextBoxStyle (juce::Slider::TextBoxBelow, true, 20, 500);
    EXPECT_EQ (style.getSliderLayout (slider).textBoxBounds, juce::Rectangle<int> (0, 0, 75, 300));

    // The value box starts in bold Fira Sans at 17.
    auto* box = dynamic_cast<juce::Label*> (slider.getChildComponent (0));
    ASSERT_NE (box, nullptr);
    EXPECT_EQ (box->getFont().getTypefaceName(), "Fira Sans");
    EXPECT_EQ (box->getFont().getTypefaceStyle(), "Bold");
    EXPECT_FLOAT_EQ (box->getFont().getHeight(), 17.0f);
}

TEST_F (FaderStyle, CapIsDrawnCentredOnThePositionTruncated)
{
    struct Case
    {
        float sliderPos;
        int top;
    };

    for (const auto& c : { Case { 250.0f, 200 }, Case { 50.0f, 0 }, Case { 123.7f, 73 } })
    {
        const auto image = drawAt (c.sliderPos);
        EXPECT_EQ (argb (image, 10, c.top), red.getARGB()) << c.sliderPos;
        EXPECT_EQ (argb (image, 74, c.top + 99), red.getARGB()) << c.sliderPos;
        if (c.top > 0)
        {
            EXPECT_EQ (argb (image, 10, c.top - 1), 0u) << c.sliderPos;
        }
        if (c.top + 100 < 300)
        {
            EXPECT_EQ (argb (image, 10, c.top + 100), 0u) << c.sliderPos;
        }
    }
}

TEST_F (FaderStyle, WithoutACapTheWholeSliderTravelsAndNothingIsDrawn)
{
    style.capImage = {};
    slider.setTextBoxStyle (juce::Slider::NoTextBox, true, 0, 0);
    EXPECT_EQ (style.getSliderLayout (slider).sliderBounds, juce::Rectangle<int> (0, 0, 75, 300));

    const auto image = drawAt (150.0f);
    for (int y = 0; y < 300; y += 10)
        EXPECT_EQ (argb (image, 37, y), 0u);
}

TEST (KnobStyle, KnobStretchesOverTheSliderAndTheMarkerTurnsAboutItsCentre)
{
    LookAndFeel_Slider style;
    EXPECT_EQ (style.findColour (juce::Slider::trackColourId).getARGB(), 0u);
    EXPECT_EQ (style.findColour (juce::Slider::thumbColourId).getARGB(), 0u);

    // A marker with one dot straight above the centre.
    style.markerImage = paintImage (100, 100, [] (juce::Graphics& g)
                                    { g.setColour (red); g.fillRect (48, 8, 5, 5); });

    juce::Slider slider;
    slider.setSize (100, 100);
    const auto pi = juce::MathConstants<float>::pi;
    const auto draw = [&] (float proportion)
    {
        return paintImage (100, 100, [&] (juce::Graphics& g) { style.drawRotarySlider (g, 0, 0, 100, 100, proportion, 0.0f, pi, slider); });
    };

    EXPECT_EQ (argb (draw (0.0f), 50, 10), red.getARGB());
    EXPECT_EQ (argb (draw (0.5f), 90, 50), red.getARGB());
    EXPECT_EQ (argb (draw (1.0f), 50, 90), red.getARGB());
    EXPECT_EQ (argb (draw (0.5f), 50, 10), 0u);

    // Neither picture: nothing at all.
    style.markerImage = {};
    EXPECT_EQ (argb (draw (0.5f), 50, 50), 0u);

    const juce::Colour blue (0xFF0000FF);
    style.knobImage = solidImage (100, 100, blue);
    slider.setSize (200, 100);
    slider.setTextBoxStyle (juce::Slider::NoTextBox, true, 0, 0);
    const auto wide = paintImage (200, 100, [&] (juce::Graphics& g) { style.drawRotarySlider (g, 0, 0, 200, 100, 0.0f, 0.0f, pi, slider); });
    EXPECT_EQ (argb (wide, 198, 50), blue.getARGB());
    EXPECT_EQ (style.getSliderLayout (slider).sliderBounds, juce::Rectangle<int> (0, 0, 200, 100));
    EXPECT_TRUE (style.getSliderLayout (slider).textBoxBounds.isEmpty());
}
