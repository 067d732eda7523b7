#include "LookAndFeel/LookAndFeel_HighlightButton.h"

#include "LookAndFeel/SpecialFonts.h"

#include <cmath>

void LookAndFeel_HighlightButton::drawButtonBackground (juce::Graphics& g, juce::Button& button, const juce::Colour& backgroundColour,
                                                        bool highlighted, bool down)
{
    const auto bounds = button.getLocalBounds().toFloat().reduced (0.5f);
    const auto enabled = button.isEnabled();
    const auto factor = ! enabled ? 0.01 : down ? 0.8 : highlighted ? 0.5 : 0.15;
    const auto tint = juce::jmin (255, (int) std::nearbyint (backgroundColour.getAlpha() * factor));

    g.setColour (juce::Colour (0xCC201717));
    g.fillRoundedRectangle (bounds, 6.0f);
    g.setColour (backgroundColour.withAlpha ((juce::uint8) tint));
    g.fillRoundedRectangle (bounds, 6.0f);
    g.setColour (button.findColour (enabled ? juce::TextButton::textColourOnId : juce::TextButton::textColourOffId));
    g.drawRoundedRectangle (bounds, 6.0f, 1.5f);
}

juce::Font LookAndFeel_HighlightButton::getTextButtonFont (juce::TextButton&, int buttonHeight)
{
    return juce::Font (getFiraSansRegularFont()).withHeight (juce::jmin ((float) buttonHeight * 0.6f, 18.0f));
}
