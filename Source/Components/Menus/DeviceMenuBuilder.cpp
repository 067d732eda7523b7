#include "Components/Menus/DeviceMenuBuilder.h"

#include "Components/Images.h"
#include "Components/Menus/PopupMenuHeaderItemComponent.h"
#include "Components/Menus/PopupMenuTextItemComponent.h"
#include "LookAndFeel/SpecialFonts.h"

namespace
{
constexpr float headerHeight = 18.0f;
constexpr int choiceWidth = 80;
constexpr int outChoiceWidth = 95;
constexpr int bootloaderChoiceWidth = 120;

std::unique_ptr<juce::Drawable> tickIcon (const juce::Image& tick)
{
    return std::make_unique<juce::DrawableImage> (tick);
}
} // namespace

DeviceMenuBuilder::DeviceMenuBuilder (juce::LookAndFeel& list, juce::LookAndFeel& choice)
    : listStyle (list), choiceStyle (choice)
{
}

juce::PopupMenu DeviceMenuBuilder::build (const PedalsView& view) const
{
    juce::PopupMenu menu;
    menu.setLookAndFeel (&listStyle);

    const auto tick = Images::Menu_check.getImage();

    for (size_t k = 0; k < view.pedals.size(); ++k)
        addPedal (menu, (int) k, view.pedals[k], tick);

    if (view.offersBootloader())
    {
        menu.addCustomItem (MENU_ID_SEPARATOR, std::make_unique<PopupMenuHeaderItemComponent> (
                                                   "Bootable device", getFiraSansSemiBoldFont().withHeight (headerHeight)));
        menu.addCustomItem (MENU_ID_UPDATE_FIRMWARE, std::make_unique<PopupMenuTextItemComponent> (
                                                         "Update Firmware...", bootloaderChoiceWidth, true, false, tick));
    }

    return menu;
}

void DeviceMenuBuilder::addPedal (juce::PopupMenu& menu, int position, const PedalsView::Pedal& pedal, const juce::Image& tick) const
{
    const auto& use = pedal.use;

    const auto choice = [&] (juce::PopupMenu& submenu, int id, const char* text, int width, MENU_DEVICE_OPTIONS option)
    {
        submenu.addCustomItem (id, std::make_unique<PopupMenuTextItemComponent> (text, width,
                                                                                 DeviceMenuRules::isClickable (use, option),
                                                                                 DeviceMenuRules::isTicked (use, option), tick));
    };

    juce::PopupMenu audio, control, pedalboard, in, out;
    for (auto* submenu : { &audio, &control, &pedalboard, &in, &out })
        submenu->setLookAndFeel (&choiceStyle);

    const auto font = use.mine ? getFiraSansSemiBoldFont() : getFiraSansLightItalicFont();
    menu.addCustomItem (MENU_ID_SEPARATOR,
                        std::make_unique<PopupMenuHeaderItemComponent> (pedal.name, font.withHeight (headerHeight)));

    choice (audio, MenuIds::deviceEntry (position, Mode::audio, ChannelSetting::stereo), "Stereo", choiceWidth, AUDIO_STEREO);
    choice (audio, MenuIds::deviceEntry (position, Mode::audio, ChannelSetting::monoLeft), "Mono-L", choiceWidth, AUDIO_MONO_L);
    choice (audio, MenuIds::deviceEntry (position, Mode::audio, ChannelSetting::monoRight), "Mono-R", choiceWidth, AUDIO_MONO_R);
    choice (control, MenuIds::deviceEntry (position, Mode::control, ChannelSetting::stereo), "Stereo", choiceWidth, CONTROL_STEREO);
    choice (control, MenuIds::deviceEntry (position, Mode::control, ChannelSetting::monoLeft), "Mono-L", choiceWidth, CONTROL_MONO_L);
    choice (control, MenuIds::deviceEntry (position, Mode::control, ChannelSetting::monoRight), "Mono-R", choiceWidth, CONTROL_MONO_R);
    choice (in, MenuIds::deviceEntry (position, Mode::pedalboard, ChannelSetting::stereo), "Stereo", choiceWidth, PEDALBOARD_IN_STEREO);
    choice (in, MenuIds::deviceEntry (position, Mode::pedalboard, ChannelSetting::monoLeft), "L (Mono)", choiceWidth, PEDALBOARD_IN_MONO_L);
    choice (in, MenuIds::deviceEntry (position, Mode::pedalboard, ChannelSetting::monoRight), "R", choiceWidth, PEDALBOARD_IN_MONO_R);
    choice (out, MenuIds::pedalboardOutEntry (position, ChannelSetting::stereo), "Stereo", outChoiceWidth, PEDALBOARD_OUT_STEREO);
    choice (out, MenuIds::pedalboardOutEntry (position, ChannelSetting::monoLeft), "Mono-L", outChoiceWidth, PEDALBOARD_OUT_MONO_L);
    choice (out, MenuIds::pedalboardOutEntry (position, ChannelSetting::monoRight), "Mono-R", outChoiceWidth, PEDALBOARD_OUT_MONO_R);

    const bool outEnabled = DeviceMenuRules::isClickable (use, PEDALBOARD_OUT_STEREO)
                            || DeviceMenuRules::isClickable (use, PEDALBOARD_OUT_MONO_L)
                            || DeviceMenuRules::isClickable (use, PEDALBOARD_OUT_MONO_R);

    pedalboard.addSubMenu ("IN", in, DeviceMenuRules::isSubMenuClickable (use, SUBMENU_PEDALBOARD_IN), tickIcon (tick), false, 0);
    pedalboard.addSubMenu ("OUT", out, outEnabled, tickIcon (tick), false, 0);

    menu.addSubMenu ("Audio", audio, DeviceMenuRules::isSubMenuClickable (use, SUBMENU_AUDIO), tickIcon (tick), false, 0);
    menu.addSubMenu ("Control", control, DeviceMenuRules::isSubMenuClickable (use, SUBMENU_CONTROL), tickIcon (tick), false, 0);
    menu.addSubMenu ("Pedalboard", pedalboard, DeviceMenuRules::isSubMenuClickable (use, SUBMENU_PEDALBOARD),
                     tickIcon (tick), false, 0);
    menu.addCustomItem (MENU_ID_DISCONNECT, std::make_unique<PopupMenuTextItemComponent> ("Disconnect", outChoiceWidth,
                                                                                         ! use.flashing, false, tick));
    menu.addSeparator();
}
