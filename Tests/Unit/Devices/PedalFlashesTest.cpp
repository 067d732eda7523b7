#include "Devices/PedalFlashes.h"

#include <gtest/gtest.h>

// A pedal counts as flashed while any claim on its name lives; a claim with no
// name (a pedal already in its bootloader) claims no pedal.
TEST (PedalFlashes, APedalIsFlashedWhileAnyClaimOnItsNameLives)
{
    PedalFlashes flashes;
    EXPECT_FALSE (flashes.isFlashing ("QZR-1A2B"));

    auto first = flashes.claim ("QZR-1A2B");
    auto second = flashes.claim ("QZR-1A2B");
    auto nameless = flashes.claim ({});
    EXPECT_EQ (first->getPedalName(), "QZR-1A2B");
    EXPECT_TRUE (flashes.isFlashing ("QZR-1A2B"));
    EXPECT_FALSE (flashes.isFlashing ("QZR-1a2b")) << "names compare exactly";
    EXPECT_FALSE (flashes.isFlashing ("QZR-3C4D"));
    EXPECT_FALSE (flashes.isFlashing ({}));

    first.reset();
    EXPECT_TRUE (flashes.isFlashing ("QZR-1A2B")) << "the other claim still holds it";
    second.reset();
    EXPECT_FALSE (flashes.isFlashing ("QZR-1A2B"));
    nameless.reset();
}
