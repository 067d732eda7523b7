#pragma once

#include "Utilities/InputLimits.h"

#include <juce_audio_basics/juce_audio_basics.h>
#include <cstdint>

// The pedal's system-exclusive frame:
//   F0 00 5A 3D 00 02 <device id> <group << 4 | slot> <command> <payload...> F7
namespace Sysex
{
enum Group : uint8_t
{
    StateGroup = 0,
    SystemGroup = 1,
    ControlGroup = 2,
    ProgramGroup = 3,
    DisplayGroup = 4
};

enum SystemCommand : uint8_t
{
    ModeAudio = 0x01,
    ModeControl = 0x02,
    ModePedalboard = 0x03,
    ModeOff = 0x04,
    Release = 0x05,
    EnterBootloader = 0x06,
    ResetPresets = 0x09,
    ResetFirmware = 0x0A,
    Announce = 0x0B,
    KeepAlive = 0x0C,
    Calibrate = 0x0D
};

enum StateCommand : uint8_t
{
    StateOpen = 0x10,
    StateWrite = 0x30,
    StateRequest = 0x40,
    PresetDump = 0x50, // 0x50 to 0x5F
    StateSync = 0x60,
    StateDump = 0x70
};

enum OtherCommand : uint8_t
{
    ControlChange = 0x00,
    LedState = 0x01
};

constexpr uint8_t header[] = { 0x00, 0x5A, 0x3D, 0x00, 0x02 };
constexpr int frameOverhead = 10; // F0, header, id, group and slot, command, F7
constexpr int versionNibbles = 6;
constexpr int recordPayload = 23; // the preset record: the longest payload either side sends

// The MIDI queue keeps no more than the longest frame.
static_assert (frameOverhead + recordPayload == InputLimits::midiMessageBytes);

// A frame to the pedal. The slot byte carries (slot + 1) in its low nibble; a
// stored slot of 15 wraps to 0 there rather than spilling into the group.
juce::MidiMessage buildFrame (uint8_t deviceId, uint8_t group, int storedSlot, uint8_t command,
                              const void* payload, int length);
} // namespace Sysex

// One parsed message from the pedal. It points into the received bytes and is
// valid only while they are.
struct SysexMessage
{
    const uint8_t* payload = nullptr;
    uint8_t deviceId = 0;
    uint8_t group = 0;
    uint8_t slot = 0;
    uint8_t command = 0;
    int32_t length = 0;
    bool valid = false;

    // Checks the frame's header; never reads outside [data, data + size).
    static SysexMessage parse (const uint8_t* data, int size);
    static SysexMessage parse (const juce::MidiMessage& message);

    // The firmware version carried by a mode reply, or -1 when the reply is too
    // short to carry one.
    int getFirmwareVersion() const;
};
