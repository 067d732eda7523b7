#include "Support/ProcessorAudioRig.h"
#include "Support/RealtimeCounting.h"

#include <gtest/gtest.h>
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
class CallbackCounts final : public VirtualAudioCallbackWatch
{
public:
    struct Totals
    {
        long calls = 0, locks = 0, allocations = 0;
    };

    void enteringCallback() noexcept override { counting.emplace(); }
    void leftCallback() noexcept override { finish (device); }

    void aroundHost (const std::function<void()>& call)
    {
        counting.emplace();
        call();
        finish (host);
    }

    Totals host, device;

private:
    void finish (Totals& totals)
    {
        ++totals.calls;
        totals.locks += counting->locksTaken();
        totals.allocations += counting->allocations();
        counting.reset();
    }

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

    const auto streamFor = [&] (double seconds) { rig.sim.run (seconds); };
    auto& first = rig.processor (0);
    auto& second = rig.processor (1);

    ASSERT_TRUE (rig.attach (modeAudio, channelStereo, pedalboardNone, 0));
    ASSERT_TRUE (rig.runUntilStreaming (first.getUsbClient()));
    streamFor (1.0);

    // A stalled device: the bridge fails, restarts and streams again.
    auto& bridge = first.getUsbClient()->getAudioSource();
    rig.openDevice()->stall (0.05);
    ASSERT_TRUE (rig.sim.runUntil ([&] { return bridge.getDiagnostics().restarts > 0; }, 1.0));
    ASSERT_TRUE (rig.runUntilStreaming (first.getUsbClient()));

    // A second instance, both switched to one channel each, a new buffer
    // setting, a calibration the pedal asks for, then both leave.
    ASSERT_TRUE (rig.attach (modeAudio, channelStereo, pedalboardNone, 1));
    streamFor (0.5);
    first.setUsbDevice (LinkRig::pedalName, modeAudio, channelMonoLeft, pedalboardNone);
    second.setUsbDevice (LinkRig::pedalName, modeAudio, channelMonoRight, pedalboardNone);
    streamFor (0.5);
    rig.driver().getSettings().outAdjust.setValue (2, nullptr);
    streamFor (0.5);
    ASSERT_TRUE (rig.pedal.sendCalibrate());
    streamFor (1.0);
    second.disconnectUsbClient();
    streamFor (0.5);
    first.disconnectUsbClient();
    streamFor (0.5);

    EXPECT_GT (counts.host.calls, 2000);
    EXPECT_GT (counts.device.calls, 2000);
    EXPECT_EQ (counts.host.locks, 0);
    EXPECT_EQ (counts.host.allocations, 0);
    EXPECT_EQ (counts.device.locks, 0);
    EXPECT_EQ (counts.device.allocations, 0);
}

// The host's render holds the processor's callback lock: whoever else takes it
// (preparing on the message thread or a host's own, with or without a pedal,
// the dry line growing) builds everything first and only publishes inside it.
TEST (RealtimeHygiene, NothingIsAllocatedOrLockedWhileTheCallbackLockIsHeld)
{
    ProcessorAudioRig rig;
    auto& processor = rig.processor();
    rig.storeCalibratedLatency();
    RealtimeCounting::watch (&processor.getCallbackLock());

    struct Counts
    {
        int allocations = 0, allocationsInside = 0, locksInside = 0;
    };

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
        { "an attach", [&] { return count ([&] { ASSERT_TRUE (rig.attach (modeAudio)); }); }, true },
        { "a prepare that reopens the pedal's device", [&] { return count ([&] { rig.prepare (1024); }); }, true },
        { "a prepare on the host's thread", [&] { return onHostThread ([&] { processor.prepareToPlay (ProcessorAudioRig::sampleRate, 128); }); }, true },
        { "what the message thread does after it", [&] { return count ([] { juce::MessageManager::getInstance()->runDispatchLoopUntil (20); }); }, true },
        { "a release on the host's thread", [&] { return onHostThread ([&] { processor.releaseResources(); }); }, false },
        { "a detach", [&] { return count ([&] { processor.disconnectUsbClient(); }); }, true },
    };

    for (const auto& step : steps)
    {
        SCOPED_TRACE (step.step);
        const auto counts = step.run();
        EXPECT_EQ (counts.allocations > 0, step.allocates);
        EXPECT_EQ (counts.allocationsInside, &step == &steps[0] ? 1 : 0);
        EXPECT_EQ (counts.locksInside, 0);
    }

    RealtimeCounting::watch (nullptr);
}
} // namespace
