#include "Support/TestHome.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <string_view>

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
