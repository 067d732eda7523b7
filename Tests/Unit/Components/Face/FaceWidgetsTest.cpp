#include "Components/Face/FootswitchButton.h"
#include "Components/Face/ImageSelector.h"
#include "Components/Face/MeterComponent.h"
#include "Components/Face/MeterWindowComponent.h"
#include "Components/Face/MultiImageComponent.h"
#include "Components/Face/SliderComponent.h"
#include "Support/Drawing.h"

#include <gtest/gtest.h>

#include <limits>

namespace
{
const juce::Colour unlit[] = { juce::Colour (0xFF001100), juce::Colour (0xFF110000), juce::Colour (0xFF000011) };
const juce::Colour lit[] = { juce::Colour (0xFF00FF00), juce::Colour (0xFFFFAA00), juce::Colour (0xFFFF0000) };

// A meter whose segment pictures are plain colours, so that its rows can be read.
struct Meter : testing::Test
{
    Meter()
    {
        for (int i = 0; i < 3; ++i)
        {
            meter.offImages.add (solidImage (28, 13, unlit[i]));
            meter.onImages.add (solidImage (28, 13, lit[i]));
        }
        meter.setSize (29, 122);
    }

    // How many segments are lit, checking each one's colour on the way.
    int litSegments (float level)
    {
        meter.level = level;
        const auto image = snapshot (meter);
        int count = 0;
        for (int row = 0; row < 10; ++row)
        {
            const auto& segment = MeterComponent::SegmentTbl[(size_t) row];
            const auto pixel = image.getPixelAt (14, row * 12 + 6);
            const auto on = pixel == lit[segment.colourIndex];
            EXPECT_TRUE (on || pixel == unlit[segment.colourIndex]) << "row " << row;
            count += on ? 1 : 0;
        }
        return count;
    }

    MeterComponent meter;
};

} // namespace

TEST_F (Meter, SegmentThresholdsAndColours)
{
    const float decibels[] = { -1, -3, -6, -9, -12, -18, -24, -30, -36, -48 };
    const int colours[] = { 2, 2, 1, 1, 0, 0, 0, 0, 0, 0 };
    for (size_t row = 0; row < 10; ++row)
    {
        EXPECT_NEAR (MeterComponent::SegmentTbl[row].threshold, std::pow (10.0f, decibels[row] / 20.0f), 1.0e-6f);
        EXPECT_EQ (MeterComponent::SegmentTbl[row].colourIndex, colours[row]);
    }
    EXPECT_FLOAT_EQ (MeterComponent::SegmentTbl[0].threshold, 0.8912509f);
    EXPECT_NEAR (MeterComponent::SegmentTbl[9].threshold, 0.0039811f, 1.0e-7f);
}

TEST_F (Meter, ALevelLightsEverySegmentItReaches)
{
    EXPECT_EQ (litSegments (0.0f), 0);
    EXPECT_EQ (litSegments (1.0f), 10);
    EXPECT_EQ (litSegments (4.0f), 10);
    EXPECT_EQ (litSegments (MeterComponent::SegmentTbl[4].threshold), 6); // exactly at -12 dB
    EXPECT_EQ (litSegments (std::nextafter (MeterComponent::SegmentTbl[4].threshold, 0.0f)), 5);
    EXPECT_EQ (litSegments (MeterComponent::SegmentTbl[0].threshold), 10);
    EXPECT_EQ (litSegments (std::numeric_limits<float>::quiet_NaN()), 0);
    EXPECT_EQ (litSegments (-1.0f), 0);
}

TEST_F (Meter, StacksSegmentsWithOneRowOverlapAndSurvivesMissingPictures)
{
    meter.level = 1.0f;
    auto image = snapshot (meter);
    EXPECT_EQ (image.getPixelAt (14, 120), lit[0]); // 10 segments of 13 rows, 121 rows in all
    EXPECT_EQ (image.getPixelAt (14, 121).getAlpha(), 0);

    // With the red pictures missing, the wrong count is logged and the rest is drawn.
    meter.onImages.removeLast();
    meter.offImages.removeLast();
    image = snapshot (meter);
    EXPECT_EQ (image.getPixelAt (14, 4), lit[1]);
    EXPECT_EQ (image.getPixelAt (14, 90), lit[0]);
}

TEST (MeterWindow, ThresholdsColoursPicturesAndText)
{
    MeterWindowComponent window;
    for (auto colour : { juce::Colours::grey, juce::Colours::orange, juce::Colours::red })
        window.images.add (solidImage (60, 24, colour));

    struct Case
    {
        float peak;
        std::uint32_t colour;
        int image;
        const char* text;
    };

    const auto red = MeterWindowComponent::ThresholdTbl[0].threshold;
    const auto amber = MeterWindowComponent::ThresholdTbl[1].threshold;
    EXPECT_FLOAT_EQ (red, 0.7079458f);
    EXPECT_FLOAT_EQ (amber, 0.3548134f);

    const Case cases[] = {
        { red, 0xFFED1C24, 2, "-3.0 dB" },
        { std::nextafter (red, 0.0f), 0xFFFFF200, 1, "-3.0 dB" },
        { amber, 0xFFFFF200, 1, "-9.0 dB" },
        { 0.3f, 0xFF666666, 0, "-10.5 dB" },
        { 1.0f, 0xFFED1C24, 2, "0.0 dB" },
        { 3.0f, 0xFFED1C24, 2, "0.0 dB" },                                       // above full scale reads full scale
        { std::numeric_limits<float>::infinity(), 0xFFED1C24, 2, "0.0 dB" },
        { std::numeric_limits<float>::quiet_NaN(), 0xFF666666, 0, "-inf dB" },   // not a level: silence
        { -0.5f, 0xFF666666, 0, "-inf dB" },
        { 0.0f, 0xFF666666, 0, "-inf dB" },
    };

    for (const auto& c : cases)
    {
        window.setDisplayedPeak (c.peak);
        EXPECT_EQ (window.getColour().getARGB(), c.colour) << c.peak;
        EXPECT_EQ (window.getImageIndex(), c.image) << c.peak;
        EXPECT_EQ (window.getText(), c.text) << c.peak;
    }

    window.setSize (60, 24);
    window.setDisplayedPeak (0.8f);
    EXPECT_EQ (snapshot (window).getPixelAt (2, 2), juce::Colours::red);
}

TEST (MeterWindow, HoldsTheDisplayedPeakThenFallsBackToTheLatest)
{
    MeterWindowComponent window;
    EXPECT_EQ (window.getHoldInterval(), MeterWindowComponent::holdMs);
    EXPECT_EQ (window.getText(), "-inf dB");

    window.setDisplayedPeak (0.5f);
    window.latestPeak = 0.1f;
    EXPECT_FLOAT_EQ (window.getDisplayedPeak(), 0.5f);

    window.timerCallback();
    EXPECT_FLOAT_EQ (window.getDisplayedPeak(), 0.1f);
    EXPECT_EQ (window.getText(), "-20.0 dB");
    EXPECT_EQ (window.getHoldInterval(), MeterWindowComponent::holdMs); // keeps ticking
}

TEST (MultiImage, ShowsTheIndexedPictureClampedToTheLast)
{
    MultiImageComponent light;
    const auto a = solidImage (4, 4, juce::Colours::red), b = solidImage (4, 4, juce::Colours::green),
               c = solidImage (4, 4, juce::Colours::blue);
    light.images.addArray ({ a, b, c });

    struct Case
    {
        int index;
        juce::Image expected;
    };

    for (const auto& [index, expected] : { Case { 0, a }, Case { 1, b }, Case { 2, c }, Case { 5, c }, Case { -1, {} } })
    {
        light.index = index;
        light.updateImage();
        EXPECT_EQ (light.getImage(), expected) << index;
    }

    light.images.clear();
    light.index = 0;
    light.updateImage();
    EXPECT_FALSE (light.getImage().isValid());
}

TEST (Footswitch, ForcedDownShowsThePressedPictureWhateverTheMouse)
{
    FootswitchButtonEx footswitch;
    footswitch.upImage = solidImage (108, 84, juce::Colours::white);
    footswitch.downImage = solidImage (54, 42, juce::Colours::black); // stretched to fit
    footswitch.setSize (108, 84);

    EXPECT_EQ (snapshot (footswitch).getPixelAt (100, 80), juce::Colours::white);
    footswitch.forceDown = true;
    EXPECT_EQ (snapshot (footswitch).getPixelAt (100, 80), juce::Colours::black);

    footswitch.downImage = {};
    EXPECT_EQ (snapshot (footswitch).getPixelAt (50, 40).getAlpha(), 0);
}

TEST (ValueSlider, ShowsItsNameAtRestAndItsValueUnderThePointer)
{
    SliderComponent slider;
    slider.setTextBoxStyle (juce::Slider::TextBoxBelow, true, 40, 20);
    slider.setRange (0.0, 127.0, 1.0);
    slider.setValue (64.0, juce::dontSendNotification);
    slider.setTextValueSuffix (" units");
    slider.labelText = "MIX";
    slider.valueColour = juce::Colour (0xFF6DFF00);

    auto* label = slider.getLabel();
    ASSERT_NE (label, nullptr);

    const juce::MouseEvent event (juce::Desktop::getInstance().getMainMouseSource(), {}, {}, 0.0f, 0.0f, 0.0f, 0.0f, 0.0f,
                                  &slider, &slider, juce::Time(), {}, juce::Time(), 1, false);

    // Without the hover display, the pointer changes nothing.
    slider.updateLabel();
    slider.mouseEnter (event);
    EXPECT_EQ (label->getText(), "MIX");
    EXPECT_EQ (label->getFont().getTypefaceStyle(), "Regular");

    slider.valueOnHover = true;
    slider.mouseEnter (event);
    EXPECT_EQ (label->getText(), "64 units");
    EXPECT_EQ (label->getFont().getTypefaceStyle(), "Bold");
    EXPECT_NEAR (label->getFont().getHeightInPoints(), 12.0f, 0.001f);
    EXPECT_EQ (label->findColour (juce::Label::textColourId).getARGB(), 0xFF6DFF00u);

    slider.mouseExit (event);
    EXPECT_EQ (label->getText(), "MIX");
    EXPECT_EQ (label->getFont().getTypefaceStyle(), "Regular");
    EXPECT_EQ (label->findColour (juce::Label::textColourId).getARGB(), 0xFFFFFFFFu);
    EXPECT_EQ (label->findColour (juce::Label::outlineColourId).getARGB(), 0u);

    slider.setTextBoxStyle (juce::Slider::NoTextBox, true, 0, 0);
    EXPECT_EQ (slider.getLabel(), nullptr);
    slider.updateLabel();
}

TEST (PictureLoading, MissingOrBrokenDataGivesNoPicture)
{
    const char broken[] = "not a picture";
    EXPECT_TRUE (ImageSelector::GetImages ({}).isEmpty());

    const auto images = ImageSelector::GetImages ({ { nullptr, 0, nullptr, 0 }, { broken, (int) sizeof (broken), nullptr, 0 },
                                                    { broken, -5, nullptr, 0 } });
    ASSERT_EQ (images.size(), 3);
    for (const auto& image : images)
        EXPECT_FALSE (image.isValid());
}
