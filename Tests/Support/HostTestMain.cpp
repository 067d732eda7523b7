#include "Support/TestHome.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <string_view>

// For ThreadSanitizer. Xlib (1.8.4) unlocks a display before it calls the I/O
// error handlers and does not lock it again when the connection's exit handler
// returns, as the plug-in's does for a host whose own handler returns: the call
// of Xlib's or of an X extension library that met the lost server then unlocks
// it once more. The C library's default mutex takes that without harm, and one
// thread uses that connection.
extern "C" const char* __tsan_default_suppressions() // NOLINT(bugprone-reserved-identifier)
{
    return "mutex:/libX\n";
}

// The host-facing tests load the bundle, whose settings live under $HOME. A
// death test's child keeps its parent's temporary home, which the parent removes.
int main (int argc, char** argv)
{
    const bool deathTestChild = std::any_of (argv, argv + argc, [] (const char* argument)
    {
        return std::string_view (argument).rfind ("--gtest_internal_run_death_test", 0) == 0;
    });

    std::optional<TemporaryHome> home;
    if (! deathTestChild)
        home.emplace();

    testing::InitGoogleTest (&argc, argv);
    return RUN_ALL_TESTS();
}
