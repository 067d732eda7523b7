#pragma once

#include <juce_audio_devices/juce_audio_devices.h>
#include <memory>

// The system's MIDI ports as the pedal link uses them: listed by name and
// identifier, opened by identifier, output sent at once, input received on a
// thread of the port's own. The platform's ports serve unless a stand-in has
// been installed (the emulated pedal's virtual ports, in tests and the demo).
class MidiPorts
{
public:
    class Input
    {
    public:
        virtual ~Input() = default;
        virtual void start() = 0;
        virtual void stop() = 0;
    };

    class Output
    {
    public:
        virtual ~Output() = default;
        virtual void sendMessageNow (const juce::MidiMessage& message) = 0;
        virtual void clearAllPendingMessages() = 0;
    };

    virtual ~MidiPorts() = default;

    virtual juce::Array<juce::MidiDeviceInfo> getInputs() = 0;
    virtual juce::Array<juce::MidiDeviceInfo> getOutputs() = 0;

    // Null when no port has that identifier or it cannot be opened. The callback
    // is called on the port's own thread, with a null MidiInput.
    virtual std::unique_ptr<Input> openInput (const juce::String& identifier, juce::MidiInputCallback* callback) = 0;
    virtual std::unique_ptr<Output> openOutput (const juce::String& identifier) = 0;

    // The ports in use: the platform's, or the installed stand-in.
    static MidiPorts& system();

    // Installs a stand-in for the platform's ports; null restores the platform's.
    // The caller keeps ownership and uninstalls before destroying it.
    static void install (MidiPorts* standIn);
};
