#pragma once

#include "Devices/UsbDeviceClient.h"
#include "Devices/UsbDeviceController.h"
#include "Devices/UsbDeviceDriver.h"

#include <juce_core/juce_core.h>

// One connected pedal. Created and deleted only by the pedal manager.
class UsbDevice
{
public:
    // Implemented by whoever holds a current pedal (the processor).
    class Holder
    {
    public:
        virtual ~Holder() = default;
        virtual UsbDevice* getDevice() = 0;
    };

    static constexpr const char* namePrefix = "QZR";
    static constexpr int nameLength = 8; // "QZR-" and four upper-case hexadecimal digits

    // Objects the audio threads may still see are handed to retired, never deleted at once.
    UsbDevice (const juce::String& deviceName, const juce::MidiDeviceInfo& inputPort,
               const juce::MidiDeviceInfo& outputPort, RetiredObjects& retired);
    ~UsbDevice();

    // Attaches a new client for a plug-in instance; the pedal owns it.
    UsbDeviceClient* addClient (ChannelSetting channel, PedalModeConfig leg);

    // Detaches the client; it is deleted once no audio thread can reach it.
    void removeClient (UsbDeviceClient* client);

    int getNumClients() const noexcept { return (int) clients.size(); }
    UsbDeviceController& getController() noexcept { return controller; }

    // The pedal's device name found in a MIDI port name, or an empty string.
    static juce::String extractDeviceName (const juce::String& portName);

    // Discovery matches ports by this name, and pedals need an audio device of it.
    static juce::String deviceNameForPort (const juce::String& portName) { return extractDeviceName (portName); }
    static constexpr bool needsAudioDevice = true;

    const juce::String& getName() const noexcept { return name; }
    UsbDeviceDriver& getDriver() noexcept { return driver; }
    MidiDevice& getMidiDevice() noexcept { return driver.getMidiDevice(); }

    // Whether saving may delete the settings file: only once this pedal has read
    // it or found it absent, so a file it never saw is never lost.
    bool settingsFileKnown = false;

private:
    RetiredObjects& retired;
    std::vector<std::unique_ptr<UsbDeviceClient>> clients;
    UsbDeviceDriver driver;
    UsbDeviceController controller;
    juce::String name;

    JUCE_DECLARE_NON_COPYABLE (UsbDevice)
};
