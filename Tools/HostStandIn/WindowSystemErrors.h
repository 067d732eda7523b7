#pragma once

// The window system's errors, handled as a host handles them. Xlib's own
// handler ends the process at the first error, and a display without a window
// manager (a bare Xvfb, as xvfb-run starts) answers the window-manager hints
// that the plug-in's framework sets with such errors. Like any host with
// windows, this one installs a handler of its own, for the whole process (the
// plug-in's framework reaches the same Xlib), which lets them pass. The
// editor's picture is drawn by the plug-in, not taken from the screen, so
// such errors cannot spoil it. Does nothing where Xlib cannot be loaded.
void keepGoingOnWindowSystemErrors();
