#include "Support/TestHome.h"

#include <gtest/gtest.h>

// The host-facing tests load the bundle, whose settings live under $HOME.
int main (int argc, char** argv)
{
    const TemporaryHome home;
    testing::InitGoogleTest (&argc, argv);
    return RUN_ALL_TESTS();
}
