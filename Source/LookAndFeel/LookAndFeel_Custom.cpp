#include "LookAndFeel/LookAndFeel_Custom.h"

#include "LookAndFeel/SpecialFonts.h"

namespace
{
juce::Font firaSans (const juce::Font& face, float height)
{
    return juce::Font (face).withHeight (height);
}
} // namespace

const juce::LookAndFeel_V4::ColourScheme LookAndFeel_Custom::colourScheme {
    0xFF201717, // windowBackground
    0xFF201717, // widgetBackground
    0xFF201717, // menuBackground
    0xCCFFFFFF, // outline
    0xF3FFFFFF, // defaultText
    0xFFBBBBFF, // defaultFill
    0xF3FFFFFF, // highlightedText
    0x4CFFFFFF, // highlightedFill
    0xF3FFFFFF  // menuText
};

LookAndFeel_Custom::LookAndFeel_Custom() : juce::LookAndFeel_V4 (colourScheme)
{
    const auto background = getCurrentColourScheme().getUIColour (ColourScheme::widgetBackground);

    setColour (juce::TextButton::buttonColourId, background);
    setColour (juce::TextButton::buttonOnColourId, background);
    setColour (juce::TextButton::textColourOffId, juce::Colours::white.withAlpha ((juce::uint8) 0x4C));
    setColour (juce::ComboBox::outlineColourId, background.brighter (0.6f));
    setColour (juce::ComboBox::focusedOutlineColourId, juce::Colour (0xFFBBBBFF));
    setColour (juce::TextEditor::focusedOutlineColourId, juce::Colour (0xFFBBBBFF));
    setColour (juce::TextEditor::highlightColourId, juce::Colour (0xFF966BD9));
    setColour (juce::ProgressBar::backgroundColourId, background.brighter (0.7f));
    setColour (juce::ProgressBar::foregroundColourId, background.brighter (0.3f));
    setColour (juce::TooltipWindow::backgroundColourId, background.brighter (0.1f));
    setColour (juce::TooltipWindow::outlineColourId, background.brighter (0.7f));
}

void LookAndFeel_Custom::drawButtonBackground (juce::Graphics& g, juce::Button& button, const juce::Colour& backgroundColour,
                                               bool highlighted, bool down)
{
    const auto bounds = button.getLocalBounds().toFloat().reduced (0.5f);

    auto base = backgroundColour.withMultipliedSaturation (button.hasKeyboardFocus (true) ? 1.3f : 0.9f)
                    .withMultipliedAlpha (button.isEnabled() ? 1.0f : 0.5f);

    if (down || highlighted)
        base = base.contrasting (down ? 0.5f : 0.25f);

    g.setColour (base);
    g.fillRoundedRectangle (bounds, 3.0f);

    g.setColour (button.findColour (button.isEnabled() ? juce::TextButton::textColourOnId : juce::TextButton::textColourOffId));
    g.drawRoundedRectangle (bounds, 3.0f, 1.5f);
}

juce::Font LookAndFeel_Custom::getTextButtonFont (juce::TextButton&, int buttonHeight)
{
    return firaSans (getFiraSansLightFont(), juce::jmin ((float) buttonHeight * 0.6f, 18.0f));
}

int LookAndFeel_Custom::getAlertWindowButtonHeight()
{
    return 28;
}

juce::Font LookAndFeel_Custom::getAlertWindowTitleFont()
{
    return firaSans (getFiraSansMediumFont(), 22.0f);
}

juce::Font LookAndFeel_Custom::getAlertWindowMessageFont()
{
    return firaSans (getFiraSansRegularFont(), 18.0f);
}

juce::Font LookAndFeel_Custom::getAlertWindowFont()
{
    return firaSans (getFiraSansLightFont(), 17.0f);
}

void LookAndFeel_Custom::drawPopupMenuBackground (juce::Graphics& g, int width, int height)
{
    g.setColour (findColour (juce::PopupMenu::backgroundColourId));
    g.fillRect (0, 0, width, height);

    g.setColour (findColour (juce::PopupMenu::textColourId).withAlpha ((juce::uint8) 0x99));
    g.drawRect (juce::Rectangle<float> (0.0f, 0.0f, (float) width, (float) height), 1.0f);
}

juce::Font LookAndFeel_Custom::getPopupMenuFont()
{
    return firaSans (getFiraSansLightFont(), 17.0f);
}

juce::Font LookAndFeel_Custom::getComboBoxFont (juce::ComboBox&)
{
    return firaSans (getFiraSansLightFont(), 17.0f);
}

void LookAndFeel_Custom::drawTooltip (juce::Graphics& g, const juce::String& text, int width, int height)
{
    g.setFont (firaSans (getFiraSansLightFont(), (float) height * 0.8f));

    g.setColour (findColour (juce::TooltipWindow::backgroundColourId));
    g.fillRect (0, 0, width, height);

    g.setColour (findColour (juce::TooltipWindow::outlineColourId));
    g.drawRect (juce::Rectangle<float> (0.5f, 0.5f, (float) juce::jmax (width - 1, 0), (float) juce::jmax (height - 1, 0)), 1.0f);

    g.setColour (findColour (juce::TooltipWindow::textColourId));
    g.drawFittedText (text, 0, 0, width, height, juce::Justification::centred, 1, 0.0f);
}
