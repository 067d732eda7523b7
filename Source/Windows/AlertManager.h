#pragma once

#include "Devices/UsbDevice.h"
#include "Devices/UsbDeviceManager.h"
#include "Updates/VersionQuery.h"

#include <juce_gui_basics/juce_gui_basics.h>
#include <functional>
#include <memory>
#include <vector>

// Shows the editor's dialogs one at a time, as children of the editor: a
// translucent overlay darkens the whole editor behind the box (clicks still
// reach the editor) and a shadow follows the box. A new dialog replaces the one
// shown without calling its callback, except while a firmware flash runs: then
// every opener refuses, and returns false, so that nothing interrupts the
// flash. The dialogs that act on the pedal also refuse while any instance of
// the process flashes it. Message thread only.
class AlertManager
{
public:
    // The box on screen and its decoration.
    class DecoratedAlertBox
    {
    public:
        explicit DecoratedAlertBox (juce::Component& parent);
        ~DecoratedAlertBox();

        // Makes the box shown: the previous box, if any, is taken off the
        // parent at once and deleted soon after, its callback never called.
        void show (std::shared_ptr<juce::Component> newBox);

        // Decorates and shows the box just stored.
        void activate();

        // Closes the box: off the parent at once; it is deleted once the click
        // that closed it has returned, so a box may close itself from its own
        // button's callback.
        void reset();

        bool isShowing() const noexcept { return box != nullptr; }

        // Set while a box is shown.
        std::shared_ptr<juce::Component> box;
        juce::Component* const parent;
        std::unique_ptr<juce::DropShadower> shadower;
        std::unique_ptr<juce::Component> overlay;

    private:
        void retire (std::shared_ptr<juce::Component> gone);

        struct Releaser : juce::AsyncUpdater
        {
            void handleAsyncUpdate() override { closed.clear(); }
            std::vector<std::shared_ptr<juce::Component>> closed;
        };

        Releaser releaser;

        JUCE_DECLARE_NON_COPYABLE (DecoratedAlertBox)
    };

    AlertManager (UsbDevice::Holder& holder, juce::Component& parent);

    // The results of a confirmation's buttons.
    enum Confirmation
    {
        cancelled = 0, // "Cancel"
        confirmed = 1  // "OK"
    };

    // Title, message, "OK" and "Cancel"; the callback gets the result (a
    // Confirmation), then the box closes. The callback must not be empty.
    bool alert_withCallback (const juce::String& title, const juce::String& message, std::function<void (int)> callback);

    // The firmware update dialog, starting in the state the query's status
    // selects; the callback gets its result, then it closes.
    bool alert_updateFirmware (const VersionQuery& query, juce::PropertySet& settings, std::function<void (int)> callback);

    // Confirmations that, on "OK", reset the attached pedal's presets or firmware.
    bool alert_resetFactoryPresets();
    bool alert_resetFirmware();

    // The device options dialog over the pedal's settings tree. Result 0 closes
    // it; every other result reaches the callback with the dialog's tree.
    bool alert_pedalOptions (juce::ValueTree settingsTree, bool needsCalibration,
                             std::function<void (int, juce::ValueTree&)> callback);

    // The set-up dialog for excluding the pedal's MIDI ports in the other host.
    // It takes the device options dialog's size: its texts run to twelve lines,
    // which need that height to be drawn in the message font's own size.
    bool alert_setupProTools (const juce::String& portName);

    // A firmware flash is running in the dialog shown: no other dialog may
    // replace it, and nothing may detach or reattach the pedal meanwhile.
    bool isFlashing() const;

    // That, or the holder's pedal is being flashed from anywhere in the process.
    bool isPedalFlashing() const;

    UsbDevice::Holder& holder;
    juce::SharedResourcePointer<UsbBaseDeviceManager<UsbDevice>> pedalManager;
    DecoratedAlertBox alert;

private:
    // Shows the box, centred with that size.
    void present (std::shared_ptr<juce::Component> box, int width, int height);
    // The size of the dialogs with the most rows: the device options and the set-up.
    void presentTall (std::shared_ptr<juce::Component> box);

    // A callback that closes its own box, once the box is known, unless another box has replaced it.
    struct Closer;
    std::shared_ptr<Closer> makeCloser();

    void resetFactoryPresets();
    void resetFirmware();

    JUCE_DECLARE_NON_COPYABLE (AlertManager)
};
