#pragma once

#include "Components/Dialogs/AlertBoxComponent.h"

#include <juce_gui_basics/juce_gui_basics.h>
#include <functional>

// Helps the user make the other host ignore the pedal's MIDI ports, in three
// steps: it explains, writes a merged copy of that host's
// "ExcludedMIDIPorts.txt" to the Desktop and shows both places in the file
// manager, then polls the host's file every 250 ms until it lists the pedal's
// port and the bootloader's. A copy that could not be made is reported as
// such, and then nothing is polled. Result 0 ("Cancel") goes to the callback,
// which closes the dialog.
class ProToolsSetupComponent : public AlertBoxComponent
{
public:
    // Button result codes.
    enum Result
    {
        cancel = 0,
        proceed = 1
    };

    static constexpr int pollTimerId = 1;
    static constexpr int pollIntervalMs = 250;

    ProToolsSetupComponent (const juce::String& portName, std::function<void (int)> callback);

    // The host's file, beside the host application.
    static juce::File getExclusionFile();

    // Whether the host's file lists the port; a missing or unreadable file lists nothing.
    static bool isDeviceExcluded (const juce::String& portName);

    int getStep() const noexcept { return step; }

    void dismiss() override;

    void timerCallback (int timerId) override;
    void buttonClicked (juce::Button* button) override;

private:
    enum class Written { ok, unreadable, unwritable };

    // The host's list merged with our two ports, on the Desktop.
    Written writeDesktopCopy() const;

    std::function<void (int)> setupCallback;
    const juce::String portName;
    int step = 1;

    JUCE_DECLARE_NON_COPYABLE (ProToolsSetupComponent)
};
