#include "LookAndFeel/LookAndFeel_Custom.h"
#include "LookAndFeel/LookAndFeel_HighlightButton.h"
#include "LookAndFeel/LookAndFeel_PopupMenu.h"

#include <gtest/gtest.h>

namespace
{
struct ColourCase
{
    int id;
    std::uint32_t argb;
};

void expectColours (const juce::LookAndFeel& style, std::initializer_list<ColourCase> cases)
{
    for (const auto& c : cases)
        EXPECT_EQ (style.findColour (c.id).getARGB(), c.argb) << "colour id 0x" << juce::String::toHexString (c.id);
}
} // namespace

TEST (StyleColours, DefaultSchemeAndItsConstructorColours)
{
    using UI = juce::LookAndFeel_V4::ColourScheme::UIColour;
    const std::pair<UI, std::uint32_t> scheme[] = {
        { UI::windowBackground, 0xFF201717 }, { UI::widgetBackground, 0xFF201717 }, { UI::menuBackground, 0xFF201717 },
        { UI::outline, 0xCCFFFFFF },          { UI::defaultText, 0xF3FFFFFF },      { UI::defaultFill, 0xFFBBBBFF },
        { UI::highlightedText, 0xF3FFFFFF },  { UI::highlightedFill, 0x4CFFFFFF },  { UI::menuText, 0xF3FFFFFF },
    };

    LookAndFeel_Custom style;
    for (const auto& [colour, argb] : scheme)
        EXPECT_EQ (style.getCurrentColourScheme().getUIColour (colour).getARGB(), argb);

    expectColours (style, {
        { juce::TextButton::buttonColourId, 0xFF201717 },
        { juce::TextButton::buttonOnColourId, 0xFF201717 },
        { juce::TextButton::textColourOffId, 0x4CFFFFFF },
        { juce::TextButton::textColourOnId, 0xF3FFFFFF },
        { juce::ComboBox::outlineColourId, 0xFF736E6E },
        { juce::ComboBox::focusedOutlineColourId, 0xFFBBBBFF },
        { juce::TextEditor::focusedOutlineColourId, 0xFFBBBBFF },
        { juce::TextEditor::highlightColourId, 0xFF966BD9 },
        { juce::ProgressBar::backgroundColourId, 0xFF7B7676 },
        { juce::ProgressBar::foregroundColourId, 0xFF534C4C },
        { juce::TooltipWindow::backgroundColourId, 0xFF342C2C },
        { juce::TooltipWindow::outlineColourId, 0xFF7B7676 },
        { juce::TooltipWindow::textColourId, 0xF3FFFFFF },
        { juce::PopupMenu::backgroundColourId, 0xFF201717 },
        { juce::PopupMenu::textColourId, 0xF3FFFFFF },
    });
}

TEST (StyleColours, PopupMenuStyleColours)
{
    LookAndFeel_PopupMenu style;
    expectColours (style, {
        { juce::PopupMenu::backgroundColourId, 0xFF201717 },
        { juce::PopupMenu::textColourId, 0xFFFFFFFF },
        { juce::PopupMenu::headerTextColourId, 0xFFFFFFFF },
        { juce::PopupMenu::highlightedBackgroundColourId, 0x4CFFFFFF },
        { juce::PopupMenu::highlightedTextColourId, 0xFFFFFFFF },
        { juce::TextButton::textColourOnId, 0xFFFFFFFF },
        { juce::TextButton::textColourOffId, 0xFFFFFFFF },
        { juce::TextButton::buttonColourId, 0x00FFFFFF },
        { juce::TextButton::buttonOnColourId, 0x00FFFFFF },
        { juce::ComboBox::outlineColourId, 0x00FFFFFF },
    });
}

TEST (StyleFonts, HeightsAndFacesOfEveryFontOperation)
{
    struct Case
    {
        const char* what;
        juce::Font font;
        float height;
        const char* style;
    };

    LookAndFeel_Custom custom;
    LookAndFeel_PopupMenu popup;
    LookAndFeel_HighlightButton highlight;
    juce::TextButton button, italicButton;
    italicButton.getProperties().set ("italic", true);
    juce::ComboBox combo;

    const Case cases[] = {
        { "28-pixel text button", custom.getTextButtonFont (button, 28), 16.8f, "Light" },
        { "40-pixel text button", custom.getTextButtonFont (button, 40), 18.0f, "Light" },
        { "alert title", custom.getAlertWindowTitleFont(), 22.0f, "Medium" },
        { "alert message", custom.getAlertWindowMessageFont(), 18.0f, "Regular" },
        { "alert", custom.getAlertWindowFont(), 17.0f, "Light" },
        { "default popup menu", custom.getPopupMenuFont(), 17.0f, "Light" },
        { "combo box", custom.getComboBoxFont (combo), 17.0f, "Light" },
        { "30-pixel menu button", popup.getTextButtonFont (button, 30), 17.0f, "Light" },
        { "15-pixel menu button", popup.getTextButtonFont (button, 15), 12.0f, "Light" },
        { "italic menu button", popup.getTextButtonFont (italicButton, 15), 12.0f, "Light Italic" },
        { "menu", popup.getPopupMenuFont(), 14.0f, "Light" },
        { "46-pixel update notice", highlight.getTextButtonFont (button, 46), 18.0f, "Regular" },
        { "20-pixel update notice", highlight.getTextButtonFont (button, 20), 12.0f, "Regular" },
    };

    for (const auto& c : cases)
    {
        SCOPED_TRACE (c.what);
        EXPECT_NEAR (c.font.getHeight(), c.height, 1.0e-4f);
        EXPECT_EQ (c.font.getTypefaceName(), "Fira Sans");
        EXPECT_EQ (c.font.getTypefaceStyle(), c.style);
    }

    EXPECT_EQ (custom.getAlertWindowButtonHeight(), 28);
    EXPECT_EQ (popup.getPopupMenuBorderSize(), 0);
}
