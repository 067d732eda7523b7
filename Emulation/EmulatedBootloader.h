#pragma once

#include "Emulation/SyntheticFirmware.h"
#include "Emulation/VirtualMidiPorts.h"

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <vector>

// A pedal's MIDI bootloader, in process, for tests and demos.
//
// Ports: publish() puts up a source and a destination of the given name (the
// plug-in writes to the destination); withdraw() takes them down. It sends
// nothing, as the plug-in reads nothing from a bootloader.
//
// What it accepts: the stream of SyntheticFirmware.h, with its own identity
// bytes (the pedal's unless it was made as a foreign bootloader). Every message
// is recorded with the time it arrived and checked in turn: a complete frame,
// the manufacturer and identity bytes, 7-bit data, the checksum, the length for
// its command, and the order (first, second, the data records numbered from 0
// in blocks closed by their block message with the right count and sum, last).
// The first message that fails rejects the stream: the bootloader records why,
// ignores the rest and stays a bootloader. After a complete stream it withdraws
// its ports and reports the flashed version (the pedal then starts again).
//
// Power loss: losePowerAfter (n) withdraws the ports right after the n-th
// message, as if the pedal had been unplugged mid-flash.
//
// Holding: holdAfter (n) keeps the sender waiting in the n-th message of every
// stream, as a bootloader still writing its memory would, until holdAfter (0)
// or a withdrawal, so that a flash under way can be seen however slowly the
// machine runs.
//
// Arrival times come from the millisecond counter, or from the clock a test
// sets, so that the sender's pacing can be checked in simulated time.
//
// Thread-safe: it receives on the plug-in's sending thread.
class EmulatedBootloader
{
public:
    using Bytes = std::vector<uint8_t>;
    using FlashedCallback = std::function<void (uint32_t version)>;
    using Clock = std::function<double()>; // milliseconds

    enum class State
    {
        idle,      // not published yet
        receiving, // published, the stream so far is sound
        flashed,   // a complete stream arrived; the ports are withdrawn
        rejected,  // see getReason(); still published
        powerLost  // ports withdrawn mid-stream
    };

    explicit EmulatedBootloader (VirtualMidiPorts& midiPorts,
                                 const SyntheticFirmware::Identity& ownIdentity = SyntheticFirmware::pedalIdentity);
    ~EmulatedBootloader();

    // Starts afresh each time: nothing received, state receiving.
    void publish (const juce::String& portName);
    void withdraw();
    bool isPublished() const;
    juce::String getSourceIdentifier() const;
    juce::String getDestinationIdentifier() const;

    // Called on the sender's thread once a stream is complete, after the ports went.
    void setOnFlashed (FlashedCallback callback);
    void losePowerAfter (int numMessages); // 0: never
    void holdAfter (int numMessages);      // 0: never, and a held sender goes on
    bool isHolding() const;                // a sender is waiting in a message
    void setClock (Clock clock);

    State getState() const;
    juce::String getReason() const;
    uint32_t getFlashedVersion() const;
    std::vector<Bytes> getMessages() const;
    std::vector<double> getArrivalTimesMs() const;

private:
    // Returns whether the ports must go now.
    bool check (const Bytes& message);
    bool reject (const juce::String& why); // always false
    void receive (const juce::MidiMessage& message);

    VirtualMidiPorts& ports;
    const SyntheticFirmware::Identity identity;

    mutable std::mutex mutex;
    juce::String sourceId, destinationId;
    FlashedCallback onFlashed;
    Clock clock { [] { return juce::Time::getMillisecondCounterHiRes(); } };
    int powerLossAfter = 0;
    int holdAfterMessages = 0;
    bool holding = false, withdrawn = false;
    std::condition_variable holdChanged;

    State state = State::idle;
    juce::String reason;
    std::vector<Bytes> messages;
    std::vector<double> arrivals;

    // Where the stream stands.
    uint8_t expected = SyntheticFirmware::begin;
    uint32_t version = 0;
    int totalRecords = 0, perBlock = 0, nextRecord = 0, block = 0, inBlock = 0;
    uint32_t blockSum = 0;

    JUCE_DECLARE_NON_COPYABLE (EmulatedBootloader)
};
