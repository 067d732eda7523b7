#pragma once

#include "Drawing.h"

// The pedal's body behind the face, in its six variants, and the menu bar strip.
namespace ChassisPainter
{
enum class Leg { none, in, out };

void paintChassis (Canvas& canvas, bool mono, Leg leg);
void paintMenubar (Canvas& canvas);
} // namespace ChassisPainter
