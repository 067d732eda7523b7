// The framework reads DISPLAY in one place only: as it makes its window
// system, just before it opens its X display, with nothing of ours in between.
// So the bundle is linked with its reads of the environment routed through
// here (-Wl,--wrap=getenv): each is answered as the C library answers it, and
// a read of DISPLAY first lets DisplayConnection take the opening over.

#include "Windows/DisplayConnection.h"

#include <cstring>

// The names the linker gives the C library's getenv and its stand-in.
extern "C" char* __real_getenv (const char* name); // NOLINT(bugprone-reserved-identifier,readability-identifier-naming)

extern "C" char* __wrap_getenv (const char* name) // NOLINT(bugprone-reserved-identifier,readability-identifier-naming)
{
    if (name != nullptr && std::strcmp (name, "DISPLAY") == 0)
        DisplayConnection::takeOverOpening();

    return __real_getenv (name);
}
