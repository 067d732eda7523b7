#include "HostListenerList.h"
#include "Support/RealtimeCounting.h"

#include <gtest/gtest.h>

#include <utility>
#include <vector>

namespace
{
constexpr int manyListeners = 10000;

void countCall (void* userData, int32_t, int32_t, float)
{
    ++*static_cast<int*> (userData);
}

// What one step asks of the heap: allocations and bytes.
template <typename Step>
std::pair<int, size_t> heapCost (Step&& step)
{
    const RealtimeCounting counting;
    step();
    return { counting.allocations(), counting.bytesAllocated() };
}
} // namespace

// A host with thousands of listeners once waited minutes for them: each add and
// remove copied the whole list. Now each costs what it costs with one listener.
TEST (HostListenerList, AddingAndRemovingCostTheSameWithTenThousandListeners)
{
    HostListenerList list;
    std::vector<int> calls (manyListeners + 1, 0);

    const auto firstAdd = heapCost ([&] { list.add (&countCall, &calls[0]); });
    for (int i = 1; i < manyListeners; ++i)
        list.add (&countCall, &calls[(size_t) i]);
    const auto lastAdd = heapCost ([&] { list.add (&countCall, &calls[manyListeners]); });

    EXPECT_GT (firstAdd.first, 0);
    EXPECT_EQ (lastAdd, firstAdd);

    const auto removal = heapCost ([&] { EXPECT_TRUE (list.remove (&countCall, &calls[manyListeners / 2])); });
    EXPECT_EQ (removal, std::make_pair (0, size_t { 0 }));

    // Each remaining listener hears an event once; the removed one does not.
    list.call (KAU_EventGestureBegin, 0, 0.0f);
    for (size_t i = 0; i < calls.size(); ++i)
        ASSERT_EQ (calls[i], i == manyListeners / 2 ? 0 : 1) << "listener " << i;

    // Removed in another order than added, every one of them goes.
    for (int i = manyListeners; i >= 0; i -= 2)
        EXPECT_EQ (list.remove (&countCall, &calls[(size_t) i]), i != manyListeners / 2) << i;
    for (int i = 1; i < manyListeners; i += 2)
        EXPECT_TRUE (list.remove (&countCall, &calls[(size_t) i])) << i;

    list.call (KAU_EventGestureBegin, 0, 0.0f);
    for (size_t i = 0; i < calls.size(); ++i)
        ASSERT_EQ (calls[i], i == manyListeners / 2 ? 0 : 1) << "listener " << i;
}

// The same listener added twice is two listeners; removing it takes one away.
TEST (HostListenerList, AListenerAddedTwiceIsCalledTwiceUntilRemovedTwice)
{
    HostListenerList list;
    int calls = 0;
    list.add (&countCall, &calls);
    list.add (&countCall, &calls);

    const int expected[] = { 2, 1, 0 };
    for (int round = 0; round < 3; ++round)
    {
        calls = 0;
        list.call (KAU_EventGestureEnd, 0, 0.0f);
        EXPECT_EQ (calls, expected[round]) << "round " << round;
        EXPECT_EQ (list.remove (&countCall, &calls), round < 2) << "round " << round;
    }
}
