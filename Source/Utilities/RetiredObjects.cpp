#include "Utilities/RetiredObjects.h"

#include <algorithm>

RetiredObjects::~RetiredObjects()
{
    stopTimer();

    for (auto& p : pending)
        p.destroy();
}

void RetiredObjects::add (std::function<void()> destroy)
{
    pending.push_back ({ std::move (destroy), AudioThreadGuard::takeTokens() });
    releaseSafeObjects();
}

void RetiredObjects::releaseSafeObjects()
{
    auto safe = [] (const Pending& p)
    {
        return std::all_of (p.tokens.begin(), p.tokens.end(), [] (const auto& t) { return t.hasPassed(); });
    };

    // Deleting may retire further objects: take the safe ones out first.
    std::vector<Pending> ready;
    for (auto it = pending.begin(); it != pending.end();)
    {
        if (safe (*it))
        {
            ready.push_back (std::move (*it));
            it = pending.erase (it);
        }
        else
        {
            ++it;
        }
    }

    for (auto& p : ready)
        p.destroy();

    if (pending.empty())
        stopTimer();
    else if (! isTimerRunning())
        startTimer (checkIntervalMs);
}

void RetiredObjects::timerCallback()
{
    releaseSafeObjects();
}
