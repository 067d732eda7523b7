#pragma once

#include "Devices/DeviceModes.h"
#include "Emulation/EmulatedBootloader.h"
#include "Emulation/EmulatedPedalAudio.h"
#include "Emulation/VirtualAudioDeviceTypes.h"
#include "Emulation/VirtualMidiPorts.h"

#include <array>
#include <cstdint>
#include <mutex>
#include <utility>
#include <vector>

// The pedal's end of the wire, in process, for tests and the demo.
//
// Ports: plugIn() publishes a MIDI source and destination, both named exactly
// after the pedal (the source is its transmitter, the plug-in's input), and an
// audio device of that name, whose far end is the pedal's audio path (see
// EmulatedPedalAudio: the round trip, and why calibrating takes 20 samples
// less). A bootloader port pair can be published alongside.
//
// Frames it sends: F0 00 5A 3D 00 02 <id> <(group << 4) | slot> <command> <payload> F7,
// its own id and slot (default 2) unless a misbehaviour says otherwise. All of
// them go through VirtualMidiPorts::sendToPlugin, so they reach the plug-in on
// a delivery thread, as real MIDI input does.
//
// How it answers:
// - Announce (System 0x0B, no payload): sent the first time a plug-in input of
//   its source is started after plugIn(), whenever a valid frame with device id
//   0 arrives, and on announce().
// - Mode requests (System 0x01 Audio, 0x02 Control, 0x03 Pedalboard) addressed
//   to its id: answered with the same command and six payload bytes, its
//   firmware version as nibbles (1.2.3 -> 0 1 0 2 0 3). It enters the mode it
//   answers with (the requested one when it does not answer). A request with
//   id 0 (the plug-in has not heard the Announce yet) is answered the same way,
//   right after a fresh Announce.
// - KeepAlive (System 0x0C): with the heartbeat on (the default) it is
//   answered with a LedState frame (Display 0x01, [led byte]); that traffic is
//   what keeps the plug-in's watchdog fed.
// - Release (System 0x05): back to Mode::none, and remembered until the next plugIn().
// - EnterBootloader (System 0x06) addressed to its id: it withdraws its MIDI
//   ports and its audio device and publishes its bootloader as "QZR MIDI
//   Bootloader" (see EmulatedBootloader). After a complete firmware stream it
//   comes back (plugIn()) with the flashed firmware version; a rejected stream
//   leaves it in the bootloader, a power loss leaves it with no ports at all.
// - Calibrate (System 0x0D) [1]: a request for a calibration (the device
//   options' "Calibrate"), answered with its own Calibrate, which has every
//   attached plug-in instance measure. [0]: the plug-in's calibration is over.
//   It is calibrating from its own Calibrate, or from answering ModeAudio, until then.
// - Frames for another id, other commands and non-sysex messages: recorded only.
// Every message it receives on its own ports is recorded in order; the
// bootloader records its own.
//
// plugIn() is a power-up: mode back to Mode::none, the release forgotten.
//
// Misbehaviours: no automatic Announce; mode requests unanswered, answered with
// the next mode command (Audio -> Control -> Pedalboard -> Audio), or answered
// with a truncated version; a different header; a fixed device id (0 or foreign) on its frames; note-ons
// and raw bytes; a burst of frames sent back to back.
//
// Thread-safe: its receive side runs on the plug-in's sending thread.
class EmulatedPedal
{
public:
    using Record = std::array<uint8_t, 23>;
    using Bytes = std::vector<uint8_t>;

    enum class ModeReply
    {
        normal,
        none,      // requests go unanswered
        wrong,     // answered with the next mode command
        truncated  // fewer than six version bytes, see setTruncatedReplyLength
    };

    // deviceName like "QZR-1A2B"; deviceId 1 to 127.
    EmulatedPedal (VirtualMidiPorts& midiPorts, VirtualAudioDeviceTypes& audioTypes,
                   const juce::String& deviceName, uint8_t deviceId);
    // Unplugs and withdraws the bootloader.
    ~EmulatedPedal();

    const juce::String& getName() const noexcept { return name; }
    uint8_t getDeviceId() const noexcept { return deviceId; }

    // Ports. Each call publishes or withdraws only what is not already so.
    void plugIn();
    void unplug();
    void withdrawMidi();
    void withdrawAudio();
    void publishBootloader (const juce::String& portName);
    void withdrawBootloader();
    EmulatedBootloader& getBootloader() noexcept { return bootloader; }

    // Empty while withdrawn. The source is the plug-in's input, the destination its output.
    juce::String getSourceIdentifier() const;
    juce::String getDestinationIdentifier() const;

    // Settings.
    void setSlot (int newSlot);                        // 0 to 15, default 2
    void setFirmwareVersion (int majorMinorPatch);     // major << 16 | minor << 8 | patch
    void setHeartbeat (bool shouldAnswerKeepAlives);   // default on

    // Misbehaviours.
    void setAnnounceEnabled (bool shouldAnnounce);     // off: no automatic Announce
    void setModeReply (ModeReply reply);
    void setTruncatedReplyLength (int numBytes);       // 0 to 5, default 3
    void setHeader (const Bytes& headerBytes);         // the five bytes after F0
    void setFrameDeviceId (int id);                    // -1: its own id

    // What it has seen.
    Mode getMode() const;
    bool wasReleased() const;
    std::vector<Bytes> getReceivedMessages() const;
    void clearReceivedMessages();
    // Valid frames received with this group and command, whatever their id.
    int countReceived (uint8_t group, uint8_t command) const;

    // Its audio path: round trip, gains, captures.
    EmulatedPedalAudio& getAudio() noexcept { return audioPath; }

    // Sending, through its source. False when nothing took the message.
    bool announce();
    bool sendModeOff();            // also leaves its mode
    bool sendCalibrate();
    bool sendControlChanges (const std::vector<std::pair<uint8_t, uint8_t>>& controllerValuePairs);
    bool sendProgramChange (uint8_t program);
    bool sendLedState (uint8_t ledByte); // also becomes the heartbeat's byte
    bool sendPresetDump (int preset, const Record& record); // preset 0 to 15: command 0x50 + preset
    bool sendStateDump (const Record& record);
    // Any group and command, with the frame misbehaviours applied.
    bool sendFrame (uint8_t group, uint8_t command, const Bytes& payload);
    bool sendRaw (const Bytes& bytes);
    bool sendNoteOn (int channel, int note, uint8_t velocity);
    // Control group ControlChange frames back to back; frame i carries i as
    // two 7-bit bytes, high first. Returns how many were taken.
    int sendBurst (int numFrames);

    // A frame as it would send it now, to compare with what arrived.
    juce::MidiMessage buildFrame (uint8_t group, uint8_t command, const Bytes& payload) const;
    Bytes versionPayload() const;

private:
    juce::MidiMessage buildFrameLocked (uint8_t group, uint8_t command, const Bytes& payload) const;
    Bytes versionPayloadLocked() const;
    bool send (const juce::MidiMessage& message);
    void receive (const juce::MidiMessage& message);
    void inputStarted();
    void enterBootloader();
    void restart (uint32_t flashedVersion);

    VirtualMidiPorts& ports;
    VirtualAudioDeviceTypes& audio;
    EmulatedPedalAudio audioPath;
    const juce::String name;
    const uint8_t deviceId;

    // Never held while withdrawing a port: withdrawal waits for our callbacks, which take it.
    mutable std::mutex mutex;
    juce::String sourceId, destinationId;
    bool audioPublished = false;
    bool openedSincePlugIn = false;

    int slot = 2;
    int firmwareVersion = 0x010203;
    bool heartbeat = true;
    uint8_t led = 0;

    bool announceEnabled = true;
    ModeReply modeReply = ModeReply::normal;
    int truncatedReplyLength = 3;
    Bytes header { 0x00, 0x5A, 0x3D, 0x00, 0x02 };
    int frameDeviceId = -1;

    Mode mode = Mode::none;
    bool released = false;
    std::vector<Bytes> received;

    // Last, so it goes first: its callbacks reach back into the pedal.
    EmulatedBootloader bootloader { ports };

    JUCE_DECLARE_NON_COPYABLE (EmulatedPedal)
};
