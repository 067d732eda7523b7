#pragma once

#include "Components/Dialogs/AlertBoxComponent.h"
#include "Settings/DeviceSettings.h"

#include <juce_gui_basics/juce_gui_basics.h>
#include <functional>

// "Device Options": the attached pedal's block size, buffer sizes and extra
// latency, written straight into its settings, a latency calibration on
// request, and the host's block size and total latency, refreshed every 250 ms.
// Its controls follow the pedal's settings wherever they change, except that a
// latency being typed keeps its text until it is committed (Return, Escape,
// leaving the field, or another control of the dialog used).
// The callback links it to its opener:
//   0  "Done": close the dialog
//   1  "Calibrate", and every block-size choice: ask the pedal for a calibration
//   2  every refresh: fill the tree's "hostBlockSize" and "totalLatency", and
//      "calibrationFailed" when the latest calibration heard nothing back
class PedalOptionsComponent : public AlertBoxComponent, private DeviceSettings::Listener
{
public:
    using Callback = std::function<void (int, juce::ValueTree&)>;

    enum Code
    {
        done = 0,
        calibrate = 1,
        refresh = 2
    };

    static constexpr int refreshTimerId = 0;
    static constexpr int refreshIntervalMs = 250;

    static constexpr const char* askingText = "Please select your desired audio block size, or calibrate the current block size.";
    static constexpr const char* calibrationFailedText
        = "Calibration failed: nothing came back from the pedal. The latency was not changed.";

    PedalOptionsComponent (juce::ValueTree settingsTree, bool needsCalibration, Callback callback);
    ~PedalOptionsComponent() override;

    void updateUI();
    void dismiss() override;

    bool needsCalibrationFirst() const noexcept { return needsCalibration; }
    juce::TextEditor* getLatencyEditor() const noexcept { return latencyEditor; }
    juce::Label* getHostBlockSizeLabel() const noexcept { return hostBlockSizeLabel; }
    juce::Label* getTotalLatencyLabel() const noexcept { return totalLatencyLabel; }
    juce::TextButton* getDoneButton() const noexcept { return doneButton; }
    juce::ComboBox* findComboBox (const juce::String& name) const;

    void timerCallback (int timerId) override;
    void comboBoxChanged (juce::ComboBox* comboBox) override;
    void buttonClicked (juce::Button* button) override;
    void textEditorTextChanged (juce::TextEditor& editor) override;
    void textEditorReturnKeyPressed (juce::TextEditor& editor) override;
    void textEditorEscapeKeyPressed (juce::TextEditor& editor) override;
    void textEditorFocusLost (juce::TextEditor& editor) override;

private:
    void settingsChanged() override;
    void showSettings();
    void commitLatency();

    juce::ValueTree tree;
    DeviceSettings deviceSettings;
    Callback optionsCallback;
    bool needsCalibration;
    bool typingLatency = false;
    juce::TextEditor* latencyEditor = nullptr;
    juce::Label* hostBlockSizeLabel = nullptr;
    juce::Label* totalLatencyLabel = nullptr;
    juce::TextButton* doneButton = nullptr;

    JUCE_DECLARE_NON_COPYABLE (PedalOptionsComponent)
};
