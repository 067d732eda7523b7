// The editor window: construction, layout, drawing, the status line and a clean close.
#include "PluginEditor.h"

#include "Components/Images.h"
#include "Components/StatusLine.h"
#include "LookAndFeel/SpecialFonts.h"
#include "PluginProcessor.h"
#include "Windows/DesktopWindow.h"

namespace
{
// Gives the manager's cancelled modal components their callbacks now rather
// than from its next asynchronous update.
struct ModalCallbacks : private juce::ModalComponentManager
{
    static void deliverNow (juce::ModalComponentManager& manager)
    {
        (manager.*(&ModalCallbacks::handleAsyncUpdate)) ();
    }
};

void stopWantingKeyboardFocus (juce::Component& parent)
{
    for (auto* child : parent.getChildren())
    {
        stopWantingKeyboardFocus (*child);
        child->setWantsKeyboardFocus (false);
    }
}
} // namespace

//==============================================================================
VelmoraAudioProcessorEditor::VelmoraAudioProcessorEditor (VelmoraAudioProcessor& p)
    : juce::AudioProcessorEditor (p),
      processor (p),
      state (p.getValueTreeState()),
      firstPresetSource (p.getFirstPresets()),
      userPresetSource (p.getUserPresets()),
      alertManager (p, *this)
{
    const juce::Colour yellow (0xFFFFFF0A);
    highlightButtonStyle.setColour (juce::TextButton::buttonColourId, yellow.withAlpha ((juce::uint8) 0x61));
    highlightButtonStyle.setColour (juce::TextButton::buttonOnColourId, yellow.withAlpha ((juce::uint8) 0x61));
    highlightButtonStyle.setColour (juce::TextButton::textColourOnId, yellow);
    highlightButtonStyle.setColour (juce::TextButton::textColourOffId, yellow);
    highlightButtonStyle.setColour (juce::ComboBox::outlineColourId, yellow);

    const auto layout = processor.getBusesLayout();
    mainInputChannels = layout.getMainInputChannels();
    mainOutputChannels = layout.getMainOutputChannels();

    juce::LookAndFeel::setDefaultLookAndFeel (&lookAndFeel.get());

    setSettingsButtonImages (Images::Hamburger_button.getImage(), Images::Hamburger_hover.getImage(),
                             Images::Hamburger_button.getImage());
    settingsButton.addListener (this);

    settingsButtonOpenImage = Images::Hamburger_hover.getImage().createCopy();
    if (settingsButtonOpenImage.isValid())
    {
        juce::Graphics g (settingsButtonOpenImage);
        popupMenuWithHeaderStyle.drawPopupMenuButtonBorder (g, settingsButtonOpenImage.getWidth(),
                                                            settingsButtonOpenImage.getHeight());
    }

    pedalComponent = std::make_unique<PedalComponent> (chassisImage, state);

    updateNoticeButton.setButtonText ("Firmware Update\nRequired...");
    updateNoticeButton.addListener (this);
    updateNoticeButton.setLookAndFeel (&highlightButtonStyle);

    statusLabel.setFont (juce::Font (getFiraSansRegularFont()).withPointHeight (13.0f));
    statusLabel.setJustificationType (juce::Justification::centred);

    addAndMakeVisible (*pedalComponent);
    addAndMakeVisible (statusLabel);
    addAndMakeVisible (settingsButton);
    addChildComponent (updateNoticeButton);

    const auto device = currentDeviceState();
    updateSettingLabel (device.mode, device.channel, device.config);

    chassisImage = Images::PL_chassis_Stereo.getImage();
    menubarImage = Images::Menubar_base.getImage();

    setInterceptsMouseClicks (false, true);
    processor.addChangeListener (this);
    stopWantingKeyboardFocus (*this);
    setSize (editorWidth, editorHeight);

    startTimer (meterTimerId, meterIntervalMs);
    startTimer (updateNoticeTimerId, updateNoticeIntervalMs);
    startTimer (optionsPromptTimerId, optionsPromptIntervalMs);

    skinFace (device.mode, faceChannel(), device.config);
}

VelmoraAudioProcessorEditor::~VelmoraAudioProcessorEditor()
{
    processor.removeChangeListener (this);

    if (auto* client = processor.getUsbClient())
        client->removeListener (this);

    setLookAndFeel (nullptr);

    // An open menu closes now and its callback runs while this editor still
    // exists, choosing nothing: also a choice made just before the close.
    closing = true;
    juce::PopupMenu::dismissAllActiveMenus();
    openMenu = 0;

    if (auto* modalManager = juce::ModalComponentManager::getInstanceWithoutCreating())
    {
        modalManager->cancelAllModalComponents();
        ModalCallbacks::deliverNow (*modalManager);
    }

    for (auto id : { meterTimerId, updateNoticeTimerId, optionsPromptTimerId })
        stopTimer (id);

    // The face refers to the chassis picture, a member released before it.
    removeChildComponent (pedalComponent.get());
    pedalComponent.reset();
    updateNoticeButton.setLookAndFeel (nullptr);
}

void VelmoraAudioProcessorEditor::addToDesktop (int windowStyleFlags, void* nativeWindowToAttachTo)
{
    DesktopWindow::open (*this, [&] { juce::AudioProcessorEditor::addToDesktop (windowStyleFlags, nativeWindowToAttachTo); });
}

//==============================================================================
void VelmoraAudioProcessorEditor::paint (juce::Graphics& g)
{
    g.fillAll (juce::Colours::transparentWhite);

    if (chassisImage.isValid() && ! g.isClipEmpty())
        g.drawImage (chassisImage, 0, 0, getWidth(), getHeight(), 0, 0, chassisImage.getWidth(), chassisImage.getHeight());

    if (menubarImage.isValid())
        g.drawImage (menubarImage, 0, 0, getWidth(), 53, 0, 0, menubarImage.getWidth(), menubarImage.getHeight());
}

void VelmoraAudioProcessorEditor::resized()
{
    settingsButton.setBounds (443, 10, 31, 26);
    statusLabel.setBounds (getWidth() / 2 - 71, 10, 152, 26);
    updateNoticeButton.setBounds (167, 60, 146, 46);

    if (pedalComponent != nullptr)
        pedalComponent->setBounds (0, 0, 480, 540);
}

void VelmoraAudioProcessorEditor::buttonStateChanged (juce::Button* button)
{
    if (button != nullptr && button->getState() == juce::Button::buttonDown)
    {
        openMenuAtPress = openMenu;
        pressedButton = button;
    }
}

void VelmoraAudioProcessorEditor::changeListenerCallback (juce::ChangeBroadcaster*)
{
    followProcessor();
    repaint();
    if (pedalComponent != nullptr)
        pedalComponent->repaint();
}

//==============================================================================
VelmoraAudioProcessorEditor::DeviceState VelmoraAudioProcessorEditor::currentDeviceState() const
{
    DeviceState current;

    if (auto* device = processor.getDevice())
        current.mode = device->getDriver().getState();

    current.channel = processor.getChannelSetting();

    if (auto* client = processor.getUsbClient())
        current.config = client->getPedalboardLeg();

    return current;
}

// While attached the face shows the attachment's channel setting; without one,
// the stored setting, which outlives an attachment. A stored number that names
// no channel setting shows none.
std::optional<ChannelSetting> VelmoraAudioProcessorEditor::faceChannel() const
{
    if (const auto attached = processor.getChannelSetting(); processor.getDevice() != nullptr && attached)
        return attached;

    auto* parameter = state.getParameter ("channelSetting");
    return parameter != nullptr ? channelSettingFromInt (parameter->get()) : ChannelSetting::stereo;
}

void VelmoraAudioProcessorEditor::skinFace (Mode mode, std::optional<ChannelSetting> channel, PedalModeConfig config)
{
    faceState = { mode, channel, config };
    pedalComponent->updateEditor (mode, channel, config);
}

void VelmoraAudioProcessorEditor::followProcessor()
{
    if (pedalComponent == nullptr)
        return;

    const auto current = currentDeviceState();
    if (current != shownState)
        updateSettingLabel (current.mode, current.channel, current.config);

    // Without a use the face keeps the one it showed last, so a choice that let
    // the pedal go still shows the layout chosen.
    const bool inUse = isRequestable (current.mode);
    const DeviceState wanted { inUse ? current.mode : faceState.mode, faceChannel(), inUse ? current.config : faceState.config };
    if (wanted != faceState)
        skinFace (wanted.mode, wanted.channel, wanted.config);
}

void VelmoraAudioProcessorEditor::deviceConnected()
{
    followProcessor();
}

void VelmoraAudioProcessorEditor::updateSettingLabel (Mode mode, std::optional<ChannelSetting> channel,
                                                      PedalModeConfig config)
{
    shownState = { mode, channel, config };
    statusText = StatusLine::textFor (mode, channel, config);
    statusLabel.setText (statusText, juce::dontSendNotification);
}
