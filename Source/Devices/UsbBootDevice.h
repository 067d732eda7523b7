#pragma once

#include "Devices/Midi/MidiDevice.h"
#include "Utilities/RetiredObjects.h"

#include <juce_core/juce_core.h>

class UsbDevice;

// A pedal waiting in its MIDI bootloader; no settings, no audio.
class UsbBootDevice
{
public:
    class Listener
    {
    public:
        virtual ~Listener() = default;
        virtual void incomingMidiMessage (UsbDevice*, const juce::MidiMessage&) {}
    };

    static constexpr const char* pedalBootloaderName = "QZR MIDI Bootloader";
    static constexpr const char* genericBootloaderName = "USB MIDI Bootloader";

    UsbBootDevice (const juce::String&, const juce::MidiDeviceInfo& inputPort, const juce::MidiDeviceInfo& outputPort,
                   RetiredObjects&)
        : midiDevice (inputPort, outputPort)
    {
    }

    // The bootloader's name as a whole word in a port name, or an empty string.
    static juce::String deviceNameForPort (const juce::String& portName)
    {
        for (auto* candidate : { pedalBootloaderName, genericBootloaderName })
            if (portName.indexOfWholeWord (candidate) >= 0)
                return candidate;

        return {};
    }

    static constexpr bool needsAudioDevice = false;

    // Derived from the input port, so at most one device of each name exists.
    juce::String getName() const { return deviceNameForPort (midiDevice.getInputPort().name); }

    MidiDevice& getMidiDevice() noexcept { return midiDevice; }

    // The flashing job registers here; what the bootloader sends is never read.
    void addListener (Listener* listener) { listeners.add (listener); }
    void removeListener (Listener* listener) { listeners.remove (listener); }

    // A bootloader with a listener is being flashed by that listener.
    bool hasListeners() const noexcept { return ! listeners.isEmpty(); }

private:
    MidiDevice midiDevice;
    juce::ListenerList<Listener> listeners;

    JUCE_DECLARE_NON_COPYABLE (UsbBootDevice)
};
