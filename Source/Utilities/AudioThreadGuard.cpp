#include "Utilities/AudioThreadGuard.h"

#include <algorithm>
#include <mutex>

namespace
{
std::mutex& registryLock()
{
    static std::mutex lock;
    return lock;
}

std::vector<std::weak_ptr<AudioThreadGuard::Counters>>& registry()
{
    static std::vector<std::weak_ptr<AudioThreadGuard::Counters>> guards;
    return guards;
}
} // namespace

AudioThreadGuard::AudioThreadGuard() : counters (std::make_shared<Counters>())
{
    const std::lock_guard<std::mutex> lock (registryLock());
    registry().push_back (counters);
}

AudioThreadGuard::~AudioThreadGuard()
{
    counters->alive.store (false);

    const std::lock_guard<std::mutex> lock (registryLock());
    auto& guards = registry();
    guards.erase (std::remove_if (guards.begin(), guards.end(),
                                  [this] (const auto& g) { return g.expired() || g.lock() == counters; }),
                  guards.end());
}

std::vector<AudioThreadGuard::Token> AudioThreadGuard::takeTokens()
{
    const std::lock_guard<std::mutex> lock (registryLock());
    std::vector<Token> tokens;

    for (const auto& weak : registry())
        if (auto counters = weak.lock())
            tokens.push_back ({ counters, counters->entered.load() });

    return tokens;
}
