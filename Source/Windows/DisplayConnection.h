#pragma once

// The framework's own connection to the X display, made only to the display
// and screen that DISPLAY names, and kept from harming the host whose process
// the plug-in shares. Xlib's error and I/O error handlers serve
// the whole process and belong to the host, whose other threads set and
// restore them at any time: they are never touched here. Instead the
// connection gets hooks of its own (errors are converted per connection, and
// each connection has its own exit on a lost server), so that its errors
// reach no handler of the host's, and a server that goes away is noticed
// before Xlib meets it, since a host that keeps Xlib's default I/O handler
// exits there. A lost connection is retired for good: Xlib does nothing on it
// any more, the framework's event loop no longer wakes for it, and its
// windows are taken off the desktop (the editor stays for the host to close).
// Message thread.
class DisplayConnection
{
public:
    // Whether windows can be made: the DISPLAY variable names a display and a
    // screen of it, the framework's connection is to that display (DISPLAY may
    // have changed since it opened) and can draw there, its hooks are in place
    // and it has not been lost. Opens the connection if need be.
    static bool isUsable();

    // For the moment the framework reads DISPLAY while it makes its window
    // system, just before it opens its display: the opening goes through here
    // then. No connection is made while DISPLAY names no display (the framework
    // would fall back to ":0", whoever's it is) or a screen that is not a
    // number below the server's count, and the connection has its hooks before
    // the framework's first request. Does nothing at any other moment.
    static void takeOverOpening();

    // Takes the connection, if the framework has one, under the hooks, and
    // retires it when its server has gone. A poll of one descriptor: for
    // every call of the host's that may let the framework speak to the server.
    static void checkForLoss();

    // Windows the server refused to make on the connection, counted since it opened.
    static int windowsRefused();
};
