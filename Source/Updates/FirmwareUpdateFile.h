#pragma once

#include <juce_audio_basics/juce_audio_basics.h>

// A firmware update file: the messages that install one firmware through the
// pedal's bootloader, back to back with nothing between them, each in the
// bootloader's frame (BootloaderFrame) with its command's length, all naming
// the same bootloader:
//   begin 7A: 13 bytes   header 7D: 24   record 7E: 47   block end 7C: 15   end 7F: 10
// A whole firmware is begin, header, one or more blocks of 1 to 256 records
// each closed by a block end, then end, and nothing after it. Only a whole
// firmware reaches a bootloader: a file cut short, a message of another kind or
// length, or a stray byte would leave the pedal half flashed.
class FirmwareUpdateFile
{
public:
    enum class Problem
    {
        none,
        empty,
        tooLarge,       // more bytes or messages than any firmware has
        notMessages,    // a byte outside a message, a status byte inside one, or a message cut short
        foreignMessage, // not the maker's bootloader frame, another bootloader's, or an unknown command
        wrongLength,    // longer or shorter than its command's messages
        outOfOrder,     // not begin, header, blocks of records each closed, end
        incomplete      // the file ends before the end message
    };

    // Splits a whole firmware into the buffer, one event per message in file
    // order. Anything else leaves the buffer empty and says what is wrong.
    static Problem split (const juce::MemoryBlock& bytes, juce::MidiBuffer& buffer);
};
