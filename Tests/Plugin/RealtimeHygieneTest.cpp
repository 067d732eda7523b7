#include "Support/MessageLoop.h"
#include "Support/ProcessorAudioRig.h"
#include "Support/RealtimeCounting.h"

#include <gtest/gtest.h>
#include <array>
#include <cstdlib>
#include <functional>
#include <optional>
#include <thread>

// Neither the processor's block processing nor the pedal's audio callback locks
// or allocates: streaming, while instances attach, change channels and detach,
// through restarts, a settings change and a calibration. Every call on both
// audio paths is counted by the interposers the Plugin tests are linked with.
namespace
{
// Totals over every host block and every device callback, each counted on its own.
struct CallbackCounts final : VirtualAudioCallbackWatch
{
    void enteringCallback() noexcept override { counting.emplace(); }
    void leftCallback() noexcept override { finish (device); }
    void aroundHost (const std::function<void()>& call) { counting.emplace(); call(); finish (host); }

    void finish (std::array<long, 3>& totals)
    {
        totals = { totals[0] + 1, totals[1] + counting->locksTaken(), totals[2] + counting->allocations() };
        counting.reset();
    }

    std::array<long, 3> host {}, device {}; // calls, locks, allocations
    std::optional<RealtimeCounting> counting;
};

TEST (RealtimeHygiene, NoLockAndNoAllocationOnEitherAudioPathThroughAttachDetachAndRestarts)
{
    CallbackCounts counts;
    ProcessorAudioRig rig (2);
    VirtualAudioBehaviour behaviour;
    behaviour.watch = &counts;
    rig.setDeviceBehaviour (behaviour);
    rig.pedalAudio().setRoundTrip (700);
    rig.storeCalibratedLatency();
    rig.prepare (64);
    rig.setParameter ("mixWet", 100);

    rig.play ([] (auto& block, int64_t first)
              {
                  for (int c = 0; c < 2; ++c)
                      for (int i = 0; i < block.getNumSamples(); ++i)
                          block.setSample (c, i, 0.5f * std::sin (0.02f * (float) (first + i)));
              },
              {}, [&counts] (const auto& call) { counts.aroundHost (call); });

    auto& first = rig.processor (0);
    auto& second = rig.processor (1);
    ASSERT_TRUE (rig.attach (Mode::audio, ChannelSetting::stereo, PedalModeConfig::none, 0));
    ASSERT_TRUE (rig.runUntilStreaming (first.getUsbClient()));
    rig.sim.run (1.0);

    // A stalled device: the bridge fails, restarts and streams again.
    auto& bridge = first.getUsbClient()->getAudioSource();
    rig.openDevice()->stall (0.05);
    ASSERT_TRUE (rig.sim.runUntil ([&] { return bridge.getDiagnostics().restarts > 0; }, 1.0));
    ASSERT_TRUE (rig.runUntilStreaming (first.getUsbClient()));

    // A second instance, both switched to one channel each, a new buffer
    // setting, a calibration the pedal asks for, then both leave.
    const std::function<void()> steps[] = {
        [&] { ASSERT_TRUE (rig.attach (Mode::audio, ChannelSetting::stereo, PedalModeConfig::none, 1)); },
        [&] { first.setUsbDevice (LinkRig::pedalName, Mode::audio, ChannelSetting::monoLeft, PedalModeConfig::none); },
        [&] { second.setUsbDevice (LinkRig::pedalName, Mode::audio, ChannelSetting::monoRight, PedalModeConfig::none); },
        [&] { rig.driver().getSettings().outAdjust.setValue (2, nullptr); },
        [&] { ASSERT_TRUE (rig.pedal.sendCalibrate()); },
        [&] { second.disconnectUsbClient(); },
        [&] { first.disconnectUsbClient(); },
    };
    for (const auto& step : steps)
    {
        ASSERT_NO_FATAL_FAILURE (step());
        rig.sim.run (0.5);
    }

    EXPECT_GT (counts.host[0], 2000);
    EXPECT_GT (counts.device[0], 2000);
    EXPECT_EQ (counts.host, (std::array<long, 3> { counts.host[0], 0, 0 }));
    EXPECT_EQ (counts.device, (std::array<long, 3> { counts.device[0], 0, 0 }));
}

// The host's render holds the processor's callback lock: whoever else takes it
// (preparing on the message thread or a host's own, with or without a pedal)
// builds everything first and only publishes inside it. A host's own thread
// only stops the pedal's stream; the shared device is the message thread's.
TEST (RealtimeHygiene, NothingIsAllocatedOrLockedWhileTheCallbackLockIsHeld)
{
    ProcessorAudioRig rig;
    auto& processor = rig.processor();
    rig.storeCalibratedLatency();
    RealtimeCounting::watch (&processor.getCallbackLock());

    // Allocations, and allocations and locks inside the callback lock.
    using Counts = std::array<int, 3>;
    const auto count = [] (const std::function<void()>& step)
    {
        const RealtimeCounting counting;
        step();
        return Counts { counting.allocations(), counting.allocationsWhileHolding(), counting.locksWhileHolding() };
    };
    const auto onHostThread = [&count] (const std::function<void()>& step)
    {
        Counts counts;
        std::thread ([&] { counts = count (step); }).join();
        return counts;
    };

    const struct { const char* step; std::function<Counts()> run; bool allocates; } steps[] = {
        { "the watch sees what happens inside the lock", [&] { return count ([&] { const juce::ScopedLock inside (processor.getCallbackLock()); std::free (std::malloc (16)); }); }, true },
        { "a prepare with new buffers", [&] { return count ([&] { rig.prepare (256); }); }, true },
        { "an attach", [&] { return count ([&] { ASSERT_TRUE (rig.attach (Mode::audio)); }); }, true },
        { "a prepare that reopens the pedal's device", [&] { return count ([&] { rig.prepare (1024); }); }, true },
        { "a prepare on the host's thread, which only stops the pedal's stream", [&]
          {
              const auto counts = onHostThread ([&] { processor.prepareToPlay (ProcessorAudioRig::sampleRate, 128); });
              EXPECT_EQ (processor.getUsbClient()->getAudioSource().getStreamingState(), AudioIODeviceSource::stopped);
              EXPECT_EQ (rig.openDevice()->getCurrentBufferSizeSamples(), 1024); // the shared device is left alone
              return counts;
          }, true },
        { "the message thread then reopens the device and tells the host", [&]
          {
              auto& bridge = processor.getUsbClient()->getAudioSource();
              const auto counts = count ([&]
              {
                  EXPECT_TRUE (runLoopUntil ("the pedal's stream reopened for blocks of 128",
                                             [&bridge] { return bridge.getAppliedParameters().hostBlock == 128; }));
              });
              EXPECT_EQ (rig.openDevice()->getCurrentBufferSizeSamples(), 128);
              EXPECT_EQ (processor.getLatencySamples(), bridge.getLatencySamples());
              return counts;
          }, true },
        { "a release on the host's thread", [&] { return onHostThread ([&] { processor.releaseResources(); }); }, false },
        { "a detach", [&] { return count ([&] { processor.disconnectUsbClient(); }); }, true },
    };

    for (const auto& step : steps)
    {
        SCOPED_TRACE (step.step);
        Counts counts;
        ASSERT_NO_FATAL_FAILURE (counts = step.run());
        EXPECT_EQ (counts[0] > 0, step.allocates);
        EXPECT_EQ (counts[1], &step == &steps[0] ? 1 : 0);
        EXPECT_EQ (counts[2], 0);
    }

    RealtimeCounting::watch (nullptr);
}
} // namespace
