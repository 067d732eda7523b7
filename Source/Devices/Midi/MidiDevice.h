#pragma once

#include "Devices/Midi/MidiPorts.h"
#include "Devices/Midi/MidiQueue.h"
#include "Utilities/ForwardListenerList.h"

#include <juce_audio_devices/juce_audio_devices.h>
#include <juce_events/juce_events.h>

// The MIDI input and output port of one pedal or bootloader. Incoming messages
// cross from the MIDI input thread to the message thread through a lock-free
// queue that a 50 ms timer drains; outgoing messages are sent at once.
class MidiDevice : private juce::Timer,
                   private juce::MidiInputCallback
{
public:
    class Listener
    {
    public:
        virtual ~Listener() = default;
        virtual void incomingMidiMessage (MidiDevice* device, const juce::MidiMessage& message) = 0;
    };

    static constexpr int drainIntervalMs = 50;

    MidiDevice (const juce::MidiDeviceInfo& inputPort, const juce::MidiDeviceInfo& outputPort);
    ~MidiDevice() override;

    // (Re)opens both ports, input first; a port that is not found stays closed.
    void open();

    // Closes both ports; messages already queued are still delivered.
    void close();

    // Sends at once on the calling thread; nothing happens while the output is closed.
    void sendMessageNow (const juce::MidiMessage& message);

    bool isInputOpen() const noexcept { return input != nullptr; }
    bool isOutputOpen() const noexcept { return output != nullptr; }

    const juce::MidiDeviceInfo& getInputPort() const noexcept { return inputInfo; }
    const juce::MidiDeviceInfo& getOutputPort() const noexcept { return outputInfo; }

    // Listeners are called on the message thread, first added first.
    void addListener (Listener* listener) { listeners.add (listener); }
    void removeListener (Listener* listener) { listeners.remove (listener); }

    // Delivers every waiting message, in arrival order, as the timer does.
    void deliverWaitingMessages();

    // Messages lost on the way in: longer than any frame of the protocol, or to a full queue.
    int getNumDroppedMessages() const noexcept { return queue.getNumDropped(); }

    // The MIDI input thread's entry: queue the message and return.
    void handleIncomingMidiMessage (juce::MidiInput* source, const juce::MidiMessage& message) override;

private:
    void timerCallback() override { deliverWaitingMessages(); }

    std::unique_ptr<MidiPorts::Input> input;
    std::unique_ptr<MidiPorts::Output> output;
    juce::MidiDeviceInfo inputInfo;
    juce::MidiDeviceInfo outputInfo;
    ForwardListenerList<Listener> listeners;
    MidiQueue queue;

    JUCE_DECLARE_NON_COPYABLE (MidiDevice)
};
