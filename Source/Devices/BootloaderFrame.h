#pragma once

#include <cstdint>

// The frame of every message a pedal's bootloader takes: F0, the maker's
// identifier 00 5A 3D, three bytes naming the bootloader, a command, the
// command's data bytes (below 0x80), F7; each command has one length. No
// framework code, so the tool that generates the carried firmware builds
// before the plug-in.
namespace BootloaderFrame
{
constexpr uint8_t maker[] = { 0x00, 0x5A, 0x3D };
constexpr int identityPosition = 4;
constexpr int identityBytes = 3;
constexpr int commandPosition = 7;

// In the order a firmware sends them: begin, header, blocks of up to 256
// records each closed by a block end, end.
enum Command : uint8_t
{
    begin = 0x7A,
    blockEnd = 0x7C,
    header = 0x7D,
    record = 0x7E,
    end = 0x7F
};

constexpr int recordsPerBlock = 256;

// The length of a message with this command, F0 to F7, or 0 for an unknown command.
constexpr int lengthOf (uint8_t command)
{
    switch (command)
    {
        case begin: return 13;
        case header: return 24;
        case record: return 47;
        case blockEnd: return 15;
        case end: return 10;
        default: return 0;
    }
}
} // namespace BootloaderFrame
