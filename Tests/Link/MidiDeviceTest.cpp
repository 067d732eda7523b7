#include "Support/LinkRig.h"

#include <gtest/gtest.h>
#include <cstdio>
#include <fcntl.h>
#include <unistd.h>

// A MidiDevice over raw virtual ports: the test plays the far end itself.
namespace
{
// Message i as a controller event, so its index can be read back.
juce::MidiMessage numbered (int i)
{
    return juce::MidiMessage::controllerEvent (1, (i >> 7) & 0x7F, i & 0x7F);
}

std::vector<int> indicesOf (const std::vector<Bytes>& messages)
{
    std::vector<int> indices;
    for (auto& m : messages)
        indices.push_back (m.size() == 3 ? (m[1] << 7) | m[2] : -1);
    return indices;
}

class MidiDeviceTest : public ::testing::Test
{
protected:
    MidiDeviceTest()
    {
        source = rig.ports.publishInput ("Raw Source");
        destination = rig.ports.publishOutput ("Raw Destination", [this] (const juce::MidiMessage& m) { written.push_back (bytesOf (m)); });
    }

    juce::MidiDeviceInfo input() const { return { "Raw Source", source }; }
    juce::MidiDeviceInfo output() const { return { "Raw Destination", destination }; }

    void send (int first, int count)
    {
        for (int i = first; i < first + count; ++i)
            ASSERT_TRUE (rig.ports.sendToPlugin (source, numbered (i))) << i;
    }

    void drain (MidiDevice& device)
    {
        EXPECT_TRUE (rig.ports.flush());
        device.deliverWaitingMessages();
    }

    LinkRig rig;
    juce::String source, destination;
    std::vector<Bytes> written; // on the writer's thread, which is this one
};

TEST_F (MidiDeviceTest, EachPortSetUpOpensWhatItFindsAndOnlyAnOpenOutputSends)
{
    const juce::MidiDeviceInfo missing ("Gone", "virtual-none");
    const struct { const char* what; bool input, output; int opens; bool inputOpen, outputOpen; } cases[] = {
        { "both ports, opened twice", true, true, 2, true, true },
        { "no input port", false, true, 1, false, true },
        { "no output port", true, false, 1, true, false },
        { "never opened", true, true, 0, false, false },
    };

    for (const auto& c : cases)
    {
        SCOPED_TRACE (c.what);
        written.clear();
        MidiDevice device (c.input ? input() : missing, c.output ? output() : missing);
        CallLog log;
        device.addListener (&log);

        for (int i = 0; i < c.opens; ++i)
            device.open();

        EXPECT_EQ (device.isInputOpen(), c.inputOpen);
        EXPECT_EQ (device.isOutputOpen(), c.outputOpen);
        EXPECT_EQ (rig.ports.getNumStartedInputs (source), c.inputOpen ? 1 : 0);

        // Each message arrives once and goes out once, or not at all.
        EXPECT_EQ (rig.ports.sendToPlugin (source, numbered (7)), c.inputOpen);
        drain (device);
        EXPECT_EQ (indicesOf (log.messages), c.inputOpen ? std::vector<int> { 7 } : std::vector<int> {});
        device.sendMessageNow (numbered (8));
        EXPECT_EQ (written, c.outputOpen ? std::vector<Bytes> { bytesOf (numbered (8)) } : std::vector<Bytes> {});

        device.close();
        EXPECT_FALSE (device.isInputOpen() || device.isOutputOpen());
        device.sendMessageNow (numbered (9));
        EXPECT_EQ (written.size(), c.outputOpen ? 1u : 0u);
    }
}

// A listener that leaves the list during a call makes no other miss a message,
// and none is called twice; the order stays first added first.
TEST_F (MidiDeviceTest, ListenersGetEveryMessageInOrderWhileOneLeavesTheList)
{
    const struct { const char* what; int leaving, removedBy; std::vector<const char*> expected; } cases[] = {
        { "the middle one removes itself", 1, 1, { "a0", "b0", "c0", "a1", "c1" } },
        { "the first removes the middle one", 1, 0, { "a0", "c0", "a1", "c1" } },
        { "the last removes the first", 0, 2, { "a0", "b0", "c0", "b1", "c1" } },
    };

    for (const auto& c : cases)
    {
        SCOPED_TRACE (c.what);
        CallLog::Lines lines;
        CallLog logs[] = { { lines, "a" }, { lines, "b" }, { lines, "c" } };
        MidiDevice device (input(), output());

        for (auto& log : logs)
            device.addListener (&log);
        device.addListener (&logs[0]); // already there: still called once

        logs[c.removedBy].onCall = [&device, leaving = &logs[c.leaving]] { device.removeListener (leaving); };

        device.open();
        ASSERT_NO_FATAL_FAILURE (send (0, 2));
        drain (device);

        std::vector<std::string> expected;
        for (auto* call : c.expected)
            expected.push_back (call[0] + ("midi " + juce::String::toHexString (numbered (call[1] - '0').getRawData(), 3)).toStdString());

        EXPECT_EQ (lines, expected);
    }
}

TEST_F (MidiDeviceTest, MessagesQueuedBeforeCloseStillArrive)
{
    MidiDevice device (input(), output());
    CallLog log;
    device.addListener (&log);
    device.open();

    ASSERT_NO_FATAL_FAILURE (send (0, 5));
    ASSERT_TRUE (rig.ports.flush());
    device.close();
    EXPECT_EQ (rig.ports.getNumStartedInputs (source), 0);

    device.deliverWaitingMessages();
    EXPECT_EQ (indicesOf (log.messages), (std::vector<int> { 0, 1, 2, 3, 4 }));
    EXPECT_FALSE (rig.ports.sendToPlugin (source, numbered (5)));
}

} // namespace

// Where the platform has no MIDI at all (no ALSA sequencer), listing and opening
// ports finds nothing and says nothing: scans run twice a second.
TEST (PlatformMidiPorts, ListingWithoutASequencerPrintsNothing)
{
    ASSERT_EQ (dynamic_cast<VirtualMidiPorts*> (&MidiPorts::system()), nullptr); // the platform's own

    auto errors = juce::File::createTempFile ("stderr");
    std::fflush (stderr);
    const int saved = dup (2);
    const int captured = open (errors.getFullPathName().toRawUTF8(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    dup2 (captured, 2);

    auto& ports = MidiPorts::system();
    for (int scan = 0; scan < 3; ++scan)
    {
        ports.getInputs();
        ports.getOutputs();
    }

    std::fflush (stderr);
    dup2 (saved, 2);
    close (captured);
    close (saved);

    EXPECT_EQ (errors.loadFileAsString(), juce::String());
    errors.deleteFile();
}
