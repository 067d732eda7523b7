#include "Emulation/EmulatedPedal.h"

#include "Devices/Midi/SysexMessage.h"
#include "Devices/UsbBootDevice.h"

namespace
{
Mode modeFor (uint8_t command)
{
    switch (command)
    {
        case Sysex::ModeAudio: return Mode::audio;
        case Sysex::ModeControl: return Mode::control;
        case Sysex::ModePedalboard: return Mode::pedalboard;
        default: return Mode::none;
    }
}

uint8_t nextModeCommand (uint8_t command)
{
    return command == Sysex::ModePedalboard ? (uint8_t) Sysex::ModeAudio : (uint8_t) (command + 1);
}
} // namespace

EmulatedPedal::EmulatedPedal (VirtualMidiPorts& midiPorts, VirtualAudioDeviceTypes& audioTypes,
                              const juce::String& deviceName, uint8_t id)
    : ports (midiPorts), audio (audioTypes), name (deviceName), deviceId (id)
{
    jassert (deviceId >= 1 && deviceId <= 127);
    bootloader.setOnFlashed ([this] (uint32_t version) { restart (version); });
}

EmulatedPedal::~EmulatedPedal()
{
    unplug();
    withdrawBootloader();
}

//==============================================================================
void EmulatedPedal::plugIn()
{
    const std::lock_guard<std::mutex> lock (mutex);

    // Held while publishing, so a plug-in that opens the port at once finds the identifiers set.
    if (sourceId.isEmpty())
    {
        openedSincePlugIn = false;
        destinationId = ports.publishOutput (name, [this] (const juce::MidiMessage& m) { receive (m); });
        sourceId = ports.publishInput (name, [this] { inputStarted(); });
    }

    if (! audioPublished)
    {
        audio.publish (name, &audioPath);
        audioPublished = true;
    }

    mode = Mode::none;
    released = false;
}

void EmulatedPedal::unplug()
{
    withdrawMidi();
    withdrawAudio();
}

void EmulatedPedal::withdrawMidi()
{
    ports.withdraw (mutex, sourceId, destinationId);
}

void EmulatedPedal::withdrawAudio()
{
    const std::lock_guard<std::mutex> lock (mutex);

    if (audioPublished)
        audio.withdraw (name);

    audioPublished = false;
}

void EmulatedPedal::publishBootloader (const juce::String& portName)
{
    bootloader.publish (portName);
}

void EmulatedPedal::withdrawBootloader()
{
    bootloader.withdraw();
}

void EmulatedPedal::enterBootloader()
{
    withdrawMidi();
    withdrawAudio();

    {
        const std::lock_guard<std::mutex> lock (mutex);
        mode = Mode::none;
    }

    bootloader.publish (UsbBootDevice::pedalBootloaderName);
}

void EmulatedPedal::restart (uint32_t flashedVersion)
{
    setFirmwareVersion ((int) flashedVersion);
    plugIn();
}

juce::String EmulatedPedal::getSourceIdentifier() const
{
    const std::lock_guard<std::mutex> lock (mutex);
    return sourceId;
}

juce::String EmulatedPedal::getDestinationIdentifier() const
{
    const std::lock_guard<std::mutex> lock (mutex);
    return destinationId;
}

//==============================================================================
void EmulatedPedal::setSlot (int newSlot)
{
    const std::lock_guard<std::mutex> lock (mutex);
    slot = newSlot & 0x0F;
}

void EmulatedPedal::setFirmwareVersion (int majorMinorPatch)
{
    const std::lock_guard<std::mutex> lock (mutex);
    firmwareVersion = majorMinorPatch;
}

void EmulatedPedal::setHeartbeat (bool shouldAnswerKeepAlives)
{
    const std::lock_guard<std::mutex> lock (mutex);
    heartbeat = shouldAnswerKeepAlives;
}

void EmulatedPedal::setAnnounceEnabled (bool shouldAnnounce)
{
    const std::lock_guard<std::mutex> lock (mutex);
    announceEnabled = shouldAnnounce;
}

void EmulatedPedal::setModeReply (ModeReply reply)
{
    const std::lock_guard<std::mutex> lock (mutex);
    modeReply = reply;
}

void EmulatedPedal::setTruncatedReplyLength (int numBytes)
{
    const std::lock_guard<std::mutex> lock (mutex);
    truncatedReplyLength = juce::jlimit (0, Sysex::versionNibbles - 1, numBytes);
}

void EmulatedPedal::setHeader (const Bytes& headerBytes)
{
    const std::lock_guard<std::mutex> lock (mutex);
    header = headerBytes;
}

void EmulatedPedal::setFrameDeviceId (int id)
{
    const std::lock_guard<std::mutex> lock (mutex);
    frameDeviceId = id;
}

//==============================================================================
Mode EmulatedPedal::getMode() const
{
    const std::lock_guard<std::mutex> lock (mutex);
    return mode;
}

bool EmulatedPedal::wasReleased() const
{
    const std::lock_guard<std::mutex> lock (mutex);
    return released;
}

std::vector<EmulatedPedal::Bytes> EmulatedPedal::getReceivedMessages() const
{
    const std::lock_guard<std::mutex> lock (mutex);
    return received;
}

void EmulatedPedal::clearReceivedMessages()
{
    const std::lock_guard<std::mutex> lock (mutex);
    received.clear();
}

int EmulatedPedal::countReceived (uint8_t group, uint8_t command) const
{
    const std::lock_guard<std::mutex> lock (mutex);
    int count = 0;

    for (auto& bytes : received)
    {
        const auto frame = SysexMessage::parse (bytes.data(), (int) bytes.size());
        if (frame.valid && frame.group == group && frame.command == command)
            ++count;
    }

    return count;
}

//==============================================================================
juce::MidiMessage EmulatedPedal::buildFrame (uint8_t group, uint8_t command, const Bytes& payload) const
{
    const std::lock_guard<std::mutex> lock (mutex);
    return buildFrameLocked (group, command, payload);
}

EmulatedPedal::Bytes EmulatedPedal::versionPayload() const
{
    const std::lock_guard<std::mutex> lock (mutex);
    return versionPayloadLocked();
}

juce::MidiMessage EmulatedPedal::buildFrameLocked (uint8_t group, uint8_t command, const Bytes& payload) const
{
    Bytes frame { 0xF0 };
    frame.insert (frame.end(), header.begin(), header.end());
    frame.push_back ((uint8_t) (frameDeviceId < 0 ? deviceId : frameDeviceId));
    frame.push_back ((uint8_t) (((group & 0x07) << 4) | (slot & 0x0F)));
    frame.push_back (command);
    frame.insert (frame.end(), payload.begin(), payload.end());
    frame.push_back (0xF7);
    return juce::MidiMessage (frame.data(), (int) frame.size());
}

EmulatedPedal::Bytes EmulatedPedal::versionPayloadLocked() const
{
    Bytes nibbles;

    for (int shift = 16; shift >= 0; shift -= 8)
    {
        const auto byte = (firmwareVersion >> shift) & 0xFF;
        nibbles.push_back ((uint8_t) (byte >> 4));
        nibbles.push_back ((uint8_t) (byte & 0x0F));
    }

    return nibbles;
}

bool EmulatedPedal::send (const juce::MidiMessage& message)
{
    return ports.sendToPlugin (getSourceIdentifier(), message);
}

bool EmulatedPedal::announce()
{
    return send (buildFrame (Sysex::SystemGroup, Sysex::Announce, {}));
}

bool EmulatedPedal::sendModeOff()
{
    juce::MidiMessage frame;
    {
        const std::lock_guard<std::mutex> lock (mutex);
        mode = Mode::none;
        frame = buildFrameLocked (Sysex::SystemGroup, Sysex::ModeOff, {});
    }

    return send (frame);
}

bool EmulatedPedal::sendCalibrate()
{
    audioPath.beginCalibration();
    return send (buildFrame (Sysex::SystemGroup, Sysex::Calibrate, {}));
}

bool EmulatedPedal::sendControlChanges (const std::vector<std::pair<uint8_t, uint8_t>>& controllerValuePairs)
{
    Bytes payload;

    for (auto& [controller, value] : controllerValuePairs)
    {
        payload.push_back (controller);
        payload.push_back (value);
    }

    return send (buildFrame (Sysex::ControlGroup, Sysex::ControlChange, payload));
}

bool EmulatedPedal::sendProgramChange (uint8_t program)
{
    return send (buildFrame (Sysex::ProgramGroup, program, {}));
}

bool EmulatedPedal::sendLedState (uint8_t ledByte)
{
    juce::MidiMessage frame;
    {
        const std::lock_guard<std::mutex> lock (mutex);
        led = ledByte;
        frame = buildFrameLocked (Sysex::DisplayGroup, Sysex::LedState, { ledByte });
    }

    return send (frame);
}

bool EmulatedPedal::sendPresetDump (int preset, const Record& record)
{
    jassert (preset >= 0 && preset <= 15);
    const auto command = (uint8_t) (Sysex::PresetDump + (preset & 0x0F));
    return send (buildFrame (Sysex::StateGroup, command, Bytes (record.begin(), record.end())));
}

bool EmulatedPedal::sendStateDump (const Record& record)
{
    return send (buildFrame (Sysex::StateGroup, Sysex::StateDump, Bytes (record.begin(), record.end())));
}

bool EmulatedPedal::sendFrame (uint8_t group, uint8_t command, const Bytes& payload)
{
    return send (buildFrame (group, command, payload));
}

bool EmulatedPedal::sendRaw (const Bytes& bytes)
{
    if (bytes.empty())
        return false;

    return send (juce::MidiMessage (bytes.data(), (int) bytes.size()));
}

bool EmulatedPedal::sendNoteOn (int channel, int note, uint8_t velocity)
{
    return send (juce::MidiMessage::noteOn (channel, note, velocity));
}

int EmulatedPedal::sendBurst (int numFrames)
{
    std::vector<juce::MidiMessage> frames;
    frames.reserve ((size_t) juce::jmax (0, numFrames));
    {
        const std::lock_guard<std::mutex> lock (mutex);
        for (int i = 0; i < numFrames; ++i)
            frames.push_back (buildFrameLocked (Sysex::ControlGroup, Sysex::ControlChange,
                                                { (uint8_t) ((i >> 7) & 0x7F), (uint8_t) (i & 0x7F) }));
    }

    const auto source = getSourceIdentifier();
    int taken = 0;

    for (auto& frame : frames)
        taken += ports.sendToPlugin (source, frame) ? 1 : 0;

    return taken;
}

//==============================================================================
void EmulatedPedal::inputStarted()
{
    juce::MidiMessage frame;
    {
        const std::lock_guard<std::mutex> lock (mutex);
        const auto first = ! std::exchange (openedSincePlugIn, true);

        if (! first || ! announceEnabled)
            return;

        frame = buildFrameLocked (Sysex::SystemGroup, Sysex::Announce, {});
    }

    send (frame);
}

void EmulatedPedal::receive (const juce::MidiMessage& message)
{
    std::vector<juce::MidiMessage> replies;
    bool toBootloader = false;

    {
        const std::lock_guard<std::mutex> lock (mutex);
        const auto* data = message.getRawData();
        received.emplace_back (data, data + message.getRawDataSize());

        const auto frame = SysexMessage::parse (message);

        if (! frame.valid)
            return;

        // A plug-in that has no id yet addresses it as 0: the pedal announces
        // itself and still answers, so the first handshake needs no retry.
        if (frame.deviceId == 0 && announceEnabled)
            replies.push_back (buildFrameLocked (Sysex::SystemGroup, Sysex::Announce, {}));

        if ((frame.deviceId == deviceId || frame.deviceId == 0) && frame.group == Sysex::SystemGroup)
        {
            switch (frame.command)
            {
                case Sysex::ModeAudio:
                case Sysex::ModeControl:
                case Sysex::ModePedalboard:
                {
                    const auto answer = modeReply == ModeReply::wrong ? nextModeCommand (frame.command) : frame.command;
                    mode = modeFor (answer);
                    released = false;

                    if (mode == Mode::audio)
                        audioPath.beginCalibration();

                    if (modeReply == ModeReply::none)
                        break;

                    auto payload = versionPayloadLocked();
                    if (modeReply == ModeReply::truncated)
                        payload.resize ((size_t) truncatedReplyLength);

                    replies.push_back (buildFrameLocked (Sysex::SystemGroup, answer, payload));
                    break;
                }

                case Sysex::Release:
                    mode = Mode::none;
                    released = true;
                    break;

                case Sysex::EnterBootloader:
                    toBootloader = frame.deviceId == deviceId;
                    break;

                case Sysex::Calibrate:
                    // [1] asks for a calibration, which the pedal starts by asking
                    // every plug-in instance to measure; [0] says it is over.
                    if (frame.length >= 1 && frame.payload[0] == 1)
                    {
                        audioPath.beginCalibration();
                        replies.push_back (buildFrameLocked (Sysex::SystemGroup, Sysex::Calibrate, {}));
                    }
                    else if (frame.length >= 1 && frame.payload[0] == 0)
                    {
                        audioPath.endCalibration();
                    }
                    break;

                case Sysex::KeepAlive:
                    if (heartbeat)
                        replies.push_back (buildFrameLocked (Sysex::DisplayGroup, Sysex::LedState, { led }));
                    break;

                default:
                    break;
            }
        }
    }

    for (auto& reply : replies)
        send (reply);

    // Outside the lock: withdrawing our ports waits for their callbacks.
    if (toBootloader)
        enterBootloader();
}
