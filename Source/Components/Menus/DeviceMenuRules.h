#pragma once

#include "Components/Menus/MenuIds.h"

#include <optional>

class UsbDevice;
class UsbDeviceClient;
class UsbDeviceController;

// What the device menu knows of one listed pedal and of this plug-in instance
// when it decides which entries are ticked and which may be chosen.
struct PedalUse
{
    // The pedal: its clients across the process (n), its requested Mode (M), its
    // split flag (S) and the channel masks of its IN and OUT legs (bit 0 left,
    // bit 1 right; outside Pedalboard use the OUT mask copies the IN mask).
    int clients = 0;
    Mode mode = Mode::none;
    bool split = false;
    int inMask = 0;
    int outMask = 0;

    // This instance: whether the pedal is its current one, its channel setting
    // (Ch), its client's leg (Cfg) and the OUT mask of its client's pedal (myOUT).
    bool mine = false;
    std::optional<ChannelSetting> channel;
    PedalModeConfig leg = PedalModeConfig::none;
    int myOutMask = 0;

    // The host's main buses.
    int hostInputs = 2;
    int hostOutputs = 2;

    // Some instance is flashing the pedal: no entry may be chosen until it is back.
    bool flashing = false;

    bool isFree() const noexcept { return clients == 0; }
    bool isOnly() const noexcept { return mine && clients == 1; }

    // The pedal as the menu sees it from an instance with that pedal, client and channel.
    static PedalUse read (UsbDevice& pedal, const UsbDevice* myPedal, const UsbDeviceClient* myClient,
                          std::optional<ChannelSetting> myChannel,
                          int hostInputs, int hostOutputs);
};

namespace DeviceMenuRules
{
// The channel masks of a pedal's legs, from the clients attached to it.
struct ChannelMasks
{
    int in = 0;
    int out = 0;
};

ChannelMasks channelMasks (const UsbDeviceController& controller);

bool isTicked (const PedalUse& use, MENU_DEVICE_OPTIONS option);
bool isClickable (const PedalUse& use, MENU_DEVICE_OPTIONS option);
bool isSubMenuClickable (const PedalUse& use, SUBMENU_OPTIONS submenu);
} // namespace DeviceMenuRules
