#include "Devices/Audio/CallbackTiming.h"
#include "Utilities/HostClock.h"

#include <gtest/gtest.h>

namespace
{
// What a side produced since its last callback, as if it worked continuously,
// never beyond its block; late once past 1.25 periods.
TEST (CallbackTiming, ProducedSinceTheLastCallbackAndOverdue)
{
    CallbackTiming timing;
    timing.configure (480, 48000.0);
    const auto sample = HostClock::ticksFor (1, 48000.0);
    EXPECT_EQ (timing.producedSince (1000), 0); // no callback yet
    EXPECT_FALSE (timing.isOverdue (1000));

    timing.record (1000);
    EXPECT_EQ (timing.producedSince (1000), 0);
    EXPECT_EQ (timing.producedSince (1000 + 100 * sample), 100);
    EXPECT_EQ (timing.producedSince (1000 + 5000 * sample), 480);
    EXPECT_FALSE (timing.isOverdue (1000 + 600 * sample));
    EXPECT_TRUE (timing.isOverdue (1000 + 601 * sample));
}
} // namespace
