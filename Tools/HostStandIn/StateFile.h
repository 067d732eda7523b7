#pragma once

#include <cstdint>
#include <string>
#include <vector>

// A plug-in state saved to a file, exactly as the plug-in handed it out: the
// "VC2!" magic, the text's length (32 bits, little-endian), the text, a zero.
//
// A file that is not a state is refused here, with the reason, before the
// plug-in is asked; the plug-in only tells that it did not take one.
std::vector<uint8_t> readStateFile (const std::string& path);

// Puts the file in place only when whole (OutputFile); returns its absolute path.
std::string writeStateFile (const std::string& path, const std::vector<uint8_t>& state);
