#include "LookAndFeel/LookAndFeel_PopupMenu.h"

#include "LookAndFeel/SpecialFonts.h"

#include <cmath>

LookAndFeel_PopupMenu::LookAndFeel_PopupMenu()
{
    setColour (juce::PopupMenu::backgroundColourId, juce::Colour (0xFF201717));
    setColour (juce::PopupMenu::textColourId, juce::Colour (0xFFFFFFFF));
    setColour (juce::PopupMenu::headerTextColourId, juce::Colour (0xFFFFFFFF));
    setColour (juce::PopupMenu::highlightedBackgroundColourId, juce::Colour (0x4CFFFFFF));
    setColour (juce::PopupMenu::highlightedTextColourId, juce::Colour (0xFFFFFFFF));
    setColour (juce::TextButton::textColourOnId, juce::Colour (0xFFFFFFFF));
    setColour (juce::TextButton::textColourOffId, juce::Colour (0xFFFFFFFF));
    setColour (juce::TextButton::buttonColourId, juce::Colour (0x00FFFFFF));
    setColour (juce::TextButton::buttonOnColourId, juce::Colour (0x00FFFFFF));
    setColour (juce::ComboBox::outlineColourId, juce::Colour (0x00FFFFFF));
    menuFont = getFiraSansLightFont();
}

juce::Colour LookAndFeel_PopupMenu::getOutlineColour() const
{
    return findColour (juce::PopupMenu::textColourId).withAlpha ((juce::uint8) 0xCC);
}

juce::Font LookAndFeel_PopupMenu::getTextButtonFont (juce::TextButton& button, int buttonHeight)
{
    const auto italic = (bool) button.getProperties().getWithDefault ("italic", false);
    auto font = italic ? getFiraSansLightItalicFont() : getFiraSansLightFont();
    return font.withHeight (juce::jmin ((float) buttonHeight * 0.8f, 17.0f));
}

void LookAndFeel_PopupMenu::drawButtonText (juce::Graphics& g, juce::TextButton& button, bool, bool)
{
    const auto font = getTextButtonFont (button, button.getHeight());
    g.setFont (font);
    g.setColour (button.findColour (button.getToggleState() ? juce::TextButton::textColourOnId : juce::TextButton::textColourOffId)
                     .withMultipliedAlpha (button.isEnabled() ? 1.0f : 0.5f));

    const auto yIndent = juce::jmin (4, juce::roundToInt ((float) button.getHeight() * 0.3f));
    const auto cornerSize = juce::jmin (button.getHeight(), button.getWidth()) / 2;
    const auto fontHeight = juce::roundToInt (font.getHeight() * 0.6f);
    const auto leftIndent = juce::jmin (fontHeight, 2 + cornerSize / (button.isConnectedOnLeft() ? 4 : 2));
    const auto rightIndent = juce::jmin (fontHeight, 2 + cornerSize / (button.isConnectedOnRight() ? 4 : 2));
    const auto textWidth = button.getWidth() - leftIndent - rightIndent;

    if (textWidth > 0)
        g.drawFittedText (button.getButtonText(), leftIndent, yIndent, textWidth, button.getHeight() - yIndent * 2,
                          juce::Justification::left, 2, 0.0f);
}

void LookAndFeel_PopupMenu::drawPopupMenuBackground (juce::Graphics& g, int width, int height)
{
    const juce::Rectangle<float> bounds (0.0f, 0.0f, (float) width, (float) height);
    g.setColour (findColour (juce::PopupMenu::backgroundColourId));
    g.fillRoundedRectangle (bounds, 6.0f);
    g.setColour (getOutlineColour());
    g.drawRoundedRectangle (bounds, 6.0f, 2.0f);
}

void LookAndFeel_PopupMenu::drawPopupMenuItem (juce::Graphics& g, const juce::Rectangle<int>& area, bool isSeparator,
                                               bool isActive, bool isHighlighted, bool isTicked, bool hasSubMenu,
                                               const juce::String& text, const juce::String&, const juce::Drawable* icon,
                                               const juce::Colour* textColour)
{
    if (isSeparator)
    {
        auto r = area.reduced (5, 0);
        r.removeFromTop (area.getHeight() / 2 - 1);
        g.setColour (juce::Colour (0x33000000));
        g.fillRect (r.removeFromTop (1));
        g.setColour (juce::Colour (0x66FFFFFF));
        g.fillRect (r.removeFromTop (1));
        return;
    }

    auto colour = textColour != nullptr ? *textColour : findColour (juce::PopupMenu::textColourId);
    auto r = area.reduced (1);

    if (isHighlighted)
    {
        g.setColour (findColour (juce::PopupMenu::highlightedBackgroundColourId));
        g.fillRoundedRectangle (r.toFloat(), 3.0f);
        colour = findColour (juce::PopupMenu::highlightedTextColourId);
    }

    g.setColour (colour);
    if (! isActive)
        g.setOpacity (0.3f);

    g.setFont (getPopupMenuFont().withHeight ((float) area.getHeight() / 1.6f));
    r.removeFromLeft (8);

    if (icon != nullptr && icon->getWidth() != 0)
    {
        const auto iconArea = r.removeFromLeft (juce::jmin (r.getWidth(), icon->getWidth())).toFloat();
        if (isTicked)
            icon->drawWithin (g, iconArea, juce::RectanglePlacement::centred | juce::RectanglePlacement::onlyReduceInSize, 1.0f);
        r.removeFromLeft (6);
    }

    if (hasSubMenu)
    {
        const auto arrowH = 0.6f * getPopupMenuFont().getAscent();
        const auto strip = r.removeFromRight (juce::jmin (r.getWidth(), (int) arrowH));
        const auto x = (float) strip.getX();
        const auto cy = (float) r.getCentreY();

        juce::Path arrow;
        arrow.addTriangle (x, cy - arrowH * 0.5f, x, cy + arrowH * 0.5f, x + 0.6f * arrowH, cy);
        g.fillPath (arrow);
    }

    g.drawFittedText (text, r, juce::Justification::centredLeft, 1, 0.0f);
}

juce::Font LookAndFeel_PopupMenu::getPopupMenuFont()
{
    return menuFont;
}

void LookAndFeel_PopupMenu::drawPopupMenuUpDownArrow (juce::Graphics& g, int width, int height, bool isScrollUpArrow)
{
    g.fillRect (1, 1, width - 2, height - 2);

    const auto hw = (float) width * 0.5f;
    const auto arrowW = (float) height * 0.3f;
    const auto y1 = (float) height * (isScrollUpArrow ? 0.6f : 0.3f);
    const auto y2 = (float) height * (isScrollUpArrow ? 0.3f : 0.6f);

    juce::Path arrow;
    arrow.addTriangle (hw - arrowW, y1, hw + arrowW, y1, hw, y2);
    g.setColour (findColour (juce::PopupMenu::textColourId).withAlpha ((juce::uint8) 0x7F));
    g.fillPath (arrow);
}

void LookAndFeel_PopupMenu::getIdealPopupMenuItemSize (const juce::String& text, bool isSeparator, int standardHeight,
                                                       int& idealWidth, int& idealHeight)
{
    if (isSeparator)
    {
        idealWidth = 50;
        idealHeight = standardHeight > 0 ? standardHeight / 2 : 10;
        return;
    }

    auto font = getPopupMenuFont();
    if (standardHeight > 0 && font.getHeight() > (float) standardHeight / 1.3f)
        font.setHeight ((float) standardHeight / 1.3f);

    idealHeight = standardHeight > 0 ? standardHeight : juce::roundToInt (font.getHeight() * 1.3f);
    idealWidth = (int) std::ceil (font.getStringWidthFloat (text)) + idealHeight * 2;
}

int LookAndFeel_PopupMenu::getPopupMenuBorderSize()
{
    return 0;
}
