#pragma once

// The window system's errors, handled as a host handles them. Xlib's own
// handler ends the process at the first error. Like any host with windows,
// this one installs a handler of its own, for the whole process (the plug-in's
// framework reaches the same Xlib), which lets them pass. The plug-in does not
// depend on it: its errors stay on its own connection and never reach this
// handler. The editor's picture is drawn by the plug-in, not taken from
// the screen, so such errors cannot spoil it. Does nothing where Xlib cannot
// be loaded.
void keepGoingOnWindowSystemErrors();
