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
    ChannelSetting channel = ChannelSetting::stereo;
    PedalModeConfig leg = PedalModeConfig::none;
    uint32_t chosen = 0; // when its channel setting was last chosen, in attach and change order
};

// Which clients use a pedal, on which channels and legs. The entries change on
// the message thread and are walked by the pedal's audio thread: every change
// publishes a new list, and the old one is retired until that thread has moved on.
// Which channels each pedalboard leg has in use follows from the entries (the
// device menu's rules work it out). It only records: the pedal's driver decides what the entries mean for its audio.
class UsbDeviceController
{
public:
    using Entries = std::vector<ClientEntry>;

    UsbDeviceController (UsbDeviceDriver& driver, RetiredObjects& retired);
    ~UsbDeviceController();

    void addClient (UsbDeviceClient* client, ChannelSetting channel, PedalModeConfig leg);
    void removeClient (UsbDeviceClient* client);
    void setChannel (UsbDeviceClient* client, ChannelSetting channel);

    // Message thread: the current entries, in attach order; the first is primary.
    const Entries& getEntries() const noexcept { return *entries.load(); }
    UsbDeviceClient* getPrimaryClient() const noexcept;

    // Pedal audio thread, inside the driver's audio guard. Loads and swaps are
    // sequentially consistent: the guard's counters and this pointer must agree.
    const Entries& getEntriesForAudio() const noexcept { return *entries.load(); }

    UsbDeviceDriver& getDriver() const noexcept { return driver; }

    // Whether the channel setting chosen last among the attached clients is
    // mono: the pedal's two channels then go one to a client. Safe on any thread.
    bool isSplit() const noexcept { return split.load() != 0; }

    static constexpr int maximumClients = 5;

private:
    void publish (std::unique_ptr<Entries> next);
    void updateSplit (const Entries& list) noexcept;

    UsbDeviceDriver& driver;
    RetiredObjects& retired;
    std::atomic<const Entries*> entries;
    std::atomic<int> split { 0 };
    uint32_t choices = 0;

    JUCE_DECLARE_NON_COPYABLE (UsbDeviceController)
};
