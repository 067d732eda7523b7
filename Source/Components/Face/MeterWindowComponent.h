#pragma once

#include <juce_gui_basics/juce_gui_basics.h>

#include <array>

// The peak readout above the meters: the held peak in dB over a picture whose
// tint, like the text colour, warns as the peak nears full scale. A new maximum
// stays on display until two seconds pass without a higher one.
class MeterWindowComponent : public juce::Component,
                             private juce::Timer
{
public:
    struct Threshold
    {
        float threshold; // linear amplitude
        juce::Colour colour;
        int imageIndex; // 0 normal, 1 amber, 2 red
    };

    // -3 dB (red), then -9 dB (amber); below both the default colour and picture 0.
    static const std::array<Threshold, 2> ThresholdTbl;
    static const juce::Colour defaultColour;
    static constexpr int holdMs = 2000;

    MeterWindowComponent();
    ~MeterWindowComponent() override;

    void setDisplayedPeak (float peak);
    void paint (juce::Graphics&) override;

    // Restarts the hold: the displayed peak falls back to the latest one holdMs from now.
    void restartHold() { startTimer (holdMs); }

    // The hold's period while it runs, else 0.
    int getHoldInterval() const noexcept { return isTimerRunning() ? getTimerInterval() : 0; }

    float getDisplayedPeak() const noexcept { return displayedPeak; }
    const juce::String& getText() const noexcept { return text; }
    juce::Colour getColour() const noexcept { return colour; }
    int getImageIndex() const noexcept { return imageIndex; }

    float latestPeak = 0.0f;
    juce::Array<juce::Image> images;

    void timerCallback() override;

private:
    float displayedPeak = 0.0f;
    juce::String text;
    juce::Font font;
    juce::Colour colour { defaultColour };
    int imageIndex = 0;
};
