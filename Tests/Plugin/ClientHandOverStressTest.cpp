#include "Support/LinkRig.h"
#include "Support/PluginFixture.h"
#include "Support/RealtimeCounting.h"
#include "Support/Waiting.h"

#include <gtest/gtest.h>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <functional>
#include <memory>
#include <optional>
#include <thread>

// Two instances attach to one pedal, switch channels, detach and lose the
// pedal, again and again, while both hosts render on threads of their own and
// the pedal's audio device calls back on its own. No audio thread ever waits
// on any of it: what the audio threads do inside their callbacks takes no lock
// and allocates nothing, and the one lock a host holds around its block, the
// processor's callback lock, is never taken by the message thread, so nothing
// done there can keep a block waiting. Counted, not timed: a busy machine
// slows every thread down without anything being wrong.
namespace
{
const juce::String pedalName (LinkRig::pedalName);

// Counts the framework's assertion reports, from any thread, while it is installed.
class AssertionCounter final : public juce::Logger
{
public:
    AssertionCounter() { juce::Logger::setCurrentLogger (this); }
    ~AssertionCounter() override { juce::Logger::setCurrentLogger (nullptr); }

    void logMessage (const juce::String& message) override
    {
        if (message.startsWith ("JUCE Assertion failure"))
            ++count;
    }

    std::atomic<int> count { 0 };
};

// What an audio thread did inside its callbacks, added up; read from any thread.
struct CallbackTotals
{
    void add (const RealtimeCounting& counting) noexcept
    {
        locks.fetch_add (counting.locksTaken());
        allocations.fetch_add (counting.allocations());
        calls.fetch_add (1);
    }

    std::atomic<long> calls { 0 }, locks { 0 }, allocations { 0 };
};

// The pedal's audio device calls into the driver's callback: each call is
// counted on the device's thread, whichever device of the pedal's makes it.
struct DeviceCallbacks final : VirtualAudioCallbackWatch
{
    void enteringCallback() noexcept override { counting().emplace(); }

    void leftCallback() noexcept override
    {
        totals.add (*counting());
        counting().reset();
    }

    static std::optional<RealtimeCounting>& counting()
    {
        thread_local std::optional<RealtimeCounting> perThread;
        return perThread;
    }

    CallbackTotals totals;
};

// A thread that runs a step until stopped. Stopping waits for the step in
// progress to end, within the tests' patience: a thread stuck in it fails the test.
class SteppingThread
{
public:
    explicit SteppingThread (std::function<void()> stepToRun)
        : step (std::move (stepToRun)), thread ([this] { run(); })
    {
    }

    ~SteppingThread()
    {
        if (! stop())
        {
            ADD_FAILURE() << "a host thread is stuck in its step: it cannot be left running";
            std::abort();
        }
    }

    // Succeeds once the thread has ended.
    ::testing::AssertionResult stop()
    {
        running.store (false);

        if (! thread.joinable())
            return ::testing::AssertionSuccess();

        auto ended = waitUntil ("a host thread to end its step", [this] { return finished.load(); });
        if (ended)
            thread.join();
        return ended;
    }

private:
    void run()
    {
        while (running.load())
            step();

        finished.store (true);
    }

    std::function<void()> step;
    std::atomic<bool> running { true }, finished { false };
    std::thread thread;
};

// A host audio thread: processBlock on a 2 x 256 buffer as fast as it can,
// holding the processor's callback lock as the framework's wrappers do; what
// each block does inside that lock is counted.
class HostAudioThread
{
public:
    explicit HostAudioThread (VelmoraAudioProcessor& p) : processor (p)
    {
        processor.prepareToPlay (44100.0, 256);
        thread.emplace ([this] { render(); });
    }

    bool stop() { return thread->stop(); }

    CallbackTotals totals;

private:
    void render()
    {
        for (int channel = 0; channel < 2; ++channel)
            juce::FloatVectorOperations::fill (buffer.getWritePointer (channel), 0.25f, 256);

        const juce::ScopedLock rendering (processor.getCallbackLock());
        const RealtimeCounting counting;
        processor.processBlock (buffer, midi);
        totals.add (counting);
    }

    VelmoraAudioProcessor& processor;
    juce::AudioBuffer<float> buffer { 2, 256 };
    juce::MidiBuffer midi;
    std::optional<SteppingThread> thread; // last: it runs over the members above
};

// A host preparing again and again on a thread of its own, at other block sizes.
class HostPrepareThread
{
public:
    explicit HostPrepareThread (VelmoraAudioProcessor& p) : processor (p) {}

private:
    void prepare()
    {
        processor.prepareToPlay (44100.0, round % 2 == 0 ? 128 : 256);
        std::this_thread::sleep_for (std::chrono::milliseconds (1));
        if (round++ % 8 == 7)
            processor.releaseResources();
    }

    VelmoraAudioProcessor& processor;
    int round = 0;
    SteppingThread thread { [this] { prepare(); } };
};

// Both hosts render at least two more blocks, and so does the pedal's audio
// device while it runs: each audio thread passes over what changed last.
::testing::AssertionResult audioMovesOn (LinkRig& rig, const HostAudioThread& a, const HostAudioThread& b,
                                         const DeviceCallbacks& device)
{
    auto* pedal = rig.findDevice();
    if (pedal == nullptr)
        return ::testing::AssertionFailure() << "the pedal is gone";

    auto* audio = pedal->getDriver().getAudioDevice();
    const bool deviceRuns = audio != nullptr && audio->isPlaying();
    const long fromA = a.totals.calls.load() + 2, fromB = b.totals.calls.load() + 2;
    const long fromDevice = device.totals.calls.load() + 2;

    return waitUntil (std::string ("two more blocks of both hosts") + (deviceRuns ? " and the pedal's device" : ""), [&]
    {
        return a.totals.calls.load() >= fromA && b.totals.calls.load() >= fromB
            && (! deviceRuns || device.totals.calls.load() >= fromDevice);
    });
}

TEST (ClientHandOverStressTest, AttachDetachSwitchAndUnplugWhileEveryAudioThreadRuns)
{
    DeviceCallbacks deviceCallbacks; // outlives the pedal's devices
    LinkRig rig; // before the processors, so that they go before the pedal and the manager
    VirtualAudioBehaviour counted;
    counted.watch = &deviceCallbacks;
    rig.audioTypes.setBehaviour (pedalName, counted);

    auto first = makeProcessor(), second = makeProcessor();
    constexpr int rounds = 200;
    int roundsWithPedalAudio = 0;
    AssertionCounter assertions;
    const struct Watching
    {
        Watching (const void* a, const void* b) { RealtimeCounting::watch (a, b); }
        ~Watching() { RealtimeCounting::watch (nullptr); }
    } callbackLocks (&first->getCallbackLock(), &second->getCallbackLock());

    {
        HostAudioThread firstHost (*first), secondHost (*second);

        // The message thread's own use of the callback locks shows in its count.
        {
            const RealtimeCounting counting;
            const juce::ScopedLock one (first->getCallbackLock()), other (second->getCallbackLock());
            ASSERT_EQ (counting.watchedLocksTaken(), 2);
        }

        const RealtimeCounting messageThread;

        for (int round = 0; round < rounds; ++round)
        {
            SCOPED_TRACE (round);
            const bool pedalboard = round % 2 != 0;
            const Mode mode = pedalboard ? Mode::pedalboard : Mode::audio;
            const bool split = (round / 2) % 2 == 0;
            const ChannelSetting firstChannel = split ? ChannelSetting::monoLeft : ChannelSetting::stereo;
            const ChannelSetting secondChannel = split ? ChannelSetting::monoRight : ChannelSetting::stereo;
            const PedalModeConfig firstLeg = pedalboard ? PedalModeConfig::in : PedalModeConfig::none;
            const PedalModeConfig secondLeg = pedalboard ? PedalModeConfig::out : PedalModeConfig::none;
            ASSERT_NE (rig.findDevice(), nullptr);

            // Every third round the first instance's host prepares again meanwhile.
            std::optional<HostPrepareThread> preparing;
            if (round % 3 == 0)
                preparing.emplace (*first);

            first->setUsbDevice (pedalName, mode, firstChannel, firstLeg);
            ASSERT_TRUE (rig.drain());
            ASSERT_NE (first->getUsbClient(), nullptr);
            auto* audio = rig.driver().getAudioDevice();
            roundsWithPedalAudio += audio != nullptr && audio->isPlaying() ? 1 : 0;
            ASSERT_TRUE (audioMovesOn (rig, firstHost, secondHost, deviceCallbacks));

            second->setUsbDevice (pedalName, mode, secondChannel, secondLeg);
            ASSERT_TRUE (rig.drain());
            ASSERT_NE (second->getUsbClient(), nullptr);
            ASSERT_TRUE (audioMovesOn (rig, firstHost, secondHost, deviceCallbacks));

            // The second instance switches between mono and stereo under the running audio.
            second->setUsbDevice (pedalName, mode, split ? ChannelSetting::stereo : ChannelSetting::monoRight, secondLeg);
            ASSERT_TRUE (audioMovesOn (rig, firstHost, secondHost, deviceCallbacks));
            rig.getManager().getRetiredObjects().releaseSafeObjects();

            switch (round % 4)
            {
                case 0:
                    second->disconnectUsbClient();
                    ASSERT_TRUE (audioMovesOn (rig, firstHost, secondHost, deviceCallbacks));
                    first->disconnectUsbClient();
                    break;

                case 1:
                    rig.unplugAndScan();
                    EXPECT_EQ (first->getUsbClient(), nullptr);
                    EXPECT_EQ (second->getUsbClient(), nullptr);
                    rig.plugInAndScan();
                    break;

                case 2:
                    first->disconnectUsbClient();
                    ASSERT_TRUE (audioMovesOn (rig, firstHost, secondHost, deviceCallbacks));
                    rig.unplugAndScan();
                    EXPECT_EQ (second->getUsbClient(), nullptr);
                    rig.plugInAndScan();
                    break;

                default:
                    // The link drops under the clients, then the pedal goes.
                    ASSERT_TRUE (rig.pedal.sendModeOff());
                    ASSERT_TRUE (rig.drain());
                    EXPECT_EQ (first->getUsbClient(), nullptr);
                    EXPECT_EQ (second->getUsbClient(), nullptr);
                    rig.unplugAndScan();
                    rig.plugInAndScan();
                    break;
            }

            ASSERT_NE (rig.findDevice(), nullptr);
            rig.getManager().getRetiredObjects().releaseSafeObjects();
            ASSERT_TRUE (audioMovesOn (rig, firstHost, secondHost, deviceCallbacks));
        }

        ASSERT_TRUE (firstHost.stop()) << "the first host's thread";
        ASSERT_TRUE (secondHost.stop()) << "the second host's thread";

        // Attaching, switching, detaching and unplugging never took a callback lock.
        EXPECT_EQ (messageThread.watchedLocksTaken(), 0);

        for (const auto* host : { &firstHost, &secondHost })
        {
            EXPECT_GT (host->totals.calls.load(), 4L * rounds);
            EXPECT_EQ (host->totals.locks.load(), 0);
            EXPECT_EQ (host->totals.allocations.load(), 0);
        }
    }

    EXPECT_GT (deviceCallbacks.totals.calls.load(), 4L * rounds);
    EXPECT_EQ (deviceCallbacks.totals.locks.load(), 0);
    EXPECT_EQ (deviceCallbacks.totals.allocations.load(), 0);

    EXPECT_EQ (roundsWithPedalAudio, rounds);
    EXPECT_EQ (assertions.count.load(), 0);
    EXPECT_EQ (first->getDevice(), nullptr);
    EXPECT_EQ (second->getDevice(), nullptr);
    EXPECT_TRUE (rig.releaseRetired());
}
} // namespace
