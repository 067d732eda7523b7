#pragma once

#include <cstdint>
#include <string>
#include <vector>

// Writes a picture of 0xAARRGGBB pixels (straight alpha, rows top to bottom)
// as an 8-bit RGBA PNG file, put in place only when whole (OutputFile).
// Throws std::runtime_error when it cannot.
void writePngFile (const std::string& path, int width, int height, const std::vector<uint32_t>& pixels);
