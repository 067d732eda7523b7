#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <vector>

// Marks the stretches in which an audio thread may be using objects that the
// message thread publishes through atomic pointers. The audio side only bumps
// two counters (wait-free); the message side takes a token after unpublishing an
// object and may delete the object once every guard's audio thread has left the
// callbacks that could still have seen it.
class AudioThreadGuard
{
public:
    struct Counters
    {
        std::atomic<uint64_t> entered { 0 };
        std::atomic<uint64_t> exited { 0 };
        std::atomic<bool> alive { true };
    };

    // What a guard's audio thread had entered when an object was unpublished.
    struct Token
    {
        std::shared_ptr<Counters> counters;
        uint64_t entered = 0;

        bool hasPassed() const noexcept
        {
            return ! counters->alive.load() || counters->exited.load() >= entered;
        }
    };

    AudioThreadGuard();
    ~AudioThreadGuard();

    // Audio thread: brackets one callback.
    void enter() noexcept { counters->entered.fetch_add (1); }
    void exit() noexcept { counters->exited.fetch_add (1); }

    class Scope
    {
    public:
        explicit Scope (AudioThreadGuard& g) noexcept : guard (g) { guard.enter(); }
        ~Scope() { guard.exit(); }
        Scope (const Scope&) = delete;
        Scope& operator= (const Scope&) = delete;

    private:
        AudioThreadGuard& guard;
    };

    // Message thread: tokens of every live guard in the process.
    static std::vector<Token> takeTokens();

private:
    std::shared_ptr<Counters> counters;
};
