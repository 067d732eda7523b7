#pragma once

#include "Drawing.h"

#include <cstdint>

// Lights, meter segments, the peak window and the menu bar's small icons.
namespace LightPainter
{
void paintLight (Canvas& canvas, float size, std::uint32_t core, bool lit);
void paintSegment (Canvas& canvas, float width, std::uint32_t core, bool lit);
void paintPeakWindow (Canvas& canvas, std::uint32_t glass, std::uint32_t frame);
void paintMenuButton (Canvas& canvas, bool hover);
void paintCheck (Canvas& canvas);
void paintScrollArrow (Canvas& canvas, bool up);
} // namespace LightPainter
