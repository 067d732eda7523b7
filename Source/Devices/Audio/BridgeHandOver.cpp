#include "Devices/Audio/BridgeHandOver.h"

#include "Devices/Audio/CallbackTiming.h"

#include <algorithm>
#include <utility>

bool BridgeHandOver::hostHearsPedal (bool streaming, const CallbackTiming& hostTiming, int64_t now) const noexcept
{
    if (! hostFades.load() || ! streaming || ! hostHearing.load())
        return false;

    // A host that stopped calling is not waited for.
    const auto last = hostTiming.getPrevious();
    return last >= 0 && now - last <= 4 * std::max<int64_t> (1, hostTiming.getPeriodTicks());
}

void BridgeHandOver::ask() noexcept
{
    letGoDone.store (false);
    ticks = 0;
    wanted.store (true);
}

bool BridgeHandOver::tick (bool hostStillHears) noexcept
{
    const bool waitedEnough = ++ticks * tickIntervalMs >= waitLimitMs;
    return letGoDone.load() || ! hostStillHears || waitedEnough;
}

BridgeHandOver::Waiting BridgeHandOver::finish() noexcept
{
    wanted.store (false);
    return std::exchange (waiting, {});
}

void BridgeHandOver::cancel() noexcept
{
    waiting = {};
    wanted.store (false);
}
