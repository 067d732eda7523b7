#pragma once

#include "PluginInstance.h"

#include <string>

// How long the plug-in's loop runs between opening its editor and picturing it,
// so that its timers have filled the meters and lights.
constexpr int editorSettleMs = 300;

// Opens the instance's editor in a window of its own (once), runs the plug-in's
// loop for idleMs, and writes the window's picture to a PNG file. Throws with a
// message a user can act on when there is no display or the picture fails.
// Returns what it wrote, e.g. "shot.png (480 x 540)".
std::string saveEditorPicture (PluginInstance& plugin, const std::string& path, int idleMs = editorSettleMs);
