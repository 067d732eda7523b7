#include "Emulation/CoSimulation.h"

#include <algorithm>
#include <cmath>
#include <limits>

CoSimulation::CoSimulation (VirtualAudioDeviceTypes& d) : devices (d) {}

void CoSimulation::setHost (double sampleRate, int blockSize, int numChannels, HostBlock block)
{
    host = std::move (block);
    hostRate = sampleRate;
    hostBlockSize = std::max (1, blockSize);
    hostStart = clock.getTicks();
    hostSamples = 0;
    piecesLeft.clear();
    periodStart = 0;
    periods = 0;
    lastHostAt = hostStart;
    hostBuffer.setSize (std::max (1, numChannels), hostBlockSize);
    scheduleHost();
}

void CoSimulation::setHostRendering (HostRendering newRendering, int64_t seed)
{
    rendering = newRendering;
    sizes.setSeed (seed);
}

void CoSimulation::setHostJitter (double seconds, int64_t seed)
{
    jitterSeconds = std::max (0.0, seconds);
    lateness.setSeed (seed);
    scheduleHost();
}

void CoSimulation::pauseHost (double seconds)
{
    hostStart += SimulatedHostClock::fromSeconds (seconds);
    lastHostAt = std::max (lastHostAt, clock.getTicks() + SimulatedHostClock::fromSeconds (seconds));
    scheduleHost();
}

void CoSimulation::stopHost()
{
    host = nullptr;
}

int CoSimulation::addPeriodicWork (int intervalMs, std::function<void()> work)
{
    const auto interval = SimulatedHostClock::fromSeconds (intervalMs / 1000.0);
    periodic.push_back ({ ++lastWorkId, interval, clock.getTicks() + interval, std::move (work) });
    return lastWorkId;
}

void CoSimulation::removePeriodicWork (int id)
{
    periodic.erase (std::remove_if (periodic.begin(), periodic.end(), [id] (const auto& p) { return p.id == id; }),
                    periodic.end());
}

int64_t CoSimulation::nextHostTime() const noexcept
{
    return host == nullptr ? std::numeric_limits<int64_t>::max() : nextHostAt;
}

void CoSimulation::scheduleHost()
{
    // Exact on the host's nominal rate: no rounding error adds up over an hour.
    // A period's pieces all come when its first sample is due, and as late as its first.
    const bool newPeriod = piecesLeft.empty();
    const auto first = newPeriod ? hostSamples : periodStart;
    const double seconds = (double) first / hostRate;
    const auto due = hostStart + (int64_t) std::llround (seconds * (double) SimulatedHostClock::ticksPerSecondValue);

    if (newPeriod)
        lateBy = jitterSeconds > 0.0 ? SimulatedHostClock::fromSeconds (lateness.nextDouble() * jitterSeconds) : 0;

    nextHostAt = std::max (lastHostAt, due + lateBy);
}

bool CoSimulation::step (int64_t limit)
{
    enum class Kind { none, work, device, host };
    auto kind = Kind::none;
    auto when = std::numeric_limits<int64_t>::max();
    Periodic* work = nullptr;
    VirtualAudioDevice* device = nullptr;

    for (auto& p : periodic)
    {
        if (p.next < when)
        {
            when = p.next;
            kind = Kind::work;
            work = &p;
        }
    }

    for (auto* d : devices.getOpenDevices())
    {
        const auto t = d->getNextPeriodTime();
        if (t >= 0 && t < when)
        {
            when = t;
            kind = Kind::device;
            device = d;
        }
    }

    if (const auto t = nextHostTime(); t < when)
    {
        when = t;
        kind = Kind::host;
    }

    if (kind == Kind::none || when > limit)
        return false;

    clock.setTicks (std::max (when, clock.getTicks()));

    switch (kind)
    {
        case Kind::work:
        {
            // The work may add or remove work: it runs from a copy.
            work->next += work->interval;
            const auto run = work->work;
            run();
            break;
        }

        case Kind::device:
            device->runNextPeriod();
            break;

        case Kind::host:
        {
            const auto first = hostSamples;
            const int size = nextHostBlockSize();
            hostSamples += size;
            hostBuffer.setSize (hostBuffer.getNumChannels(), size, false, false, true);
            hostBuffer.clear();
            lastHostAt = clock.getTicks();
            host (hostBuffer, first);
            scheduleHost();
            break;
        }

        case Kind::none:
            break;
    }

    return true;
}

int CoSimulation::nextHostBlockSize()
{
    const int prepared = hostBlockSize;

    switch (rendering)
    {
        case HostRendering::prepared:
            return prepared;

        case HostRendering::randomSizes:
            return 1 + sizes.nextInt (prepared);

        case HostRendering::cutPeriods:
        case HostRendering::occasionalCut:
            break;
    }

    if (piecesLeft.empty())
    {
        periodStart = hostSamples;
        const bool cutInTwo = rendering == HostRendering::occasionalCut && periods % 10 == 9 && prepared > 1;
        ++periods;

        if (cutInTwo)
        {
            const int first = 1 + sizes.nextInt (prepared - 1);
            piecesLeft = { first, prepared - first };
        }
        else if (rendering == HostRendering::cutPeriods && prepared > 1)
        {
            for (int left = prepared; left > 0;)
            {
                const int piece = std::min (left, 1 + sizes.nextInt (prepared / 2));
                piecesLeft.push_back (piece);
                left -= piece;
            }
        }
        else
        {
            piecesLeft = { prepared };
        }
    }

    const int piece = piecesLeft.front();
    piecesLeft.pop_front();
    return piece;
}

void CoSimulation::run (double seconds)
{
    const auto end = clock.getTicks() + SimulatedHostClock::fromSeconds (seconds);

    while (step (end))
    {
    }

    clock.setTicks (std::max (end, clock.getTicks()));
}

bool CoSimulation::runUntil (const std::function<bool()>& condition, double maxSeconds)
{
    const auto end = clock.getTicks() + SimulatedHostClock::fromSeconds (maxSeconds);

    while (! condition())
        if (! step (end))
            return false;

    return true;
}
