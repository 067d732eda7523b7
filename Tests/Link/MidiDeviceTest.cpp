#include "Devices/Midi/MidiDevice.h"
#include "Devices/Midi/SysexMessage.h"
#include "Emulation/EmulatedPedal.h"
#include "Devices/Midi/MidiQueue.h"

#include "Support/LinkSupport.h"

#include <gtest/gtest.h>
#include <atomic>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace
{
const juce::String rawInName ("Raw Source");
const juce::String rawOutName ("Raw Destination");
constexpr int queueLimit = MidiQueue::capacity - 1; // one fifo slot stays free

// Message i as a controller event, so its index can be read back.
juce::MidiMessage numbered (int i)
{
    return juce::MidiMessage::controllerEvent (1, (i >> 7) & 0x7F, i & 0x7F);
}

int indexOf (const Bytes& bytes)
{
    return bytes.size() == 3 ? (bytes[1] << 7) | bytes[2] : -1;
}

// Appends "<tag>:<index>" per delivery to a log shared by several listeners.
struct TaggedListener final : MidiDevice::Listener
{
    TaggedListener (std::vector<std::string>& logToUse, std::string tagToUse) : log (logToUse), tag (std::move (tagToUse)) {}

    void incomingMidiMessage (MidiDevice*, const juce::MidiMessage& message) override
    {
        log.push_back (tag + ":" + std::to_string (indexOf (bytesOf (message))));
        onMessageThread = onMessageThread && juce::MessageManager::getInstance()->isThisTheMessageThread();
    }

    std::vector<std::string>& log;
    std::string tag;
    bool onMessageThread = true;
};

struct Collector final : MidiDevice::Listener
{
    void incomingMidiMessage (MidiDevice*, const juce::MidiMessage& message) override { messages.push_back (bytesOf (message)); }
    std::vector<Bytes> messages;
};

// Records which thread the input callback runs on before queueing as usual.
class ThreadRecordingMidiDevice final : public MidiDevice
{
public:
    using MidiDevice::MidiDevice;

    // Stops the input before this class's members go.
    ~ThreadRecordingMidiDevice() override { close(); }

    void handleIncomingMidiMessage (juce::MidiInput* source, const juce::MidiMessage& message) override
    {
        {
            const std::lock_guard<std::mutex> lock (mutex);
            threads.push_back (std::this_thread::get_id());
        }
        calledOnMessageThread = calledOnMessageThread || juce::MessageManager::getInstance()->isThisTheMessageThread();
        MidiDevice::handleIncomingMidiMessage (source, message);
    }

    std::vector<std::thread::id> getThreads() const
    {
        const std::lock_guard<std::mutex> lock (mutex);
        return threads;
    }

    std::atomic<bool> calledOnMessageThread { false };

private:
    mutable std::mutex mutex;
    std::vector<std::thread::id> threads;
};

//==============================================================================
// A MidiDevice over raw virtual ports: the test plays the far end itself.
class MidiDeviceTest : public ::testing::Test
{
protected:
    MidiDeviceTest()
    {
        ports.install();
        sourceId = ports.publishInput (rawInName);
        destinationId = ports.publishOutput (rawOutName, [this] (const juce::MidiMessage& m) { written.push_back (bytesOf (m)); });
        inputInfo = findPort (MidiPorts::system().getInputs(), rawInName);
        outputInfo = findPort (MidiPorts::system().getOutputs(), rawOutName);
    }

    ~MidiDeviceTest() override { ports.uninstall(); }

    void sendNumbered (int first, int count)
    {
        for (int i = first; i < first + count; ++i)
            ASSERT_TRUE (ports.sendToPlugin (sourceId, numbered (i))) << i;
    }

    void drain (MidiDevice& device)
    {
        EXPECT_TRUE (ports.flush());
        device.deliverWaitingMessages();
    }

    std::vector<int> indices() const
    {
        std::vector<int> result;
        for (auto& m : collector.messages)
            result.push_back (indexOf (m));
        return result;
    }

    VirtualMidiPorts ports;
    juce::String sourceId, destinationId;
    juce::MidiDeviceInfo inputInfo, outputInfo;
    std::vector<Bytes> written; // on the writer's thread, which is this one
    Collector collector;
};

TEST_F (MidiDeviceTest, AFullQueueLosesTheNextMessageAndDeliversTheRestInOrder)
{
    MidiDevice device (inputInfo, outputInfo);
    device.addListener (&collector);
    device.open();

    sendNumbered (0, queueLimit);
    ASSERT_TRUE (ports.flush());
    sendNumbered (queueLimit, 1);
    drain (device);

    ASSERT_EQ ((int) collector.messages.size(), queueLimit);
    const auto received = indices();
    for (int i = 0; i < queueLimit; ++i)
        ASSERT_EQ (received[(size_t) i], i);

    // The drained queue takes messages again: the newest was lost, not the oldest.
    collector.messages.clear();
    sendNumbered (9000, 1);
    drain (device);
    EXPECT_EQ (indices(), std::vector<int> { 9000 });
}

TEST_F (MidiDeviceTest, ABurstReachesEveryListenerOnceInArrivalOrderWithinOneDrain)
{
    std::vector<std::string> log;
    TaggedListener first (log, "a"), second (log, "b"), removed (log, "x");
    MidiDevice device (inputInfo, outputInfo);
    device.addListener (&first);
    device.addListener (&removed);
    device.addListener (&second);
    device.addListener (&first); // already there: still called once
    device.removeListener (&removed);
    device.open();

    sendNumbered (0, 100);
    drain (device);

    std::vector<std::string> expected;
    for (int i = 0; i < 100; ++i)
    {
        expected.push_back ("a:" + std::to_string (i));
        expected.push_back ("b:" + std::to_string (i));
    }

    EXPECT_EQ (log, expected);
    EXPECT_TRUE (first.onMessageThread);
    EXPECT_TRUE (second.onMessageThread);

    log.clear();
    device.deliverWaitingMessages();
    EXPECT_TRUE (log.empty());
}

TEST_F (MidiDeviceTest, MessagesQueuedBeforeCloseStillArrive)
{
    MidiDevice device (inputInfo, outputInfo);
    device.addListener (&collector);
    device.open();

    sendNumbered (0, 5);
    ASSERT_TRUE (ports.flush());
    device.close();

    EXPECT_FALSE (device.isInputOpen());
    EXPECT_FALSE (device.isOutputOpen());
    EXPECT_EQ (ports.getNumStartedInputs (sourceId), 0);

    device.deliverWaitingMessages();
    EXPECT_EQ (indices(), (std::vector<int> { 0, 1, 2, 3, 4 }));

    // A closed input takes nothing more.
    EXPECT_FALSE (ports.sendToPlugin (sourceId, numbered (5)));
}

TEST_F (MidiDeviceTest, AMissingPortLeavesOnlyTheOtherOpen)
{
    MidiDevice noInput ({}, outputInfo);
    noInput.open();
    EXPECT_FALSE (noInput.isInputOpen());
    EXPECT_TRUE (noInput.isOutputOpen());
    EXPECT_EQ (ports.getNumStartedInputs (sourceId), 0);
    noInput.sendMessageNow (numbered (3));
    EXPECT_EQ (written, (std::vector<Bytes> { bytesOf (numbered (3)) }));
    noInput.close();

    written.clear();
    MidiDevice noOutput (inputInfo, {});
    noOutput.addListener (&collector);
    noOutput.open();
    EXPECT_TRUE (noOutput.isInputOpen());
    EXPECT_FALSE (noOutput.isOutputOpen());
    EXPECT_EQ (ports.getNumStartedInputs (sourceId), 1);
    noOutput.sendMessageNow (numbered (3));
    EXPECT_TRUE (written.empty());
    sendNumbered (4, 1);
    drain (noOutput);
    EXPECT_EQ (indices(), std::vector<int> { 4 });

    const juce::MidiDeviceInfo missing ("Gone", "virtual-none");
    MidiDevice unknown (missing, missing);
    unknown.open();
    EXPECT_FALSE (unknown.isInputOpen());
    EXPECT_FALSE (unknown.isOutputOpen());
}

TEST_F (MidiDeviceTest, OpeningTwiceStartsOneInputAndOnlyAnOpenOutputSends)
{
    MidiDevice device (inputInfo, outputInfo);
    device.addListener (&collector);

    device.sendMessageNow (numbered (1)); // never opened
    EXPECT_TRUE (written.empty());

    device.open();
    device.open();
    EXPECT_EQ (ports.getNumStartedInputs (sourceId), 1);
    EXPECT_TRUE (device.isInputOpen());
    EXPECT_TRUE (device.isOutputOpen());

    // Each message still arrives once, and goes out once.
    sendNumbered (0, 3);
    drain (device);
    EXPECT_EQ (indices(), (std::vector<int> { 0, 1, 2 }));
    device.sendMessageNow (numbered (2));
    EXPECT_EQ (written, (std::vector<Bytes> { bytesOf (numbered (2)) }));

    device.close();
    device.sendMessageNow (numbered (3));
    EXPECT_EQ (written.size(), 1u);
}

TEST_F (MidiDeviceTest, TheInputCallbackRunsOffTheMessageThread)
{
    ThreadRecordingMidiDevice device (inputInfo, outputInfo);
    device.addListener (&collector);
    device.open();

    sendNumbered (0, 3);
    drain (device);

    const auto threads = device.getThreads();
    ASSERT_EQ (threads.size(), 3u);
    for (auto& id : threads)
        EXPECT_NE (id, std::this_thread::get_id());

    EXPECT_FALSE (device.calledOnMessageThread);
    EXPECT_EQ (indices(), (std::vector<int> { 0, 1, 2 }));
}

//==============================================================================
// The same device over the emulated pedal's ports.
class MidiDevicePedalTest : public ::testing::Test
{
protected:
    MidiDevicePedalTest()
    {
        ports.install();
        audioTypes.install();
        pedal.plugIn();
        device = std::make_unique<MidiDevice> (findPort (MidiPorts::system().getInputs(), pedal.getName()),
                                               findPort (MidiPorts::system().getOutputs(), pedal.getName()));
        device->addListener (&collector);
    }

    ~MidiDevicePedalTest() override { device.reset(); }

    VirtualMidiPorts ports;
    VirtualAudioDeviceTypes audioTypes;
    EmulatedPedal pedal { ports, audioTypes, "QZR-7C7C", 0x2A };
    Collector collector;
    std::unique_ptr<MidiDevice> device;
};

TEST_F (MidiDevicePedalTest, ARequestAndItsAnswersArriveInOrder)
{
    device->open();
    device->sendMessageNow (Sysex::buildFrame (0x2A, Sysex::SystemGroup, 0, Sysex::ModeControl, nullptr, 0));
    device->sendMessageNow (Sysex::buildFrame (0x2A, Sysex::SystemGroup, 0, Sysex::KeepAlive, nullptr, 0));

    ASSERT_TRUE (ports.flush());
    device->deliverWaitingMessages();

    ASSERT_EQ (collector.messages.size(), 3u);
    auto parse = [this] (size_t i) { return SysexMessage::parse (collector.messages[i].data(), (int) collector.messages[i].size()); };
    EXPECT_EQ (parse (0).command, Sysex::Announce);
    EXPECT_EQ (parse (1).command, Sysex::ModeControl);
    EXPECT_EQ (parse (2).group, Sysex::DisplayGroup);
    EXPECT_EQ (pedal.getMode(), modeControl);
}
} // namespace
