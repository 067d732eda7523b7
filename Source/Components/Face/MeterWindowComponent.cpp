#include "Components/Face/MeterWindowComponent.h"

#include "Components/Face/MeterLevel.h"
#include "LookAndFeel/SpecialFonts.h"

#include <cmath>

const std::array<MeterWindowComponent::Threshold, 2> MeterWindowComponent::ThresholdTbl { {
    { MeterLevel::fromExponent (-0.15f), juce::Colour (0xFFED1C24), 2 },
    { MeterLevel::fromExponent (-0.45f), juce::Colour (0xFFFFF200), 1 },
} };

const juce::Colour MeterWindowComponent::defaultColour (0xFF666666);

MeterWindowComponent::MeterWindowComponent()
    : font (juce::Font (getFiraSansRegularFont()).withHeight (17.0f))
{
    setDisplayedPeak (0.0f);
    startTimer (holdMs);
}

MeterWindowComponent::~MeterWindowComponent()
{
    stopTimer();
}

void MeterWindowComponent::setDisplayedPeak (float peak)
{
    // A reading that is not a level shows as silence, one above full scale as full scale.
    peak = juce::jmax (MeterLevel::sanitisePeak (peak), 0.0f);

    displayedPeak = peak;

    auto newColour = defaultColour;
    auto newIndex = 0;
    for (const auto& row : ThresholdTbl)
    {
        if (peak >= row.threshold)
        {
            newColour = row.colour;
            newIndex = row.imageIndex;
            break;
        }
    }

    const auto newText = juce::String (20.0f * std::log10 (peak), 1) + " dB";

    if (newColour == colour && newIndex == imageIndex && newText == text)
        return;

    colour = newColour;
    imageIndex = newIndex;
    text = newText;
    repaint();
}

void MeterWindowComponent::timerCallback()
{
    setDisplayedPeak (latestPeak);
}

void MeterWindowComponent::paint (juce::Graphics& g)
{
    jassert (images.size() == 3);

    if (juce::isPositiveAndBelow (imageIndex, images.size()))
        g.drawImageAt (images.getReference (imageIndex), 0, 0);

    g.setColour (colour);
    g.setFont (font);
    g.drawFittedText (text, getLocalBounds().reduced (3), juce::Justification::centred, 1);
}
