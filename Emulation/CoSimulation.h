#pragma once

#include "Emulation/SimulatedHostClock.h"
#include "Emulation/VirtualAudioDeviceTypes.h"

#include <juce_audio_basics/juce_audio_basics.h>
#include <deque>
#include <functional>
#include <vector>

// Runs the host's blocks, the virtual audio devices' periods and periodic
// message-thread work in simulated time, one event after another on the
// calling thread, in time order: the host's blocks at its nominal rate, each
// manual device's periods at its own (drifting, jittered) clock, the work at
// its intervals. The host clock follows the simulation, so callback timing is
// simulated too. Nothing waits for real time: an hour of audio runs in seconds.
//
// Events at the same time run as: message work, devices, then the host.
//
// Hosts do not all render the block size they prepared: how this one renders
// is its HostRendering, prepared-size blocks unless set otherwise.
//
// The host's block is whatever the caller makes of it, a client's
// getNextAudioBlock or a processor's processBlock:
//   CoSimulation sim (audioTypes);                      // devices opened manual
//   LinkTimers timers (manager, ports);
//   sim.addPeriodicWork (10, [&] { timers.runDue (sim.getMilliseconds()); });
//   sim.setHost (48000.0, 512, 2, [&] (auto& block, auto) { processor.processBlock (block, midi); });
//   sim.run (3600.0);
class CoSimulation
{
public:
    // One host block: the buffer carries the host's input in and its output
    // back out; firstSample is the host's sample counter at its start.
    using HostBlock = std::function<void (juce::AudioBuffer<float>& block, int64_t firstSample)>;

    static constexpr double defaultSampleRate = 48000.0;

    // How the host cuts its audio into blocks of up to the prepared size.
    enum class HostRendering
    {
        prepared,        // the prepared size every time, each when its first sample is due
        randomSizes,     // any size from 1 to the prepared one, each when its first sample is due
        cutPeriods,      // each period of the prepared size cut into random pieces, back to back
        occasionalCut    // one period in ten cut in two, back to back
    };

    // Its devices (those opened manual) are run; installs its clock for its lifetime.
    explicit CoSimulation (VirtualAudioDeviceTypes& devices);

    // From now on, blocks of blockSize samples at sampleRate.
    void setHost (double sampleRate, int blockSize, int numChannels, HostBlock block);
    void stopHost();

    // From the next block on; the seed makes the sizes and cuts repeatable.
    void setHostRendering (HostRendering rendering, int64_t seed = 1);

    // From the next block on, each of the host's callbacks comes up to
    // `seconds` late at random (a period cut into pieces comes late as one),
    // as a host's render calls do: late on the clock only, so those after
    // keep their times, and none comes before the one before it.
    void setHostJitter (double seconds, int64_t seed = 1);

    // The host calls no block for the next `seconds` (its transport stopped,
    // or its track skipped while silent), then goes on with the sample after
    // its last one: what it would have rendered meanwhile is never asked for.
    void pauseHost (double seconds);

    // Message-thread work every intervalMs of simulated time, from now on;
    // returns an id for removing it.
    int addPeriodicWork (int intervalMs, std::function<void()> work);
    void removePeriodicWork (int id);

    void run (double seconds);
    // Runs until the condition holds after an event; false when time ran out first.
    bool runUntil (const std::function<bool()>& condition, double maxSeconds);

    int64_t getTicks() const noexcept { return clock.getTicks(); }
    int64_t getMilliseconds() const noexcept { return clock.getTicks() / 1'000'000; }
    double getSeconds() const noexcept { return (double) clock.getTicks() / (double) SimulatedHostClock::ticksPerSecondValue; }
    int64_t getHostSamples() const noexcept { return hostSamples; }
    SimulatedHostClock& getClock() noexcept { return clock; }

private:
    struct Periodic
    {
        int id;
        int64_t interval, next;
        std::function<void()> work;
    };

    // The next event up to `limit`: runs it and returns true, or returns false.
    bool step (int64_t limit);
    int64_t nextHostTime() const noexcept;
    void scheduleHost();
    int nextHostBlockSize();

    SimulatedHostClock clock;
    VirtualAudioDeviceTypes& devices;
    std::vector<Periodic> periodic;
    int lastWorkId = 0;

    HostBlock host;
    double hostRate = 48000.0;
    int hostBlockSize = 0;
    int64_t hostStart = 0, hostSamples = 0;
    juce::AudioBuffer<float> hostBuffer;
    HostRendering rendering = HostRendering::prepared;
    juce::Random sizes;
    std::deque<int> piecesLeft; // of the period being cut
    int64_t periodStart = 0;    // its first sample
    int64_t periods = 0;
    double jitterSeconds = 0.0;
    juce::Random lateness;
    int64_t lateBy = 0;          // the current period's, in ticks
    int64_t nextHostAt = 0;      // when the next block comes
    int64_t lastHostAt = 0;      // when the last one came
};
