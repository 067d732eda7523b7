#pragma once

#include "Devices/Midi/MidiPorts.h"

#include <functional>
#include <memory>
#include <mutex>

// In-process MIDI ports for the emulated pedal. The emulator publishes sources
// (ports the plug-in reads from) and destinations (ports the plug-in writes to).
// Every opened source gets a delivery thread of its own, so the plug-in is
// called back off its own threads, as by a platform MIDI input. Writes to a
// destination reach its owner synchronously, on the writer's thread.
//
// Opened handles share the registry's state, so they stay safe to use and to
// destroy after their port is withdrawn or this object is gone: they just go quiet.
class VirtualMidiPorts final : public MidiPorts
{
public:
    // Called on the plug-in's thread each time one of its inputs of the source is started.
    using StartedCallback = std::function<void()>;
    // Called on the plug-in's thread with each message it writes to the destination.
    using ReceiveCallback = std::function<void (const juce::MidiMessage&)>;

    VirtualMidiPorts();
    // Withdraws every port and uninstalls itself if installed.
    ~VirtualMidiPorts() override;

    // MidiPorts::install (this), and its undoing when this is the one installed.
    void install();
    void uninstall();

    // Each returns the new port's unique identifier, e.g. "virtual-in-7".
    juce::String publishInput (const juce::String& name, StartedCallback onStarted = {});
    juce::String publishOutput (const juce::String& name, ReceiveCallback onReceive);

    // The port vanishes from the lists. Once this returns its callback is never
    // called again (a call in progress on another thread is waited for).
    void withdraw (const juce::String& identifier);
    void withdrawAll();

    // Withdraws a source and a destination whose identifiers the caller keeps
    // under its own lock: they are emptied under that lock and withdrawn outside
    // it, as withdrawal waits for callbacks that may take it.
    void withdraw (std::mutex& ownerLock, juce::String& sourceIdentifier, juce::String& destinationIdentifier);

    // Queues the message for each started plug-in input of the source; false
    // when none took it (not published, not opened or not started).
    bool sendToPlugin (const juce::String& sourceIdentifier, const juce::MidiMessage& message);

    // Blocks until every queued message has been handed to the plug-in's
    // callback and that callback has returned. False on timeout.
    bool flush (int timeoutMs = 5000);

    int getNumStartedInputs (const juce::String& sourceIdentifier) const;

    // MidiPorts
    juce::Array<juce::MidiDeviceInfo> getInputs() override;
    juce::Array<juce::MidiDeviceInfo> getOutputs() override;
    std::unique_ptr<Input> openInput (const juce::String& identifier, juce::MidiInputCallback* callback) override;
    std::unique_ptr<Output> openOutput (const juce::String& identifier) override;

    struct Core;

private:
    std::shared_ptr<Core> core;

    JUCE_DECLARE_NON_COPYABLE (VirtualMidiPorts)
};
