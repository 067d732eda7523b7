#pragma once

#include "Devices/DeviceModes.h"
#include "Devices/UsbDeviceClient.h"
#include "Utilities/RetiredObjects.h"

#include <atomic>
#include <memory>
#include <vector>

class UsbDeviceDriver;

// One attached client as the pedal records it.
struct ClientEntry
{
    UsbDeviceClient* client = nullptr;
    int channel = channelStereo;   // ChannelSetting
    int leg = pedalboardNone;      // PedalModeConfig
};

// Which clients use a pedal, on which channels and legs. The entries change on
// the message thread and are walked by the pedal's audio thread: every change
// publishes a new list, and the old one is retired until that thread has moved on.
class UsbDeviceController
{
public:
    using Entries = std::vector<ClientEntry>;

    UsbDeviceController (UsbDeviceDriver& driver, RetiredObjects& retired);
    ~UsbDeviceController();

    void addClient (UsbDeviceClient* client, int channel, int leg);
    void removeClient (UsbDeviceClient* client);
    void setChannel (UsbDeviceClient* client, int channel);

    // Message thread: the current entries, in attach order; the first is primary.
    const Entries& getEntries() const noexcept { return *entries.load(); }

    // Pedal audio thread, inside the driver's audio guard. Loads and swaps are
    // sequentially consistent: the guard's counters and this pointer must agree.
    const Entries& getEntriesForAudio() const noexcept { return *entries.load(); }

    UsbDeviceDriver& getDriver() const noexcept { return driver; }

    std::atomic<int> split { 0 };
    uint8_t inMask = 0;
    uint8_t outMask = 0;

    static constexpr int maximumClients = 5;

private:
    void publish (std::unique_ptr<Entries> next);

    UsbDeviceDriver& driver;
    RetiredObjects& retired;
    std::atomic<const Entries*> entries;

    JUCE_DECLARE_NON_COPYABLE (UsbDeviceController)
};
