// Feeds arbitrary bytes from a pedal's MIDI input through the queue and the
// protocol driver to an attached client and the processor that listens to it,
// as the MIDI thread and the message thread would. The input is a sequence of
// messages, each a length byte and then that many bytes. Checks that nothing
// longer than the protocol's longest frame gets through the queue and that every
// message is either delivered or counted as dropped.
#include "FuzzSupport.h"
#include "PluginProcessor.h"

#include <cstddef>
#include <cstdint>

namespace
{
struct DeliveryCheck final : MidiDevice::Listener
{
    void incomingMidiMessage (MidiDevice*, const juce::MidiMessage& message) override
    {
        if (message.getRawDataSize() > MidiQueue::slotBytes)
            __builtin_trap();
        ++delivered;
    }

    int delivered = 0;
};
} // namespace

extern "C" int LLVMFuzzerTestOneInput (const uint8_t* data, size_t size)
{
    initialiseFramework();

    static auto& processor = *new VelmoraAudioProcessor();
    static auto& device = *new UsbDevice ("QZR-0001", {}, {}, *new RetiredObjects());
    static auto& check = *new DeliveryCheck();
    static const bool attached = []
    {
        device.addClient (ChannelSetting::stereo, PedalModeConfig::none)->addListener (&processor.getPedalAttachment());
        device.getMidiDevice().addListener (&check);
        return true;
    }();
    juce::ignoreUnused (attached);

    auto& midi = device.getMidiDevice();
    const int droppedBefore = midi.getNumDroppedMessages();
    check.delivered = 0;
    int written = 0;

    for (size_t position = 0; position < size;)
    {
        const size_t length = juce::jmin<size_t> (data[position], size - position - 1);
        const auto* bytes = data + position + 1;
        position += length + 1;

        if (length == 0)
            continue;

        midi.handleIncomingMidiMessage (nullptr, juce::MidiMessage (bytes, (int) length));
        ++written;
    }

    midi.deliverWaitingMessages();

    if (check.delivered + midi.getNumDroppedMessages() - droppedBefore != written)
        __builtin_trap();

    device.getDriver().timerCallback (UsbDeviceDriver::keepAliveTimerId);
    return 0;
}
