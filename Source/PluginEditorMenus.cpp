// The settings button, the settings menu it opens, and what a choice does.
#include "PluginEditor.h"

#include "Components/Images.h"
#include "Components/Menus/PedalsView.h"
#include "Components/Menus/SettingsMenuBuilder.h"
#include "PluginProcessor.h"
#include "Updates/FirmwareUpdateFlow.h"
#include "Updates/VersionNumber.h"

namespace
{
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

    const auto view = getPedalsView();
    auto menu = SettingsMenuBuilder (popupMenuStyle, popupMenuWithHeaderStyle).build (view, altHeld);

    const auto options = juce::PopupMenu::Options()
                             .withParentComponent (this)
                             .withTargetScreenArea (target)
                             .withMinimumWidth (menuWidth)
                             .withStandardItemHeight (menuItemHeight);

    menu.showMenuAsync (options, juce::ModalCallbackFunction::forComponent (::settingsMenuCallback, this, view.getNames()));
    openMenu = settingsMenuOpen;
}

PedalsView VelmoraAudioProcessorEditor::getPedalsView()
{
    return PedalsView::read (*deviceManager, bootDeviceManager->getNumDevices() > 0,
                             { processor.getDevice(), processor.getUsbClient(), processor.getChannelSetting(),
                               mainInputChannels, mainOutputChannels, alertManager.isPedalFlashing() });
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
        channelParameter->set (toInt (choice.channel), GestureTracker::internalSource);

    if (updateNoticeButton.getButtonText().contains ("Firmware"))
        updateNoticeButton.setVisible (false);

    // Choosing the use and channel this instance already has lets go of the pedal.
    auto* current = processor.getDevice();
    if (current != nullptr && current->getDriver().getState() == choice.mode
        && processor.getChannelSetting() == choice.channel)
    {
        processor.disconnectUsbClient();
        updateSettingLabel (Mode::none, std::nullopt, PedalModeConfig::none);
    }
    else
    {
        processor.setUsbDevice (name, choice.mode, choice.channel, choice.leg);
        updateSettingLabel (choice.mode, choice.channel, choice.leg);
    }

    skinFace (choice.mode, choice.channel, choice.leg);
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
    const auto channel = processor.getChannelSetting();
    if (device == nullptr || client == nullptr || ! channel)
        return;

    auto& pending = processor.getPendingDevice();
    pending.name = client->getDeviceName();
    pending.channelSetting = *channel;
    pending.mode = device->getDriver().getState();
    pending.pedalboardMode = client->getPedalboardLeg();
}

// After a dialog that ends well the processor attaches the recorded pedal
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
        if (reattachAfterwards && result == FirmwareUpdateFlow::endedWell)
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
