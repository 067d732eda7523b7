#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <string>
#include <thread>

// How long a test waits for what comes at once on an idle machine: so long
// that only a fault runs it out, never a slow or busy machine.
inline constexpr std::chrono::milliseconds patience { 60000 };

// Checks `done` until it holds, doing `between` after each miss (by default a
// millisecond's pause), and once more after the deadline, so that what came
// while the test stood still past it still counts. A failure says what was
// waited for and how long; use it with ASSERT_TRUE, so that nothing the wait
// did not produce is read.
inline ::testing::AssertionResult waitUntil (const std::string& what, const std::function<bool()>& done,
                                             std::chrono::milliseconds timeout = patience,
                                             const std::function<void()>& between = {})
{
    const auto deadline = std::chrono::steady_clock::now() + timeout;

    for (bool late = false; ! done();)
    {
        if (late)
            return ::testing::AssertionFailure() << "gave up after " << timeout.count() << " ms waiting for " << what;
        late = std::chrono::steady_clock::now() > deadline;

        if (between)
            between();
        else
            std::this_thread::sleep_for (std::chrono::milliseconds (1));
    }

    return ::testing::AssertionSuccess();
}
