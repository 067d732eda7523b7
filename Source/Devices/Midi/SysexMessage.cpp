#include "Devices/Midi/SysexMessage.h"

#include <cstring>

juce::MidiMessage Sysex::buildFrame (uint8_t deviceId, uint8_t group, int storedSlot, uint8_t command,
                                     const void* payload, int length)
{
    length = juce::jmax (0, payload != nullptr ? length : 0);

    juce::HeapBlock<uint8_t> frame ((size_t) (length + frameOverhead));
    frame[0] = 0xF0;
    std::memcpy (frame + 1, header, sizeof (header));
    frame[6] = deviceId;
    frame[7] = (uint8_t) (((group & 0x07) << 4) | ((storedSlot + 1) & 0x0F));
    frame[8] = command;

    if (length > 0)
        std::memcpy (frame + 9, payload, (size_t) length);

    frame[9 + length] = 0xF7;
    return juce::MidiMessage (frame.get(), length + frameOverhead);
}

SysexMessage SysexMessage::parse (const uint8_t* data, int size)
{
    SysexMessage message;

    if (data == nullptr || size < Sysex::frameOverhead || data[0] != 0xF0)
        return message;

    if (std::memcmp (data + 1, Sysex::header, sizeof (Sysex::header)) != 0)
        return message;

    message.deviceId = data[6];
    message.group = (uint8_t) (data[7] >> 4);
    message.slot = (uint8_t) (data[7] & 0x0F);
    message.command = data[8];
    message.length = size - Sysex::frameOverhead;
    message.payload = data + 9;
    message.valid = true;
    return message;
}

SysexMessage SysexMessage::parse (const juce::MidiMessage& message)
{
    return parse (message.getRawData(), message.getRawDataSize());
}

int SysexMessage::getFirmwareVersion() const
{
    if (! valid || length < Sysex::versionNibbles)
        return -1;

    auto byte = [this] (int i) { return ((payload[i] & 0x0F) << 4) | (payload[i + 1] & 0x0F); };
    return (byte (0) << 16) | (byte (2) << 8) | byte (4);
}
