#include "Support/LinkRig.h"
#include "Support/PluginFixture.h"

#include <gtest/gtest.h>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <memory>
#include <optional>
#include <thread>

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

// A host audio thread: processBlock on a 2 x 256 buffer as fast as it can,
// holding the processor's callback lock as the framework's wrappers do, and
// timing each call so a blocked block shows.
class HostAudioThread
{
public:
    explicit HostAudioThread (VelmoraAudioProcessor& p) : processor (p)
    {
        processor.prepareToPlay (44100.0, 256);
        thread = std::thread ([this] { run(); });
    }

    ~HostAudioThread() { stop(); }

    void stop()
    {
        running.store (false);
        if (thread.joinable())
            thread.join();
    }

    std::atomic<long> blocks { 0 };
    std::atomic<long> longestMicroseconds { 0 };

private:
    void run()
    {
        juce::AudioBuffer<float> buffer (2, 256);
        juce::MidiBuffer midi;

        while (running.load())
        {
            for (int channel = 0; channel < 2; ++channel)
                juce::FloatVectorOperations::fill (buffer.getWritePointer (channel), 0.25f, 256);

            const auto start = std::chrono::steady_clock::now();
            {
                const juce::ScopedLock rendering (processor.getCallbackLock());
                processor.processBlock (buffer, midi);
            }
            const auto took = std::chrono::duration_cast<std::chrono::microseconds> (std::chrono::steady_clock::now() - start);

            longestMicroseconds.store (std::max (longestMicroseconds.load(), (long) took.count()));
            blocks.fetch_add (1);
        }
    }

    VelmoraAudioProcessor& processor;
    std::atomic<bool> running { true };
    std::thread thread;
};

// A host preparing again and again on a thread of its own, at other block sizes.
class HostPrepareThread
{
public:
    explicit HostPrepareThread (VelmoraAudioProcessor& p) : processor (p), thread ([this] { run(); }) {}
    ~HostPrepareThread()
    {
        running.store (false);
        thread.join();
    }

private:
    void run()
    {
        for (int round = 0; running.load(); ++round)
        {
            processor.prepareToPlay (44100.0, round % 2 == 0 ? 128 : 256);
            std::this_thread::sleep_for (std::chrono::milliseconds (1));
            if (round % 8 == 7)
                processor.releaseResources();
        }
    }

    VelmoraAudioProcessor& processor;
    std::atomic<bool> running { true };
    std::thread thread;
};

// Lets the pedal's audio thread run a few of its blocks over the current entries.
void letAudioRun()
{
    std::this_thread::sleep_for (std::chrono::milliseconds (2));
}

TEST (ClientHandOverStressTest, AttachDetachSwitchAndUnplugWhileEveryAudioThreadRuns)
{
    LinkRig rig; // first, so that the processors go before the pedal and the manager
    auto first = makeProcessor(), second = makeProcessor();
    constexpr int rounds = 200;
    int roundsWithPedalAudio = 0;
    AssertionCounter assertions;

    {
        HostAudioThread firstHost (*first), secondHost (*second);

        for (int round = 0; round < rounds; ++round)
        {
            SCOPED_TRACE (round);
            const bool pedalboard = round % 2 != 0;
            const int mode = pedalboard ? modePedalboard : modeAudio;
            const bool split = (round / 2) % 2 == 0;
            const int firstChannel = split ? channelMonoLeft : channelStereo;
            const int secondChannel = split ? channelMonoRight : channelStereo;
            const int firstLeg = pedalboard ? pedalboardIn : pedalboardNone;
            const int secondLeg = pedalboard ? pedalboardOut : pedalboardNone;

            // Every third round the first instance's host prepares again meanwhile.
            std::optional<HostPrepareThread> preparing;
            if (round % 3 == 0)
                preparing.emplace (*first);

            first->setUsbDevice (pedalName, mode, firstChannel, firstLeg);
            rig.drain();
            ASSERT_NE (first->getUsbClient(), nullptr);
            auto* audio = rig.driver().getAudioDevice();
            roundsWithPedalAudio += audio != nullptr && audio->isPlaying() ? 1 : 0;
            letAudioRun();

            second->setUsbDevice (pedalName, mode, secondChannel, secondLeg);
            rig.drain();
            ASSERT_NE (second->getUsbClient(), nullptr);
            letAudioRun();

            // The second instance switches between mono and stereo under the running audio.
            second->setUsbDevice (pedalName, mode, split ? channelStereo : channelMonoRight, secondLeg);
            letAudioRun();
            rig.getManager().getRetiredObjects().releaseSafeObjects();

            switch (round % 4)
            {
                case 0:
                    second->disconnectUsbClient();
                    letAudioRun();
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
                    letAudioRun();
                    rig.unplugAndScan();
                    EXPECT_EQ (second->getUsbClient(), nullptr);
                    rig.plugInAndScan();
                    break;

                default:
                    // The link drops under the clients, then the pedal goes.
                    ASSERT_TRUE (rig.pedal.sendModeOff());
                    rig.drain();
                    EXPECT_EQ (first->getUsbClient(), nullptr);
                    EXPECT_EQ (second->getUsbClient(), nullptr);
                    rig.unplugAndScan();
                    rig.plugInAndScan();
                    break;
            }

            ASSERT_NE (rig.findDevice(), nullptr);
            rig.getManager().getRetiredObjects().releaseSafeObjects();
        }

        const auto blocksBefore = firstHost.blocks.load() + secondHost.blocks.load();
        letAudioRun();
        firstHost.stop();
        secondHost.stop();

        EXPECT_GT (blocksBefore, (long) rounds);
        EXPECT_LT (firstHost.longestMicroseconds.load(), 250000L);
        EXPECT_LT (secondHost.longestMicroseconds.load(), 250000L);
    }

    EXPECT_EQ (roundsWithPedalAudio, rounds);
    EXPECT_EQ (assertions.count.load(), 0);
    EXPECT_EQ (first->getDevice(), nullptr);
    EXPECT_EQ (second->getDevice(), nullptr);
    EXPECT_TRUE (rig.releaseRetired());
}
} // namespace
