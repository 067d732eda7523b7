#pragma once

#include <cstdint>
#include <string>
#include <vector>

// What the host stand-in reads at most of each kind of file a user names.
// A state file's cap is the plug-in's own, KAU_MAX_STATE_BYTES.
namespace InputFileLimits
{
// Ten minutes (the longest render) of stereo 32-bit audio at 192 kHz fit in it.
constexpr uint64_t wavBytes = uint64_t (1) << 30;
constexpr uint64_t scriptBytes = uint64_t (16) << 20;
} // namespace InputFileLimits

// Reads the whole of a file a user named. Anything but a regular file (a
// device such as /dev/zero, a pipe, a folder) and a file larger than
// maximumBytes are refused before a byte is read, since reading them could
// take for ever or all the memory: std::runtime_error "cannot read WHAT PATH:
// REASON", as for a file that cannot be read.
std::vector<uint8_t> readInputFile (const std::string& path, uint64_t maximumBytes, const std::string& what);
