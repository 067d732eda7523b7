#pragma once

#include "Drawing.h"

// The moving parts: fader caps, the mix knob and its marker, the footswitch, the link switches.
namespace ControlPainter
{
void paintFaderCap (Canvas& canvas, bool enabled);
void paintKnob (Canvas& canvas);
void paintKnobMarker (Canvas& canvas);
void paintFootswitch (Canvas& canvas, bool down);
void paintLink (Canvas& canvas, bool on);
} // namespace ControlPainter
