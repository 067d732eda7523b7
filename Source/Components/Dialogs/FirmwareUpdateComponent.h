#pragma once

#include "Components/Dialogs/AlertBoxComponent.h"
#include "Devices/UsbDevice.h"
#include "Updates/FirmwareUpdateFlow.h"
#include "Updates/VersionQuery.h"

#include <juce_gui_basics/juce_gui_basics.h>
#include <functional>

// The firmware update dialog: the view of a FirmwareUpdateFlow. It shows the
// flow's title, message, controls and buttons, and hands clicks, the toggle
// and dropped files to it; a file dragged over it lightens its background.
class FirmwareUpdateComponent : public AlertBoxComponent,
                                public juce::FileDragAndDropTarget,
                                private FirmwareUpdateFlow::Listener
{
public:
    FirmwareUpdateComponent (UsbDevice::Holder* deviceHolder, const VersionQuery& query, juce::PropertySet& settings,
                             std::function<void (int)> resultCallback);
    ~FirmwareUpdateComponent() override;

    FirmwareUpdateFlow& getFlow() noexcept { return flow; }
    juce::ToggleButton* getAutoCheckToggle() const noexcept { return autoCheckToggle; }

    // Closes the flow too: a closed dialog never moves on, and lets go of the pedal.
    void dismiss() override;

    juce::Colour getBackgroundColour() const override;
    void buttonClicked (juce::Button* button) override;
    void buttonStateChanged (juce::Button* button) override;

    bool isInterestedInFileDrag (const juce::StringArray& files) override;
    void filesDropped (const juce::StringArray& files, int x, int y) override;
    void fileDragEnter (const juce::StringArray& files, int x, int y) override;
    void fileDragExit (const juce::StringArray& files) override;

private:
    void flowStateChanged() override;
    void flowMessageChanged() override;
    void flowProgressChanged() override;
    void flowOpensWebPage (const juce::String& address) override;
    void flowEnded (int result) override;

    bool showsFlowMessage();
    void showFlowMessage();

    std::function<void (int)> resultCallback;
    FirmwareUpdateFlow flow;
    double progress = -1.0; // the flow's, as the progress bar reads it
    bool dragOver = false;
    juce::ToggleButton* autoCheckToggle = nullptr;

    JUCE_DECLARE_NON_COPYABLE (FirmwareUpdateComponent)
};
