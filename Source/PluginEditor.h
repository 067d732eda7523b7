#pragma once

#include "Components/Face/PedalComponent.h"
#include "Components/Menus/MenuIds.h"
#include "Components/Menus/PopupMenuDataSource.h"
#include "Devices/UsbDeviceClient.h"
#include "Devices/UsbDeviceManager.h"
#include "LookAndFeel/LookAndFeel_Custom.h"
#include "LookAndFeel/LookAndFeel_HighlightButton.h"
#include "LookAndFeel/LookAndFeel_PopupMenu.h"
#include "LookAndFeel/LookAndFeel_PopupMenuWithHeader.h"
#include "Presets/PresetFormat.h"
#include "Windows/AlertManager.h"

#include <juce_audio_processors/juce_audio_processors.h>
#include <optional>

class VelmoraAudioProcessor;
struct PedalsView;

// The plug-in window: a fixed 480 x 540 picture of the pedal with a menu bar.
// It carries the pedal face, the settings button with its menus, the status
// line naming the pedal's use and an update notice that shows when the
// version check finds something newer; its dialogs run through the alert
// manager. Its timers feed the meters and lights, follow the version check and
// bring up the device options once for a pedal that needs calibrating.
class VelmoraAudioProcessorEditor : public juce::AudioProcessorEditor,
                                    public juce::ChangeListener,
                                    private juce::Button::Listener,
                                    private juce::MultiTimer,
                                    public UsbDeviceClient::ClientListener
{
public:
    static constexpr int editorWidth = 480;
    static constexpr int editorHeight = 540;

    enum TimerIds
    {
        meterTimerId = 0,        // meters and lights
        updateNoticeTimerId = 1, // the update notice follows the version check
        optionsPromptTimerId = 2 // the device options, once, for a pedal to calibrate
    };

    static constexpr int meterIntervalMs = 50;
    static constexpr int updateNoticeIntervalMs = 1000;
    static constexpr int optionsPromptIntervalMs = 2000;

    explicit VelmoraAudioProcessorEditor (VelmoraAudioProcessor& processor);
    ~VelmoraAudioProcessorEditor() override;

    // In a window through DesktopWindow, so also on a display where no window
    // manager has run, whoever puts the editor there: a host's wrapper or a tool.
    void addToDesktop (int windowStyleFlags, void* nativeWindowToAttachTo = nullptr) override;

    void mouseDown (const juce::MouseEvent&) override {}
    void paint (juce::Graphics& g) override;
    void resized() override;

    // The settings button opens or closes the settings menu; the update notice
    // opens the update dialog. Neither does anything while a dialog is shown.
    void buttonClicked (juce::Button* button) override;
    void buttonStateChanged (juce::Button* button) override;

    // The pedal confirmed a mode: the status line and face follow what the processor holds.
    void deviceConnected() override;

    void timerCallback (int timerId) override;
    using juce::MultiTimer::getTimerInterval;
    using juce::MultiTimer::isTimerRunning;

    void changeListenerCallback (juce::ChangeBroadcaster*) override;

    // Writes the status line for a use, channel setting (none while nothing is
    // attached) and pedalboard leg.
    void updateSettingLabel (Mode mode, std::optional<ChannelSetting> channel, PedalModeConfig config);

    // The status line and the face show what the processor holds now, however
    // it came to hold it: a menu, the reconnect timer, a restored state, a
    // pedal that went. Run on every change message, every confirmation and
    // every meter tick.
    void followProcessor();

    //==============================================================================
    // The pedals as the settings menu would show them now; its results refer
    // to the pedals by their place in the view's names.
    PedalsView getPedalsView();

    // What the settings menu's choice does; names are those the menu was built with.
    void settingsMenuCallback (int result, const juce::StringArray& names);

    // Opens the device options for the attached pedal; nothing without one.
    void alert_pedalOptions();

    // The dialogs shown over the window, for tests that open and close them directly.
    AlertManager& getAlertManager() noexcept { return alertManager; }

private:
    // The settings menu's value of openMenu while it is shown.
    static constexpr int settingsMenuOpen = 2;

    // The settings menu opens this far left of the button's right edge, at least this wide.
    static constexpr int menuWidth = 160;
    static constexpr int menuItemHeight = 27;

    struct DeviceState
    {
        Mode mode = Mode::none;
        std::optional<ChannelSetting> channel;
        PedalModeConfig config = PedalModeConfig::none;

        bool operator!= (const DeviceState& o) const noexcept { return mode != o.mode || channel != o.channel || config != o.config; }
    };

    DeviceState currentDeviceState() const;
    std::optional<ChannelSetting> faceChannel() const;
    void skinFace (Mode mode, std::optional<ChannelSetting> channel, PedalModeConfig config);

    void showSettingsMenu();
    void setSettingsButtonImages (const juce::Image& normal, const juce::Image& over, const juce::Image& down);
    void openUpdateDialog (const VersionQuery& query, bool reattachAfterwards);
    void recordPendingDevice();
    void chooseDevice (const MenuIds::DeviceChoice& choice, const juce::StringArray& names);
    void disconnect();
    void openSetupDialog (int pedal, const juce::StringArray& names);
    void pedalOptionsCallback (int code, juce::ValueTree& tree);

    void updateMetersAndLights();
    void updateIndicators();
    void updateNotice();
    void promptForDeviceOptions();
    bool needsCalibration (UsbDevice& pedal) const;

    std::unique_ptr<PedalComponent> pedalComponent;
    VelmoraAudioProcessor& processor;
    int mainInputChannels = 2;
    int mainOutputChannels = 2;
    juce::SharedResourcePointer<UsbBaseDeviceManager<UsbDevice>> deviceManager;
    juce::SharedResourcePointer<UsbBaseDeviceManager<UsbBootDevice>> bootDeviceManager;
    AudioValueTreeState& state;
    juce::SharedResourcePointer<LookAndFeel_Custom> lookAndFeel;
    LookAndFeel_PopupMenu popupMenuStyle;
    LookAndFeel_PopupMenuWithHeader popupMenuWithHeaderStyle;
    LookAndFeel_HighlightButton highlightButtonStyle;
    juce::Image chassisImage;
    juce::Image menubarImage;
    juce::Image settingsButtonOpenImage;
    juce::ImageButton settingsButton;
    juce::TooltipWindow tooltipWindow;
    PopupMenuDataSource<PresetFormat> firstPresetSource;
    PopupMenuDataSource<PresetFormat> userPresetSource;
    juce::Label statusLabel;
    juce::String statusText;
    int openMenu = 0;
    juce::Button* pressedButton = nullptr;
    int openMenuAtPress = 0;
    juce::TextButton updateNoticeButton;
    AlertManager alertManager;

    // Set while the editor is being destroyed: menu results then choose nothing.
    bool closing = false;
    // What the status line and the face were last given.
    DeviceState shownState, faceState;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (VelmoraAudioProcessorEditor)
};

// The settings menu's callback: reaches the editor only while it exists.
void settingsMenuCallback (int result, VelmoraAudioProcessorEditor* editor, juce::StringArray names);
