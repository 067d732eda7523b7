#include "Support/LinkRig.h"
#include "Support/Waiting.h"

#include <gtest/gtest.h>
#include <atomic>
#include <thread>

// Clients attached, switched, detached and their pedal unplugged while the
// host's audio thread streams through them and the pedal's device thread calls
// back on its own: real threads, for ThreadSanitizer and AddressSanitizer.
namespace
{
constexpr int hostBlock = 256;

// The host's audio thread: each client published to it gets a block about
// every millisecond, inside a guard, as the processor's block processing does.
class HostThread
{
public:
    HostThread() : thread ([this] { run(); }) {}
    ~HostThread() { stop(); }

    void stop()
    {
        running.store (false);
        if (thread.joinable())
            thread.join();
    }

    std::atomic<UsbDeviceClient*> clients[2] {};
    std::atomic<long> streamedBlocks { 0 };

private:
    void run()
    {
        juce::AudioBuffer<float> block (2, hostBlock);

        while (running.load())
        {
            {
                const AudioThreadGuard::Scope inBlock (guard);

                for (auto& published : clients)
                {
                    if (auto* client = published.load())
                    {
                        for (int c = 0; c < 2; ++c)
                            juce::FloatVectorOperations::fill (block.getWritePointer (c), 0.25f, hostBlock);

                        client->getNextAudioBlock (juce::AudioSourceChannelInfo (block));
                        if (client->getAudioSource().getStreamingState() == AudioIODeviceSource::streaming)
                            streamedBlocks.fetch_add (1);
                    }
                }
            }

            std::this_thread::sleep_for (std::chrono::milliseconds (1));
        }
    }

    AudioThreadGuard guard;
    std::atomic<bool> running { true };
    std::thread thread;
};

// Clears what the host thread uses of a pedal the manager removes, before it is retired.
struct Unpublisher : UsbBaseDeviceManager<UsbDevice>::Listener
{
    explicit Unpublisher (HostThread& h) : host (h) {}

    void deviceRemoved (UsbDevice*) override
    {
        for (auto& published : host.clients)
            published.store (nullptr);
    }

    HostThread& host;
};

void letRun (LinkRig& rig, int milliseconds)
{
    rig.drain();
    juce::MessageManager::getInstance()->runDispatchLoopUntil (milliseconds);
}

TEST (AudioStress, AttachSwitchDetachAndUnplugWhileBothAudioThreadsRun)
{
    LinkRig rig;
    HostThread host;
    Unpublisher unpublisher (host);
    rig.getManager().addListener (&unpublisher);
    constexpr int rounds = 60;

    for (int round = 0; round < rounds; ++round)
    {
        SCOPED_TRACE (round);
        const bool pedalboard = round % 3 == 2;
        const Mode mode = pedalboard ? Mode::pedalboard : Mode::audio;
        const bool split = round % 2 == 0;

        auto& device = rig.device();
        auto& driver = device.getDriver();
        driver.setSampleRate (48000);

        UsbDeviceClient* attached[2] {};
        const auto streamedBefore = host.streamedBlocks.load();
        for (int i = 0; i < 2; ++i)
        {
            if (! driver.isAudioDeviceOpen())
                driver.connect (mode);

            const ChannelSetting sides[] = { ChannelSetting::monoLeft, ChannelSetting::monoRight };
            const PedalModeConfig legs[] = { PedalModeConfig::in, PedalModeConfig::out };
            attached[i] = device.addClient (split ? sides[i] : ChannelSetting::stereo, pedalboard ? legs[i] : PedalModeConfig::none);
            attached[i]->setPedalboardLeg (pedalboard ? legs[i] : PedalModeConfig::none);
            attached[i]->getAudioSource().prepareToPlay (hostBlock, 48000.0);
            host.clients[i].store (attached[i]);
            letRun (rig, 15);
        }

        // A channel switch and a change of the pedal's settings under running audio.
        ASSERT_TRUE (waitUntil ("audio streaming through this round's clients",
                                [&] { return host.streamedBlocks.load() > streamedBefore; },
                                patience, [&rig] { letRun (rig, 5); }));
        device.getController().setChannel (attached[1], split ? ChannelSetting::stereo : ChannelSetting::monoRight);
        driver.getSettings().outAdjust.setValue (round % 3, nullptr);
        letRun (rig, 15);

        switch (round % 3)
        {
            case 0: // detach one after the other; the last closes the link
                for (int i = 0; i < 2; ++i)
                {
                    host.clients[i].store (nullptr);
                    device.removeClient (attached[i]);
                    letRun (rig, 3);
                }
                driver.disconnect();
                break;

            case 1: // unplugged under both: the scan removes the pedal with its clients
                rig.unplugAndScan();
                rig.plugInAndScan();
                break;

            default: // the second detaches, then the pedal goes
                host.clients[1].store (nullptr);
                device.removeClient (attached[1]);
                letRun (rig, 3);
                rig.unplugAndScan();
                rig.plugInAndScan();
                break;
        }

        ASSERT_NE (rig.findDevice(), nullptr);
        rig.getManager().getRetiredObjects().releaseSafeObjects();
    }

    host.stop();
    rig.getManager().removeListener (&unpublisher);
    EXPECT_GT (host.streamedBlocks.load(), (long) rounds);
    EXPECT_TRUE (rig.releaseRetired());
}
} // namespace
