#include "Devices/Midi/MidiDevice.h"

MidiDevice::MidiDevice (const juce::MidiDeviceInfo& inputPort, const juce::MidiDeviceInfo& outputPort)
    : inputInfo (inputPort), outputInfo (outputPort)
{
    startTimer (drainIntervalMs);
}

MidiDevice::~MidiDevice()
{
    stopTimer();
    output.reset();

    if (input != nullptr)
        input->stop();

    input.reset();
}

void MidiDevice::open()
{
    auto& ports = MidiPorts::system();

    if (input != nullptr)
        input->stop();

    input.reset();
    if (inputInfo.identifier.isNotEmpty())
        input = ports.openInput (inputInfo.identifier, this);

    if (input != nullptr)
        input->start();

    output.reset();
    if (outputInfo.identifier.isNotEmpty())
        output = ports.openOutput (outputInfo.identifier);
}

void MidiDevice::close()
{
    if (input != nullptr)
        input->stop();

    input.reset();

    if (output != nullptr)
        output->clearAllPendingMessages();

    output.reset();
}

void MidiDevice::sendMessageNow (const juce::MidiMessage& message)
{
    if (output != nullptr)
        output->sendMessageNow (message);
}

void MidiDevice::handleIncomingMidiMessage (juce::MidiInput*, const juce::MidiMessage& message)
{
    queue.write (message.getRawData(), message.getRawDataSize());
}

void MidiDevice::deliverWaitingMessages()
{
    MidiQueue::Message waiting;

    // Each slot is freed before the listeners run, so the MIDI thread can refill it.
    while (queue.read (waiting))
    {
        const juce::MidiMessage message (waiting.bytes.data(), waiting.size);
        listeners.call ([this, &message] (Listener& l) { l.incomingMidiMessage (this, message); });
    }
}
