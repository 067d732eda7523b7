#include "Emulation/DriftRecording.h"
#include "Support/AudioLinkRig.h"

#include <gtest/gtest.h>
#include <atomic>
#include <cstdlib>
#include <thread>

// The audio bridge's streaming states against the emulated pedal, in
// co-simulation: priming, streaming, each fault and its restart, stops and
// parameter changes.
namespace
{
using Bridge = AudioIODeviceSource;

struct Settings
{
    int blockSize = 0, inAdjust = 0, outAdjust = 1;
};

// One emulated pedal with one client; each case makes its own.
struct BridgeRig
{
    // Attaches one client, its latency already known (no calibration at connection).
    UsbDeviceClient* attach (Mode mode, PedalModeConfig leg, int hostBlock, Settings s = {})
    {
        auto& settings = rig.driver().getSettings();
        settings.extraLatency.setValue (100, nullptr);
        settings.blockSize.setValue (s.blockSize, nullptr);
        settings.inAdjust.setValue (s.inAdjust, nullptr);
        settings.outAdjust.setValue (s.outAdjust, nullptr);
        client = rig.attach (mode, hostBlock, ChannelSetting::stereo, leg);
        bridge = &client->getAudioSource();
        stream (hostBlock);
        return client;
    }

    // The host sends a steady 0.25 and keeps what came back.
    void stream (int hostBlock)
    {
        rig.streamHost ({ client }, hostBlock,
                        [] (auto& block, auto) { block.applyGain (0.0f); for (int c = 0; c < 2; ++c) juce::FloatVectorOperations::fill (block.getWritePointer (c), 0.25f, block.getNumSamples()); },
                        [this] (auto& block, auto) { lastOutput = block.getMagnitude (0, 0, block.getNumSamples()); });
    }

    int state() const { return bridge->getStreamingState(); }

    bool runUntilState (std::function<bool (int)> wanted, double seconds)
    {
        return rig.sim.runUntil ([&] { return wanted (state()); }, seconds);
    }

    AudioLinkRig rig;
    UsbDeviceClient* client = nullptr;
    Bridge* bridge = nullptr;
    float lastOutput = 0.0f;
};

struct AudioBridge : ::testing::Test, BridgeRig
{
};

TEST_F (AudioBridge, AStartPrimesBothRingsWithTheirTargetsWithOneSilentBlockThenStreams)
{
    attach (Mode::audio, PedalModeConfig::none, 512);
    EXPECT_EQ (state(), Bridge::startRequested);
    EXPECT_EQ (bridge->getLatencySamples(), 1536 + 1024 + 100 + 56);

    // The device's next callback: running. The host's next block primes and is
    // silent. Together the rings hold their targets.
    ASSERT_TRUE (runUntilState ([] (int s) { return s == Bridge::running; }, 0.1));
    ASSERT_TRUE (runUntilState ([] (int s) { return s == Bridge::streaming; }, 0.1));
    EXPECT_EQ (lastOutput, 0.0f);
    EXPECT_EQ (bridge->getToDeviceFill() + bridge->getFromDeviceFill(),
               bridge->getTargets().toDevice + bridge->getTargets().fromDevice);

    // Then the pedal's audio comes back, and nothing fails for a minute.
    rig.pedalAudio().setGain (1, 0.5f);
    rig.sim.run (60.0);
    EXPECT_EQ (state(), Bridge::streaming);
    EXPECT_FLOAT_EQ (lastOutput, 0.25f);

    // The meters show what came back, not what the host sent.
    EXPECT_EQ (client->getPeakDetector().readStereo(), std::make_pair (0.25f, 0.125f));
    EXPECT_EQ (bridge->getDiagnostics().restarts, 0);
    EXPECT_EQ (bridge->getToDeviceRatio(), 1.0); // equal clocks: nothing to steer
    EXPECT_EQ (bridge->getFromDeviceRatio(), 1.0);
}

// Drift control measures a ring as if its writer wrote continuously. Wherever
// the host's priming block falls between two device callbacks, both rings
// start with that measure at their set points, which they are held at: the
// to-device ring takes what the device has produced since its last callback
// from the from-device ring, and their sum, the latency, stays the sum of the
// targets. The set points leave each ring the same margin above its writer's
// block and its reader's look-ahead. A pedalboard leg's one ring starts at its
// target the same way.
TEST (AudioBridgePriming, WhereverTheHostsBlockFallsBothRingsStartAtTheirSetPoints)
{
    struct Case { PedalModeConfig leg; int hostBlock, blockSize, inAdjust, outAdjust, after; };
    const Case cases[] = {
        { PedalModeConfig::none, 512, 0, 0, 0, 0 },    { PedalModeConfig::none, 512, 0, 0, 0, 128 },
        { PedalModeConfig::none, 512, 0, 0, 0, 256 },  { PedalModeConfig::none, 512, 0, 0, 0, 511 },
        { PedalModeConfig::none, 512, 0, 0, 1, 384 },  { PedalModeConfig::none, 64, 512, 0, 0, 300 },
        { PedalModeConfig::none, 1024, 256, 2, 1, 200 }, { PedalModeConfig::out, 512, 0, 0, 0, 500 },
        { PedalModeConfig::in, 512, 0, 0, 0, 500 },
    };

    for (const auto& c : cases)
    {
        SCOPED_TRACE (testing::Message() << "leg " << toInt (c.leg) << ", host " << c.hostBlock << ", device " << c.blockSize
                                         << ", in " << c.inAdjust << ", out " << c.outAdjust << ", host block "
                                         << c.after << " samples after the device's");
        BridgeRig t;
        t.attach (c.leg == PedalModeConfig::none ? Mode::audio : Mode::pedalboard, c.leg, c.hostBlock,
                  { c.blockSize, c.inAdjust, c.outAdjust });
        t.rig.sim.stopHost();

        // The device's callback makes the bridge run; the host's block comes `after` samples later.
        ASSERT_TRUE (t.runUntilState ([] (int s) { return s == Bridge::running; }, 0.1));
        t.rig.sim.run (c.after / AudioLinkRig::sampleRate);
        t.stream (c.hostBlock);
        ASSERT_TRUE (t.runUntilState ([] (int s) { return s == Bridge::streaming; }, 0.01));

        const auto& targets = t.bridge->getTargets();
        const int device = c.blockSize > 0 ? c.blockSize : c.hostBlock;
        const bool bothRings = c.leg == PedalModeConfig::none;
        const int toHeld = bothRings ? targets.toSetPoint : targets.toDevice;
        const int fromHeld = bothRings ? targets.fromSetPoint : targets.fromDevice;
        EXPECT_EQ (toHeld + fromHeld, targets.toDevice + targets.fromDevice);
        EXPECT_EQ (targets.margin, (targets.toDevice + targets.fromDevice - c.hostBlock - device - 8) / 2);
        EXPECT_EQ (targets.fromSetPoint - device - 4, targets.margin);
        EXPECT_LE (std::abs (targets.toSetPoint - c.hostBlock - 4 - targets.margin), 1);
        EXPECT_EQ (t.bridge->getToDeviceFill(), toHeld + c.after);
        EXPECT_EQ (t.bridge->getFromDeviceFill(), fromHeld - c.after);

        // Drift control finds the rings in use at their set points and keeps them there.
        t.rig.sim.run (2.0);
        EXPECT_EQ (t.bridge->getToDeviceControl().getLastLowestFill(), c.leg == PedalModeConfig::in ? -1 : toHeld);
        EXPECT_EQ (t.bridge->getFromDeviceControl().getLastLowestFill(), c.leg == PedalModeConfig::out ? -1 : fromHeld);
        EXPECT_EQ (t.state(), Bridge::streaming);
    }
}

TEST (AudioBridgeFaults, EachIsAnsweredByACleanRestartWithin100Milliseconds)
{
    struct Case
    {
        const char* name;
        PedalModeConfig leg;
        Settings settings;
        double clockPpm;
        std::function<void (BridgeRig&)> cause;
        int fault;
        bool startsAgain = true; // the restart asks for streaming again
        bool hostStopsDuringRestart = false;
    };

    auto stallDevice = [] (double seconds) { return [seconds] (BridgeRig& t) { t.rig.openDevice()->stall (seconds); }; };
    auto pauseHost = [] (BridgeRig& t) { t.rig.sim.stopHost(); };
    auto hugeHostBlock = [] (BridgeRig& t)
    {
        juce::AudioBuffer<float> huge (2, Bridge::ringCapacity + 1);
        huge.clear();
        t.client->getNextAudioBlock (juce::AudioSourceChannelInfo (huge));
    };
    auto nothing = [] (BridgeRig&) {};
    auto closeDevice = [] (BridgeRig& t) { t.rig.driver().getAudioDevice()->close(); };

    const Case cases[] = {
        { "device stalls: the host finds too little", PedalModeConfig::none, {}, 0.0, stallDevice (0.2), Bridge::hostReadFailed },
        { "host pauses: the device finds too little", PedalModeConfig::none, {}, 0.0, pauseHost, Bridge::deviceReadFailed },
        { "device far too fast for the IN leg's ring", PedalModeConfig::in, {}, 5000.0, nothing, Bridge::hostFillOutOfRange },
        { "device far too slow for the OUT leg's ring", PedalModeConfig::out, {}, -5000.0, nothing, Bridge::deviceFillOutOfRange },
        { "device stalls under the OUT leg: the ring overflows", PedalModeConfig::out, { 2048, 0, 2 }, 0.0, stallDevice (1.0), Bridge::hostWriteFailed },
        { "host pauses over the IN leg: the ring overflows", PedalModeConfig::in, {}, 0.0, pauseHost, Bridge::deviceWriteFailed },
        { "a host block beyond the ring", PedalModeConfig::none, {}, 0.0, hugeHostBlock, Bridge::hostReadFailed },
        { "the pedal's device closes: no start is asked of it", PedalModeConfig::none, {}, 0.0, closeDevice, Bridge::hostReadFailed, false },
        { "a host thread stops the bridge while it restarts: the stop stays", PedalModeConfig::none, {}, 0.0, stallDevice (0.2),
          Bridge::hostReadFailed, false, true },
    };

    for (const auto& c : cases)
    {
        SCOPED_TRACE (c.name);
        BridgeRig t;
        VirtualAudioBehaviour behaviour;
        behaviour.clockPpm = c.clockPpm;

        // The restart asks whether the pedal's device is open once the fault
        // is left and the rings are reset: there a host thread stops.
        std::atomic<bool> stopNow { false };
        if (c.hostStopsDuringRestart)
            behaviour.whenAskedIfOpen = [&] { if (stopNow.exchange (false)) std::thread ([&] { t.bridge->releaseResources(); }).join(); };

        t.rig.setDeviceBehaviour (behaviour);
        t.attach (c.leg == PedalModeConfig::none ? Mode::audio : Mode::pedalboard, c.leg, 512, c.settings);
        ASSERT_TRUE (t.runUntilState ([] (int s) { return s == Bridge::streaming; }, 0.5));

        c.cause (t);
        ASSERT_TRUE (t.runUntilState (Bridge::isFault, 120.0));
        EXPECT_EQ (t.state(), c.fault);
        stopNow = c.hostStopsDuringRestart;

        // Within 100 ms stopped, reset and asked to start again; then streaming.
        const auto faultAt = t.rig.sim.getSeconds();
        ASSERT_TRUE (t.runUntilState ([] (int s) { return ! Bridge::isFault (s); }, 0.1));
        EXPECT_LE (t.rig.sim.getSeconds() - faultAt, 0.1);
        EXPECT_EQ (t.bridge->getDiagnostics().restarts, 1);
        EXPECT_EQ (t.bridge->getDiagnostics().lastFault, c.fault);
        EXPECT_FALSE (stopNow) << "the restart did not ask whether the device is open";
        t.stream (512);

        if (c.startsAgain)
        {
            EXPECT_TRUE (t.runUntilState ([] (int s) { return s == Bridge::streaming; }, 1.0));
            continue;
        }

        // Nothing was asked to start, and nothing starts later.
        t.rig.sim.run (1.0);
        EXPECT_EQ (t.state(), Bridge::stopped);
        EXPECT_EQ (t.bridge->getDiagnostics().restarts, 1);
    }
}

// After a fault on the device's side the host still reads the from-device
// ring once more, to fade the pedal's audio out. However long the host takes
// to come back, and however much the device writes meanwhile, that block
// continues the pedal's audio exactly where the host left it: the device never
// writes over what the host has not read. The device's inputs count their
// samples; its periods are run by hand, with no timer to restart the stream.
TEST (AudioBridgeFaults, TheHostsFadeAfterADeviceFaultContinuesWhereTheHostLeftOff)
{
    struct CountingInputs final : VirtualAudioEndpoint
    {
        void fillInputs (int64_t counter, float* const* inputs, int numChannels, int numSamples) noexcept override
        {
            for (int c = 0; c < numChannels; ++c)
                for (int i = 0; i < numSamples; ++i)
                    inputs[c][i] = (float) (counter + i);
        }

        void takeOutputs (int64_t, const float* const*, int, int) noexcept override {}
    } counting;

    BridgeRig t;
    t.rig.audioTypes.publish (LinkRig::pedalName, &counting);
    t.attach (Mode::audio, PedalModeConfig::none, 512);
    float lastHeard = -1.0f;
    t.rig.streamHost ({ t.client }, 512, {}, [&] (auto& block, auto) { lastHeard = block.getSample (0, block.getNumSamples() - 1); });
    ASSERT_TRUE (t.runUntilState ([] (int s) { return s == Bridge::streaming; }, 0.5));
    t.rig.sim.run (0.2);
    ASSERT_GT (lastHeard, 0.0f) << "the host heard none of the device's count";

    // The host stops calling; the device runs dry of the host's audio, faults
    // and goes on writing more than a ring's worth.
    t.rig.sim.stopHost();
    auto* device = t.rig.openDevice();
    ASSERT_NE (device, nullptr);
    const int periods = 2 * Bridge::ringCapacity / 512;

    for (int i = 0; i < periods && t.state() != Bridge::deviceReadFailed; ++i)
        device->runNextPeriod();

    ASSERT_EQ (t.state(), Bridge::deviceReadFailed);

    for (int i = 0; i < periods; ++i)
        device->runNextPeriod();

    juce::AudioBuffer<float> fade (2, 512);
    fade.clear();
    t.client->getNextAudioBlock (juce::AudioSourceChannelInfo (fade));

    for (int i = 0; i < fade.getNumSamples(); ++i)
        ASSERT_EQ (fade.getSample (0, i), lastHeard + 1.0f + (float) i) << "sample " << i << " of the fade block";
}

TEST_F (AudioBridge, AStopHoldsUntilTheHostPreparesAgain)
{
    attach (Mode::audio, PedalModeConfig::none, 512);
    ASSERT_TRUE (runUntilState ([] (int s) { return s == Bridge::streaming; }, 0.5));

    bridge->releaseResources();
    rig.sim.run (2.0);
    EXPECT_EQ (state(), Bridge::stopped);
    EXPECT_EQ (lastOutput, 0.0f);

    // Neither the driver starting streams nor a restart tick moves it.
    rig.driver().startAudioDevice();
    bridge->timerCallback (Bridge::restartTimerId);
    EXPECT_EQ (state(), Bridge::stopped);

    bridge->prepareToPlay (512, AudioLinkRig::sampleRate);
    EXPECT_TRUE (runUntilState ([] (int s) { return s == Bridge::streaming; }, 0.5));
    EXPECT_EQ (bridge->getDiagnostics().restarts, 0);
}

TEST_F (AudioBridge, ParameterChangesRestartStreamingAndReopenTheDeviceOnlyForRateOrBlockSize)
{
    attach (Mode::audio, PedalModeConfig::none, 512);
    ASSERT_TRUE (runUntilState ([] (int s) { return s == Bridge::streaming; }, 0.5));
    auto& counters = rig.deviceCounters();
    auto& settings = rig.driver().getSettings();

    struct Case { const char* name; std::function<void()> change; int reopens; int latency; };
    const Case cases[] = {
        { "buffer settings", [&] { settings.outAdjust.setValue (2, nullptr); settings.inAdjust.setValue (1, nullptr); }, 0, 2048 + 1536 + 100 + 56 },
        { "the pedal's block size", [&] { settings.blockSize.setValue (256, nullptr); }, 1, (2 * 512 + 768) + (512 + 768) + 100 + 56 },
        { "the host's rate", [&] { rig.driver().setSampleRate (44100); bridge->prepareToPlay (512, 44100.0); }, 1, (2 * 512 + 768) + (512 + 768) + 100 + 56 },
        { "the host's block, which the pedal follows no more", [&] { bridge->prepareToPlay (256, 44100.0); }, 0, (2 * 256 + 512) + (256 + 512) + 100 + 56 },
    };

    for (const auto& c : cases)
    {
        SCOPED_TRACE (c.name);
        const int opens = counters.opens.load();
        c.change();
        EXPECT_EQ (counters.opens.load() - opens, c.reopens);
        EXPECT_EQ (bridge->getLatencySamples(), c.latency);
        EXPECT_EQ (rig.driver().getLatency(), c.latency);
        EXPECT_TRUE (runUntilState ([] (int s) { return s == Bridge::streaming; }, 0.5));
    }

    EXPECT_EQ (rig.openDevice()->getCurrentSampleRate(), 44100.0);
    EXPECT_EQ (rig.openDevice()->getCurrentBufferSizeSamples(), 256);
    EXPECT_EQ (bridge->getDiagnostics().restarts, 0);

    // Nothing to apply without a rate or a host block.
    bridge->prepareToPlay (0, 44100.0);
    bridge->prepareToPlay (512, 0.0);
    EXPECT_EQ (bridge->getAppliedParameters().hostBlock, 256);
    EXPECT_EQ (bridge->getAppliedParameters().sampleRate, 44100.0);
}

TEST_F (AudioBridge, AHostPreparingOffTheMessageThreadOnlyStopsAndLeavesTheDeviceToTheMessageThread)
{
    attach (Mode::audio, PedalModeConfig::none, 512);
    ASSERT_TRUE (runUntilState ([] (int s) { return s == Bridge::streaming; }, 0.5));
    const int opens = rig.deviceCounters().opens.load();

    std::thread ([this] { bridge->prepareToPlay (1024, AudioLinkRig::sampleRate); }).join();
    EXPECT_EQ (state(), Bridge::stopped);
    EXPECT_EQ (rig.deviceCounters().opens.load(), opens);
    EXPECT_EQ (bridge->getAppliedParameters().hostBlock, 512);

    rig.sim.run (0.01); // the next message-thread pass
    EXPECT_EQ (rig.deviceCounters().opens.load(), opens + 1);
    EXPECT_EQ (rig.openDevice()->getCurrentBufferSizeSamples(), 1024);
    EXPECT_EQ (bridge->getAppliedParameters().hostBlock, 1024);
    EXPECT_NE (state(), Bridge::stopped);

    // A caller on the message thread may ask for the same.
    bridge->prepareLater (512, AudioLinkRig::sampleRate);
    EXPECT_EQ (state(), Bridge::stopped);
    EXPECT_EQ (bridge->getAppliedParameters().hostBlock, 1024);
    rig.sim.run (0.01);
    EXPECT_EQ (bridge->getAppliedParameters().hostBlock, 512);
}

// Every seventh device callback comes 4 ms late: each is counted, none is a
// gap that starts the device's timing afresh, nothing faults, and after the
// first minute the latency heard is the latency told.
TEST_F (AudioBridge, LateCallbacksAreCountedWithoutAFaultAndTheLatencyHeardStaysTheLatencyTold)
{
    VirtualAudioBehaviour behaviour;
    behaviour.lateEvery = 7;
    behaviour.lateSeconds = 0.004;
    rig.setDeviceBehaviour (behaviour);
    attach (Mode::audio, PedalModeConfig::none, 512);
    rig.driver().getSettings().extraLatency.setValue (rig.pedalAudio().calibratedLatency(), nullptr);
    ASSERT_TRUE (runUntilState ([] (int s) { return s == Bridge::streaming; }, 0.5));
    const int starts = bridge->getDiagnostics().deviceStreamStarts;

    DriftRecording recording (rig.sim, *client, 512);
    recording.run (90.0);
    const auto d = bridge->getDiagnostics();
    const auto heard = recording.summarise();
    EXPECT_GT (d.deviceLate, 1150);
    EXPECT_EQ (d.hostLate, 0);
    EXPECT_EQ (d.restarts, 0);
    EXPECT_EQ (d.deviceStreamStarts, starts);
    EXPECT_EQ (state(), Bridge::streaming);
    EXPECT_GT (d.deviceLongestIntervalTicks, SimulatedHostClock::fromSeconds (512 / 48000.0 + 0.003));
    ASSERT_GT (heard.arrivals, 170);
    EXPECT_NEAR (heard.meanLaterError, 0.0, 1.0);
    EXPECT_LE (heard.worstLaterError, 2.0);
}
} // namespace

namespace
{
TEST_F (AudioBridge, ADeviceThatCallsBackWithLargerBlocksThanItSaysIsTakenAtItsWord)
{
    // Asked for 256, it says 256 and calls back with 768.
    VirtualAudioBehaviour behaviour;
    behaviour.deliveredBlockSize = 768;
    behaviour.misreportsBlockSize = true;
    rig.setDeviceBehaviour (behaviour);
    attach (Mode::audio, PedalModeConfig::none, 512, { 256, 0, 1 });
    ASSERT_EQ (rig.openDevice()->getCurrentBufferSizeSamples(), 256);

    // Within a drift tick the rings are sized for the blocks that really come.
    rig.sim.run (1.5);
    EXPECT_EQ (bridge->getDeviceBlockInUse(), 768);
    EXPECT_EQ (bridge->getTargets().toDevice, 768 + 512 + 768);
    const int restarts = bridge->getDiagnostics().restarts;

    rig.sim.run (30.0);
    EXPECT_EQ (state(), Bridge::streaming);
    EXPECT_EQ (bridge->getDiagnostics().restarts, restarts);
    EXPECT_FLOAT_EQ (lastOutput, 0.25f);
}

TEST_F (AudioBridge, AnUnpluggedPedalsDeviceCallsBackNoMore)
{
    attach (Mode::audio, PedalModeConfig::none, 512);
    ASSERT_TRUE (runUntilState ([] (int s) { return s == Bridge::streaming; }, 0.5));
    const auto& counters = rig.deviceCounters();

    rig.pedal.withdrawAudio();
    const auto callbacks = counters.callbacks.load();
    rig.sim.run (0.5);
    EXPECT_EQ (counters.callbacks.load(), callbacks);
    EXPECT_NE (state(), Bridge::streaming); // the host's side ran dry

    // The next scan finds the pedal gone and takes its device with it.
    rig.sim.stopHost();
    rig.getManager().scanForDevices();
    EXPECT_EQ (rig.findDevice(), nullptr);
    EXPECT_EQ (counters.stops.load(), 1);
}
} // namespace
