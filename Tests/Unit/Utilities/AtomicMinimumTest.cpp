#include "Utilities/AtomicMinimum.h"

#include <gtest/gtest.h>

TEST (AtomicMinimum, TakesTheLowestOfferedSinceTheLastTake)
{
    AtomicMinimum minimum;
    EXPECT_EQ (minimum.take(), AtomicMinimum::empty);

    for (const int fill : { 5, 3, 7, -1 }) // a negative offer would read as empty: ignored
        minimum.offer (fill);
    EXPECT_EQ (minimum.take(), 3);
    EXPECT_EQ (minimum.take(), AtomicMinimum::empty);

    minimum.offer (0);
    EXPECT_EQ (minimum.take(), 0);
}
