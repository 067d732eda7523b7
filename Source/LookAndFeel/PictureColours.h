#pragma once

#include <cstdint>

// Colours of the plug-in's pictures that the face's behaviour depends on: the
// picture generator paints them at the named probe points, and the tests read
// them back there, so a picture can be checked without a stored copy of it.
namespace PictureColours
{
// Light lenses, probed at the picture's centre.
constexpr std::uint32_t ledRedOn = 0xFFFF3B2A;
constexpr std::uint32_t ledRedOff = 0xFF4A1512;
constexpr std::uint32_t ledGreenOn = 0xFF36F05A;
constexpr std::uint32_t ledUsbOff = 0xFF173A22;
constexpr std::uint32_t statusOn = 0xFFFFB020;
constexpr std::uint32_t statusOff = 0xFF3E2A10;

// Meter segments, probed at the segment's centre (both widths).
constexpr std::uint32_t meterGreenOn = 0xFF3BE04C;
constexpr std::uint32_t meterGreenOff = 0xFF10301A;
constexpr std::uint32_t meterAmberOn = 0xFFFFB21E;
constexpr std::uint32_t meterAmberOff = 0xFF3A2A0C;
constexpr std::uint32_t meterRedOn = 0xFFFF3B2F;
constexpr std::uint32_t meterRedOff = 0xFF3C1010;

// The peak window's glass, probed at its centre (the text is drawn over it by the window).
constexpr std::uint32_t windowNormal = 0xFF0C0B0B;
constexpr std::uint32_t windowAmber = 0xFF2A1F06;
constexpr std::uint32_t windowRed = 0xFF2E0A08;
} // namespace PictureColours
