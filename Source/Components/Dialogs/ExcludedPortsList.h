#pragma once

#include <string>
#include <vector>

// The other host's "ExcludedMIDIPorts.txt": one MIDI port name per line, read
// with LF or CR LF line ends, written with CR LF between lines and none after
// the last. Lines are kept as bytes, never decoded, so a name in any encoding
// survives a merge unchanged. A port is excluded when one line equals its name
// exactly.
namespace ExcludedPortsList
{
constexpr const char* fileName = "ExcludedMIDIPorts.txt";
constexpr const char* bootloaderPort = "QZR MIDI Bootloader";

// The lines, split at LF; a CR right before an LF belongs to the line end.
std::vector<std::string> splitLines (const std::string& text);

// Whether one line equals the name exactly.
bool lists (const std::string& text, const std::string& portName);

// The list to write: the non-blank lines in their order (duplicates kept),
// then the port name and the bootloader's port, each only when no line names it.
std::string merge (const std::string& text, const std::string& portName);
} // namespace ExcludedPortsList
