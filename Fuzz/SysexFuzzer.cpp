// Feeds arbitrary bytes from a pedal's MIDI input through the queue into the
// protocol driver, as the MIDI thread and the message thread would.
#include "Devices/UsbDeviceDriver.h"
#include "FuzzSupport.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput (const uint8_t* data, size_t size)
{
    initialiseFramework();

    static auto& driver = *new UsbDeviceDriver ("QZR-0001", {}, {});

    // The first byte splits the input into several messages, so sequences
    // (Announce, then mode replies, then anything) are explored too.
    size_t position = 0;
    while (position < size)
    {
        const size_t length = juce::jmin<size_t> (size - position, 1 + data[position] % 64);
        const auto* bytes = data + position;
        position += length;

        if (length == 0)
            break;

        const juce::MidiMessage message (bytes, (int) length);
        driver.getMidiDevice().handleIncomingMidiMessage (nullptr, message);
    }

    driver.getMidiDevice().deliverWaitingMessages();
    driver.timerCallback (UsbDeviceDriver::keepAliveTimerId);
    return 0;
}
