#pragma once

#include "Components/Menus/DeviceMenuRules.h"

#include <juce_core/juce_core.h>
#include <optional>
#include <vector>

class UsbDevice;
template <typename DeviceType> class UsbBaseDeviceManager;

// What the settings and device menus are built from, read at once when a menu
// opens: the listed pedals as this instance sees them, the pedal it holds and
// whether a bootloader waits. A menu's results refer to the pedals by their
// position in this list.
struct PedalsView
{
    // One listed pedal: its name and what the device menu knows of it.
    struct Pedal
    {
        juce::String name;
        PedalUse use;
    };

    // The pedal this instance holds.
    struct Attached
    {
        juce::String name;
        int firmwareVersion = 0;
        Mode mode = Mode::none;
    };

    // This instance as it reads the pedals.
    struct Instance
    {
        UsbDevice* pedal = nullptr;
        const UsbDeviceClient* client = nullptr;
        std::optional<ChannelSetting> channel;
        int hostInputs = 2;
        int hostOutputs = 2;
        // Its own flash runs, or some instance flashes its pedal.
        bool flashing = false;
    };

    std::vector<Pedal> pedals; // in the manager's order, at most MenuIds::maximumPedals
    std::optional<Attached> attached;
    bool bootloaderListed = false;
    // The held pedal is being flashed, from here or another instance: nothing may be done to it.
    bool attachedFlashing = false;

    // A pedal in its bootloader is offered to an instance without a pedal only.
    bool offersBootloader() const noexcept { return ! attached.has_value() && bootloaderListed; }

    // The listed pedals' names, in the menu's order.
    juce::StringArray getNames() const;

    // The manager's pedals as the instance sees them now.
    static PedalsView read (const UsbBaseDeviceManager<UsbDevice>& manager, bool bootloaderListed, const Instance& instance);
};
