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
// Which channels each pedalboard leg has in use follows from the entries.
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

    // Whether the latest attach or channel change asked for one mono channel:
    // the pedal's two channels then go one to a client. Safe on any thread.
    bool isSplit() const noexcept { return split.load() != 0; }

    static constexpr int maximumClients = 5;

private:
    void publish (std::unique_ptr<Entries> next);
    void setSplit (int channel) noexcept { split.store (channel != channelStereo ? 1 : 0); }

    UsbDeviceDriver& driver;
    RetiredObjects& retired;
    std::atomic<const Entries*> entries;
    std::atomic<int> split { 0 };

    JUCE_DECLARE_NON_COPYABLE (UsbDeviceController)
};
