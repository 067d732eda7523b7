#pragma once

using Display = struct _XDisplay;

// libXext (1.3.4) keeps a record of each connection's Generic Event extension
// in one list for the whole process, made at the connection's first use of an
// extension built on it (RandR, Xinerama, Render: so the framework's displays
// and cursors). When the server does not answer the record's version query,
// libXext frees the record but keeps it listed, and the next use of the list,
// from any connection of the host's, crashes. A connection that has lost its
// server makes such a first use as soon as it asks for an extension, as Xlib
// then answers from an unset reply. So a new connection's record is made
// first, while the server has just answered, on a thread of its own: should
// the server go away even then, the host's I/O error handler is called there
// as anywhere, and if it returns, the connection's exit hook parks the thread
// for good before libXext can free anything; the connection is left to it,
// never used or closed again. Message thread.
class GenericEventsSetUp
{
public:
    using QueryVersion = int (*) (Display*, int*, int*);

    // Makes the record through libXext's XGEQueryVersion (none where libXext
    // is missing). False when the connection was left to the parked thread.
    static bool make (Display* connection, QueryVersion queryVersion);

    // From the connection's exit hook: on the set-up's thread, never returns.
    static void parkIfSettingUp();
};
