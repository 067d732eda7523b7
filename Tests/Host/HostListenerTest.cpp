#include "Host/HostFixture.h"

#include <atomic>
#include <deque>
#include <mutex>

namespace
{
// A host listener with user data of its own, whose reaction each test scripts.
struct ScriptedListener
{
    static void proc (void* userData, int32_t, int32_t, float)
    {
        auto* self = static_cast<ScriptedListener*> (userData);
        ++self->calls;

        if (self->onEvent != nullptr)
            self->onEvent();
    }

    std::function<void()> onEvent;
    std::atomic<int> calls { 0 };
};

struct HostListenerTest : HostTest
{
    // Listeners outlive the instance, which may still call them while it closes.
    void TearDown() override { plugin.reset(); }

    ScriptedListener& listener (std::function<void()> onEvent = nullptr)
    {
        auto& added = listeners.emplace_back();
        added.onEvent = std::move (onEvent);
        return added;
    }

    int32_t add (ScriptedListener& listener)
    {
        KAUListenerArgs args { &ScriptedListener::proc, &listener };
        return plugin->dispatch (KAU_AddListener, &args);
    }

    int32_t remove (ScriptedListener& listener)
    {
        KAUListenerArgs args { &ScriptedListener::proc, &listener };
        return plugin->dispatch (KAU_RemoveListener, &args);
    }

    // A linked level set on the message thread: the plug-in mirrors it to its
    // partner and tells its listeners at once, on this thread, in one event.
    void causeEvent()
    {
        plugin->clearEvents();
        level = level == 10.0f ? 20.0f : 10.0f;
        ASSERT_EQ (plugin->setParameter (index ("adcL"), level), KAU_OK);
        ASSERT_EQ (plugin->events().size(), 1u);
    }

    std::deque<ScriptedListener> listeners;
    float level = 10.0f;
};

// Spins until the flag is set; for ASSERT_TRUE.
::testing::AssertionResult waitFor (const std::atomic<bool>& flag, const std::string& what)
{
    return waitUntil (what, [&flag] { return flag.load(); }, patience, [] { std::this_thread::yield(); });
}

// A lock with a deadline that only a deadlock reaches. (ThreadSanitizer cannot
// follow std::timed_mutex, so this polls a plain one.)
bool lockWithin (std::mutex& lock)
{
    return waitUntil ("the host's lock", [&lock] { return lock.try_lock(); }, patience, [] { std::this_thread::yield(); });
}

// Runs `action` the first time only.
std::function<void()> once (std::function<void()> action)
{
    return [action, done = std::make_shared<bool> (false)]
    {
        if (! std::exchange (*done, true))
            action();
    };
}
} // namespace

//==============================================================================
TEST_F (HostListenerTest, AListenerRemovingItselfLetsEveryOtherHearTheEventOnce)
{
    auto& leaving = listener();
    leaving.onEvent = once ([&] { EXPECT_EQ (remove (leaving), KAU_OK); });
    auto& second = listener();
    auto& third = listener();

    for (auto* l : { &leaving, &second, &third })
        ASSERT_EQ (add (*l), KAU_OK);

    ASSERT_NO_FATAL_FAILURE (causeEvent());
    ASSERT_NO_FATAL_FAILURE (causeEvent());
    EXPECT_EQ (leaving.calls, 1);
    EXPECT_EQ (second.calls, 2);
    EXPECT_EQ (third.calls, 2);
}

TEST_F (HostListenerTest, AListenerRemovedDuringAnEventIsNotCalledAgain)
{
    auto& removed = listener();
    auto& remover = listener (once ([&] { EXPECT_EQ (remove (removed), KAU_OK); }));
    ASSERT_EQ (add (remover), KAU_OK);
    ASSERT_EQ (add (removed), KAU_OK);

    ASSERT_NO_FATAL_FAILURE (causeEvent());
    ASSERT_NO_FATAL_FAILURE (causeEvent());
    EXPECT_EQ (remover.calls, 2);
    EXPECT_EQ (removed.calls, 0);
    EXPECT_EQ (remove (removed), KAU_ErrInvalidArgument);
}

TEST_F (HostListenerTest, ListenersAddedDuringAnEventHearOnlyTheNextOne)
{
    // Enough of them that the list has to grow while it is being walked.
    std::vector<ScriptedListener*> late;
    for (int i = 0; i < 64; ++i)
        late.push_back (&listener());

    auto& adder = listener (once ([&] { for (auto* l : late) EXPECT_EQ (add (*l), KAU_OK); }));
    auto& bystander = listener();
    ASSERT_EQ (add (adder), KAU_OK);
    ASSERT_EQ (add (bystander), KAU_OK);

    ASSERT_NO_FATAL_FAILURE (causeEvent());
    EXPECT_EQ (bystander.calls, 1);
    for (auto* l : late)
        EXPECT_EQ (l->calls, 0);

    ASSERT_NO_FATAL_FAILURE (causeEvent());
    EXPECT_EQ (bystander.calls, 2);
    for (auto* l : late)
        EXPECT_EQ (l->calls, 1);
}

TEST_F (HostListenerTest, AListenerMayWaitForAHostLockWhileAnotherHostThreadAddsAndRemoves)
{
    std::mutex hostLock;
    std::atomic<bool> locked { false }, inside { false };
    bool gotLock = false;

    // Gives up after a while, so that a deadlock fails the test instead of hanging it.
    auto& waiting = listener (once ([&]
    {
        inside = true;
        gotLock = lockWithin (hostLock);
        if (gotLock)
            hostLock.unlock();
    }));
    auto& other = listener();
    ASSERT_EQ (add (waiting), KAU_OK);

    std::thread hostThread ([&]
    {
        const std::lock_guard<std::mutex> guard (hostLock);
        locked = true;
        ASSERT_TRUE (waitFor (inside, "the listener's call"));
        EXPECT_EQ (add (other), KAU_OK);
        EXPECT_EQ (remove (other), KAU_OK);
    });

    EXPECT_TRUE (waitFor (locked, "the host thread's lock"));
    causeEvent(); // the host thread is joined whatever this finds
    hostThread.join();
    EXPECT_TRUE (gotLock);
}

TEST_F (HostListenerTest, RemovingAListenerOnAnotherThreadWaitsUntilItsCallHasEnded)
{
    std::atomic<bool> inside { false }, removing { false }, finished { false };

    auto& slow = listener (once ([&]
    {
        inside = true;
        EXPECT_TRUE (waitFor (removing, "the removal under way"));
        std::this_thread::sleep_for (std::chrono::milliseconds (50));
        finished = true;
    }));
    ASSERT_EQ (add (slow), KAU_OK);

    std::thread hostThread ([&]
    {
        ASSERT_TRUE (waitFor (inside, "the listener's call"));
        removing = true;

        // The host may free the listener's data as soon as this returns.
        EXPECT_EQ (remove (slow), KAU_OK);
        EXPECT_TRUE (finished);
    });

    causeEvent(); // the host thread is joined whatever this finds
    hostThread.join();
    ASSERT_NO_FATAL_FAILURE (causeEvent());
    EXPECT_EQ (slow.calls, 1);
}
