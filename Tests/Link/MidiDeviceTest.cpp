#include "Devices/MidiDevice.h"
#include "Devices/SysexMessage.h"
#include "EmulatedPedal.h"
#include "Utilities/MidiQueue.h"

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
TEST (MidiQueueTest, HoldsAtMostCapacityLessOneAndDropsTheNewest)
{
    MidiQueue queue;

    for (int i = 0; i < queueLimit; ++i)
        ASSERT_TRUE (queue.write (numbered (i))) << i;

    EXPECT_EQ (queue.getNumWaiting(), queueLimit);
    EXPECT_FALSE (queue.write (numbered (queueLimit)));
    EXPECT_EQ (queue.getNumWaiting(), queueLimit);

    juce::MidiMessage message;
    for (int i = 0; i < queueLimit; ++i)
    {
        ASSERT_TRUE (queue.read (message));
        ASSERT_EQ (indexOf (bytesOf (message)), i);
    }

    EXPECT_FALSE (queue.read (message));
    EXPECT_TRUE (queue.write (numbered (7)));
    EXPECT_EQ (queue.getNumWaiting(), 1);
}

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

TEST_F (MidiDeviceTest, FindsThePortsByName)
{
    EXPECT_EQ (inputInfo.identifier, sourceId);
    EXPECT_EQ (outputInfo.identifier, destinationId);
}

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

    // The drained queue takes messages again.
    collector.messages.clear();
    sendNumbered (9000, 1);
    drain (device);
    EXPECT_EQ (indices(), std::vector<int> { 9000 });
}

TEST_F (MidiDeviceTest, ABurstReachesEveryListenerOnceInArrivalOrderWithinOneDrain)
{
    std::vector<std::string> log;
    TaggedListener first (log, "a"), second (log, "b");
    MidiDevice device (inputInfo, outputInfo);
    device.addListener (&first);
    device.addListener (&second);
    device.addListener (&first); // already there: still called once
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

TEST_F (MidiDeviceTest, ARemovedListenerHearsNothing)
{
    std::vector<std::string> log;
    TaggedListener first (log, "a"), second (log, "b");
    MidiDevice device (inputInfo, outputInfo);
    device.addListener (&first);
    device.addListener (&second);
    device.removeListener (&first);
    device.open();

    sendNumbered (0, 2);
    drain (device);

    EXPECT_EQ (log, (std::vector<std::string> { "b:0", "b:1" }));
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

TEST_F (MidiDeviceTest, AnEmptyInputIdentifierOpensOnlyTheOutput)
{
    MidiDevice device ({}, outputInfo);
    device.open();

    EXPECT_FALSE (device.isInputOpen());
    EXPECT_TRUE (device.isOutputOpen());
    EXPECT_EQ (ports.getNumStartedInputs (sourceId), 0);

    device.sendMessageNow (numbered (3));
    EXPECT_EQ (written, (std::vector<Bytes> { bytesOf (numbered (3)) }));
}

TEST_F (MidiDeviceTest, AnEmptyOutputIdentifierOpensOnlyTheInput)
{
    MidiDevice device (inputInfo, {});
    device.addListener (&collector);
    device.open();

    EXPECT_TRUE (device.isInputOpen());
    EXPECT_FALSE (device.isOutputOpen());
    EXPECT_EQ (ports.getNumStartedInputs (sourceId), 1);

    device.sendMessageNow (numbered (3));
    EXPECT_TRUE (written.empty());

    sendNumbered (4, 1);
    drain (device);
    EXPECT_EQ (indices(), std::vector<int> { 4 });
}

TEST_F (MidiDeviceTest, AnUnknownPortStaysClosed)
{
    juce::MidiDeviceInfo missing ("Gone", "virtual-none");
    MidiDevice device (missing, missing);
    device.open();

    EXPECT_FALSE (device.isInputOpen());
    EXPECT_FALSE (device.isOutputOpen());
}

TEST_F (MidiDeviceTest, OpeningTwiceLeavesExactlyOneInputStarted)
{
    MidiDevice device (inputInfo, outputInfo);
    device.addListener (&collector);
    device.open();
    device.open();

    EXPECT_EQ (ports.getNumStartedInputs (sourceId), 1);
    EXPECT_TRUE (device.isInputOpen());
    EXPECT_TRUE (device.isOutputOpen());

    // Each message still arrives once.
    sendNumbered (0, 3);
    drain (device);
    EXPECT_EQ (indices(), (std::vector<int> { 0, 1, 2 }));

    device.sendMessageNow (numbered (1));
    EXPECT_EQ (written.size(), 1u);
}

TEST_F (MidiDeviceTest, SendingThroughAClosedOutputDoesNothing)
{
    MidiDevice device (inputInfo, outputInfo);

    device.sendMessageNow (numbered (1)); // never opened
    EXPECT_TRUE (written.empty());

    device.open();
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
    EXPECT_EQ (SysexMessage::parse (collector.messages[0].data(), (int) collector.messages[0].size()).command, Sysex::Announce);
    EXPECT_EQ (SysexMessage::parse (collector.messages[1].data(), (int) collector.messages[1].size()).command, Sysex::ModeControl);
    EXPECT_EQ (SysexMessage::parse (collector.messages[2].data(), (int) collector.messages[2].size()).group, Sysex::DisplayGroup);
    EXPECT_EQ (pedal.getMode(), modeControl);
}

TEST_F (MidiDevicePedalTest, ABurstBeyondTheQueueIsCutButKeptInOrder)
{
    device->open();
    ASSERT_TRUE (ports.flush());
    device->deliverWaitingMessages();
    collector.messages.clear();

    EXPECT_EQ (pedal.sendBurst (queueLimit + 200), queueLimit + 200);
    ASSERT_TRUE (ports.flush());
    device->deliverWaitingMessages();

    ASSERT_FALSE (collector.messages.empty());
    EXPECT_LE ((int) collector.messages.size(), queueLimit);

    int previous = -1;
    for (auto& frame : collector.messages)
    {
        ASSERT_EQ (frame.size(), 12u);
        const auto index = (frame[9] << 7) | frame[10];
        ASSERT_GT (index, previous);
        previous = index;
    }
}
} // namespace
