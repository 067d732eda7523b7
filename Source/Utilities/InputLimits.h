#pragma once

#include <cstddef>

// Every cap on what comes from outside the plug-in (files, the host, the pedal,
// the network) in one place, so that a reader of hostile input can be checked
// against one list.
namespace InputLimits
{
constexpr size_t kilobyte = 1024; // sizes multiply in size_t, never in a narrower type

// "settings.xml" in the plug-in's settings folder.
constexpr size_t settingsFileBytes = 1u << 20;

// One pedal's "-settings.xml" file.
constexpr size_t deviceSettingsFileBytes = 64 * kilobyte;

// One user preset file (JSON) and the nesting its reader follows.
constexpr size_t presetFileBytes = 1u << 20;
constexpr int presetNesting = 64;

// A host state chunk (its own are under a kilobyte): larger ones are refused
// before they are read.
constexpr size_t stateChunkBytes = 1u << 20;
// The program name a host state restores (the system's own have at most 16
// characters); longer ones are cut, so a restored state always writes back small.
constexpr int stateProgramNameCharacters = 256;

// Files one listing of a folder of ours returns (user presets, pedal settings files).
constexpr int listedFiles = 1024;

// The user's list of folders ("~/.config/user-dirs.dirs"), read to find the application-data folder.
constexpr size_t folderListBytes = 64 * kilobyte;

// Documents read by the strict XML reader (settings files, host state chunks).
constexpr int xmlDepth = 16;
constexpr int xmlElements = 4096;
constexpr int xmlAttributesPerElement = 64; // keeps duplicate checks cheap

// One MIDI message from a pedal or bootloader: the longest frame of the pedal's
// protocol, a 23-byte preset record in a 10-byte frame. Longer ones are dropped.
constexpr int midiMessageBytes = 33;

// The version file fetched from the update server (JSON) and the nesting its reader follows.
constexpr size_t versionFileBytes = 64 * kilobyte;
constexpr int versionFileNesting = 64;

// The head of one response from the update server, interim responses included:
// its header fields, its bytes (status lines and line ends counted), and a
// redirect's target.
constexpr int httpHeaderFields = 100;
constexpr size_t httpHeadBytes = 32 * kilobyte;
constexpr size_t httpLocationBytes = 8 * kilobyte;

// A downloaded firmware archive, as transferred.
constexpr size_t firmwareArchiveBytes = 8u << 20;

// A firmware update file: the ".syx" entry of an archive, or a dropped file;
// and the bootloader messages in one.
constexpr size_t firmwareFileBytes = 1u << 20;
constexpr int firmwareMessages = 8192;

// The other host's list of excluded MIDI ports, read beside that host.
constexpr size_t excludedPortsFileBytes = 1u << 20;
} // namespace InputLimits
