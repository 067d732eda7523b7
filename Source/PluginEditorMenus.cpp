// The settings button, the settings menu with its device menu, and what a choice does.
#include "PluginEditor.h"

#include "Components/Images.h"
#include "Components/Menus/DeviceMenuRules.h"
#include "Components/Menus/PopupMenuHeaderItemComponent.h"
#include "Components/Menus/PopupMenuLineComponent.h"
#include "Components/Menus/PopupMenuTextItemComponent.h"
#include "LookAndFeel/SpecialFonts.h"
#include "PluginProcessor.h"
#include "Updates/VersionNumber.h"

namespace
{
constexpr float headerHeight = 18.0f;
constexpr int choiceWidth = 80;
constexpr int outChoiceWidth = 95;
constexpr int bootloaderChoiceWidth = 120;

// An ordinary entry of the settings menu: white text, never ticked, no icon.
juce::PopupMenu::Item plainItem (int id, const juce::String& text, bool enabled)
{
    juce::PopupMenu::Item item (text);
    item.itemID = id;
    item.isEnabled = enabled;
    item.colour = juce::Colours::white;
    return item;
}

std::unique_ptr<juce::Drawable> tickIcon (const juce::Image& tick)
{
    return std::make_unique<juce::DrawableImage> (tick);
}

bool hasEntries (const juce::PopupMenu& menu)
{
    for (juce::PopupMenu::MenuItemIterator it (menu); it.next();)
        if (! it.getItem().isSeparator)
            return true;
    return false;
}

// The text that names the pedal's ports to the other host: the port name up to
// and including the pedal's name, or the pedal's name alone.
juce::String portLine (const juce::String& portName, const juce::String& pedalName)
{
    const auto at = portName.indexOf (pedalName);
    return at < 0 ? pedalName : portName.substring (0, at + pedalName.length());
}
} // namespace

//==============================================================================
void VelmoraAudioProcessorEditor::buttonClicked (juce::Button* button)
{
    if (alertManager.alert.isShowing())
        return;

    auto wasOpen = openMenu;
    openMenu = 0;
    juce::PopupMenu::dismissAllActiveMenus();

    // Pressing the button may already have closed its menu before the click
    // arrives. A press belongs to one click only: a click with no press of its
    // own (a triggered one, while the last flash still shows) must not reuse it.
    if (wasOpen == 0 && button == pressedButton)
        wasOpen = openMenuAtPress;
    pressedButton = nullptr;

    if (button == &settingsButton)
    {
        if (wasOpen != settingsMenuOpen)
            showSettingsMenu();
    }
    else if (button == &updateNoticeButton)
    {
        if (alertManager.isPedalFlashing())
            return;

        recordPendingDevice();
        const int firmware = processor.getDevice() != nullptr ? processor.getDevice()->getDriver().getFirmwareVersion() : 0;
        openUpdateDialog (processor.getOnlineUpdater().getResult (VersionNumber ((juce::uint32) firmware)), true);
    }
}

void VelmoraAudioProcessorEditor::setSettingsButtonImages (const juce::Image& normal, const juce::Image& over,
                                                           const juce::Image& down)
{
    const auto clear = juce::Colours::transparentWhite;
    settingsButton.setImages (false, true, true, normal, 1.0f, clear, over, 1.0f, clear, down, 1.0f, clear, 0.0f);
}

void VelmoraAudioProcessorEditor::showSettingsMenu()
{
    // A menu is placed on a display; the framework fails inside without one.
    if (juce::Desktop::getInstance().getDisplays().getPrimaryDisplay() == nullptr)
        return;

    setSettingsButtonImages (settingsButtonOpenImage, settingsButtonOpenImage, settingsButtonOpenImage);

    const auto button = settingsButton.getScreenBounds();
    const auto target = button.withX (button.getRight() - menuWidth);
    const bool altHeld = juce::ModifierKeys::currentModifiers.isAltDown();

    juce::StringArray names;
    auto menu = getSettingsMenu (names, altHeld);

    const auto options = juce::PopupMenu::Options()
                             .withParentComponent (this)
                             .withTargetScreenArea (target)
                             .withMinimumWidth (menuWidth)
                             .withStandardItemHeight (menuItemHeight);

    menu.showMenuAsync (options, juce::ModalCallbackFunction::forComponent (::settingsMenuCallback, this, names));
    openMenu = settingsMenuOpen;
}

juce::PopupMenu VelmoraAudioProcessorEditor::getSettingsMenu (juce::StringArray& names, bool altHeld)
{
    juce::PopupMenu menu;
    menu.setLookAndFeel (&popupMenuStyle);

    auto deviceMenu = getDeviceMenu (names);
    const bool deviceMenuUsable = hasEntries (deviceMenu);

    auto* pedal = processor.getDevice();
    const bool bootable = pedal == nullptr && bootDeviceManager->getNumDevices() > 0;
    // Nothing is done to a pedal that some instance is flashing.
    const bool flashing = alertManager.isPedalFlashing();

    juce::PopupMenu hardware;
    hardware.setLookAndFeel (&popupMenuStyle);

    const auto info = [] (const juce::String& text)
    {
        return std::make_unique<PopupMenuTextItemComponent> (text, informationRowWidth);
    };

    if (pedal != nullptr)
    {
        const auto& name = pedal->getName();
        hardware.addCustomItem (MENU_ID_DEVICE_NAME, info ("Device Name: " + name));
        hardware.addCustomItem (MENU_ID_FIRMWARE_VERSION,
                                info ("Firmware Version: " + versionToString (pedal->getDriver().getFirmwareVersion())));
        hardware.addCustomItem (MENU_ID_SERIAL_NUMBER, info ("Serial Number: " + name.getLastCharacters (4)));
    }
    else
    {
        hardware.addCustomItem (MENU_ID_DEVICE_NAME, info ("Device Name: No Device Selected"));
        hardware.addCustomItem (MENU_ID_FIRMWARE_VERSION, info ("Firmware Version: None"));
        hardware.addCustomItem (MENU_ID_SERIAL_NUMBER, info ("Serial Number: None"));
    }

    hardware.addCustomItem (MENU_ID_SEPARATOR, std::make_unique<PopupMenuLineComponent> (informationRowWidth), nullptr,
                            PopupMenuLineComponent::accessibleTitle);

    if (bootable || altHeld)
        hardware.addItem (plainItem (MENU_ID_UPDATE_FIRMWARE, "Update Firmware...", (pedal != nullptr || bootable) && ! flashing));

    if (pedal != nullptr)
    {
        const auto use = pedal->getDriver().getState();
        if (use == modeAudio || use == modePedalboard)
            hardware.addItem (plainItem (MENU_ID_DEVICE_OPTIONS, "Device Options...", ! flashing));
    }

    juce::PopupMenu plugin;
    plugin.addCustomItem (MENU_ID_SOFTWARE_VERSION,
                          info (juce::String ("Software Version: ") + VelmoraAudioProcessor::pluginVersionString));
    plugin.addCustomItem (MENU_ID_SEPARATOR, std::make_unique<PopupMenuLineComponent> (informationRowWidth), nullptr,
                          PopupMenuLineComponent::accessibleTitle);
    plugin.addItem (plainItem (MENU_ID_UPDATE_PLUGIN, "Update Plugin...", true));

    menu.addSubMenu ("Select Device", deviceMenu, deviceMenuUsable);
    menu.addSubMenu ("About Hardware", hardware, true);
    menu.addSubMenu ("About Plugin", plugin, true);
    return menu;
}

//==============================================================================
PedalUse VelmoraAudioProcessorEditor::pedalUse (UsbDevice& pedal) const
{
    auto use = PedalUse::read (pedal, processor.getDevice(), processor.getUsbClient(), processor.getChannelSetting(),
                               mainInputChannels, mainOutputChannels);
    use.flashing = deviceManager->getFlashes().isFlashing (pedal.getName());
    return use;
}

bool VelmoraAudioProcessorEditor::getOptionClickable (UsbDevice* pedal, MENU_DEVICE_OPTIONS option)
{
    return pedal != nullptr && DeviceMenuRules::isClickable (pedalUse (*pedal), option);
}

bool VelmoraAudioProcessorEditor::getSubMenuClickable (UsbDevice* pedal, SUBMENU_OPTIONS submenu)
{
    return pedal != nullptr && DeviceMenuRules::isSubMenuClickable (pedalUse (*pedal), submenu);
}

juce::PopupMenu VelmoraAudioProcessorEditor::getDeviceMenu (juce::StringArray& names)
{
    juce::PopupMenu menu;
    menu.setLookAndFeel (&popupMenuWithHeaderStyle);

    const auto tick = Images::Menu_check.getImage();

    // A snapshot of the list; the scheme of item ids holds ten pedals.
    juce::Array<UsbDevice*> pedals;
    for (int i = 0; i < juce::jmin (deviceManager->getNumDevices(), MenuIds::maximumPedals); ++i)
        pedals.add (deviceManager->getDevice (i));

    for (int k = 0; k < pedals.size(); ++k)
    {
        auto* pedal = pedals.getUnchecked (k);
        const auto use = pedalUse (*pedal);

        const auto choice = [&] (juce::PopupMenu& submenu, int id, const char* text, int width, MENU_DEVICE_OPTIONS option)
        {
            submenu.addCustomItem (id, std::make_unique<PopupMenuTextItemComponent> (text, width,
                                                                                     DeviceMenuRules::isClickable (use, option),
                                                                                     DeviceMenuRules::isTicked (use, option), tick));
        };

        juce::PopupMenu audio, control, pedalboard, in, out;
        for (auto* submenu : { &audio, &control, &pedalboard, &in, &out })
            submenu->setLookAndFeel (&popupMenuStyle);

        const auto font = use.mine ? getFiraSansSemiBoldFont() : getFiraSansLightItalicFont();
        menu.addCustomItem (MENU_ID_SEPARATOR,
                            std::make_unique<PopupMenuHeaderItemComponent> (pedal->getName(), font.withHeight (headerHeight)));

        choice (audio, MenuIds::deviceEntry (k, modeAudio, channelStereo), "Stereo", choiceWidth, AUDIO_STEREO);
        choice (audio, MenuIds::deviceEntry (k, modeAudio, channelMonoLeft), "Mono-L", choiceWidth, AUDIO_MONO_L);
        choice (audio, MenuIds::deviceEntry (k, modeAudio, channelMonoRight), "Mono-R", choiceWidth, AUDIO_MONO_R);
        choice (control, MenuIds::deviceEntry (k, modeControl, channelStereo), "Stereo", choiceWidth, CONTROL_STEREO);
        choice (control, MenuIds::deviceEntry (k, modeControl, channelMonoLeft), "Mono-L", choiceWidth, CONTROL_MONO_L);
        choice (control, MenuIds::deviceEntry (k, modeControl, channelMonoRight), "Mono-R", choiceWidth, CONTROL_MONO_R);
        choice (in, MenuIds::deviceEntry (k, modePedalboard, channelStereo), "Stereo", choiceWidth, PEDALBOARD_IN_STEREO);
        choice (in, MenuIds::deviceEntry (k, modePedalboard, channelMonoLeft), "L (Mono)", choiceWidth, PEDALBOARD_IN_MONO_L);
        choice (in, MenuIds::deviceEntry (k, modePedalboard, channelMonoRight), "R", choiceWidth, PEDALBOARD_IN_MONO_R);
        choice (out, MenuIds::pedalboardOutEntry (k, channelStereo), "Stereo", outChoiceWidth, PEDALBOARD_OUT_STEREO);
        choice (out, MenuIds::pedalboardOutEntry (k, channelMonoLeft), "Mono-L", outChoiceWidth, PEDALBOARD_OUT_MONO_L);
        choice (out, MenuIds::pedalboardOutEntry (k, channelMonoRight), "Mono-R", outChoiceWidth, PEDALBOARD_OUT_MONO_R);

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

        names.add (pedal->getName());
    }

    if (processor.getDevice() == nullptr && bootDeviceManager->getNumDevices() > 0)
    {
        menu.addCustomItem (MENU_ID_SEPARATOR, std::make_unique<PopupMenuHeaderItemComponent> (
                                                   "Bootable device", getFiraSansSemiBoldFont().withHeight (headerHeight)));
        menu.addCustomItem (MENU_ID_UPDATE_FIRMWARE, std::make_unique<PopupMenuTextItemComponent> (
                                                         "Update Firmware...", bootloaderChoiceWidth, true, false, tick));
    }

    return menu;
}

//==============================================================================
// By value: the menu's callback holds its own copy, and forComponent deduces the type from it.
void settingsMenuCallback (int result, VelmoraAudioProcessorEditor* editor,
                           juce::StringArray names) // NOLINT(performance-unnecessary-value-param)
{
    if (editor != nullptr)
        editor->settingsMenuCallback (result, names);
}

void VelmoraAudioProcessorEditor::settingsMenuCallback (int result, const juce::StringArray& names)
{
    openMenu = 0;
    setSettingsButtonImages (Images::Hamburger_button.getImage(), Images::Hamburger_hover.getImage(),
                             Images::Hamburger_button.getImage());

    if (result == MENU_ID_NONE || closing)
        return;

    if (const auto choice = MenuIds::decodeDeviceChoice (result))
    {
        chooseDevice (*choice, names);
        return;
    }

    if (const auto pedal = MenuIds::decodeSetupChoice (result))
    {
        openSetupDialog (*pedal, names);
        return;
    }

    switch (result)
    {
        case MENU_ID_DISCONNECT:
            disconnect();
            break;

        case MENU_ID_UPDATE_FIRMWARE:
        {
            if (alertManager.isPedalFlashing())
                break;

            VersionQuery carriedFirmware;
            carriedFirmware.status = VersionQuery::queryFirmwareRequired;
            recordPendingDevice();
            openUpdateDialog (carriedFirmware, true);
            break;
        }

        case MENU_ID_DEVICE_OPTIONS:
            alert_pedalOptions();
            break;

        case MENU_ID_UPDATE_PLUGIN:
        {
            VersionQuery freshCheck;
            freshCheck.status = VersionQuery::queryUpToDate;
            openUpdateDialog (freshCheck, false);
            break;
        }

        case MENU_ID_RESET_PRESETS:
            alertManager.alert_resetFactoryPresets();
            break;

        case MENU_ID_RESET_FIRMWARE:
            alertManager.alert_resetFirmware();
            break;

        default:
            break;
    }
}

void VelmoraAudioProcessorEditor::chooseDevice (const MenuIds::DeviceChoice& choice, const juce::StringArray& names)
{
    // Nothing takes a pedal away from a flash, or gives it back, while it runs,
    // whichever instance flashes it.
    const auto name = choice.pedal < names.size() ? names[choice.pedal] : juce::String();
    if (name.isEmpty() || alertManager.isPedalFlashing() || deviceManager->getFlashes().isFlashing (name))
        return;

    auto* channelParameter = state.getParameter ("channelSetting");
    jassert (channelParameter != nullptr);
    if (channelParameter != nullptr)
        channelParameter->set (choice.channel, GestureTracker::internalSource);

    if (updateNoticeButton.getButtonText().contains ("Firmware"))
        updateNoticeButton.setVisible (false);

    // Choosing the use and channel this instance already has lets go of the pedal.
    auto* current = processor.getDevice();
    if (current != nullptr && current->getDriver().getState() == choice.mode
        && processor.getChannelSetting() == choice.channel)
    {
        processor.disconnectUsbClient();
        updateSettingLabel (modeNone, -1, pedalboardNone);
    }
    else
    {
        processor.setUsbDevice (name, choice.mode, choice.channel, choice.leg);
        updateSettingLabel (choice.mode, choice.channel, choice.leg);
    }

    skinFace (choice.channel, choice.mode, choice.leg);
}

void VelmoraAudioProcessorEditor::disconnect()
{
    if (alertManager.isPedalFlashing())
        return;

    processor.disconnectUsbClient();
    const auto current = currentDeviceState();
    updateSettingLabel (current.mode, current.channel, current.config);
}

void VelmoraAudioProcessorEditor::recordPendingDevice()
{
    auto* device = processor.getDevice();
    auto* client = processor.getUsbClient();
    if (device == nullptr || client == nullptr)
        return;

    auto& pending = processor.getPendingDevice();
    pending.name = client->getDeviceName();
    pending.channelSetting = processor.getChannelSetting();
    pending.mode = device->getDriver().getState();
    pending.pedalboardMode = client->getPedalboardLeg();
}

// After a dialog that ends with 0 the processor attaches the recorded pedal
// again, 200 ms later, unless a pedal is attached by then.
void VelmoraAudioProcessorEditor::openUpdateDialog (const VersionQuery& query, bool reattachAfterwards)
{
    auto* settings = processor.getSettings();
    jassert (settings != nullptr);
    if (settings == nullptr)
        return;

    auto& owner = processor;
    alertManager.alert_updateFirmware (query, *settings, [&owner, reattachAfterwards] (int result)
    {
        if (reattachAfterwards && result == 0)
            owner.startTimer (VelmoraAudioProcessor::reconnectTimerId, VelmoraAudioProcessor::reconnectDelayMs);
    });
}

void VelmoraAudioProcessorEditor::openSetupDialog (int pedal, const juce::StringArray& names)
{
    const auto name = pedal < names.size() ? names[pedal] : juce::String();
    auto* device = name.isNotEmpty() ? deviceManager->findDevice (name) : nullptr;
    if (device == nullptr)
        return;

    alertManager.alert_setupProTools (portLine (device->getMidiDevice().getInputPort().name, name));
}
