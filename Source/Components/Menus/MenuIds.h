#pragma once

#include "Devices/DeviceModes.h"

#include <optional>

// The item ids of the settings menu and the device menu. A device entry
// carries the pedal's position in the menu's name list, the use and the
// channel setting: 1000 + 100k + 10m + c, or 5030 + 100k + c for the
// Pedalboard OUT leg.
enum MenuId
{
    MENU_ID_NONE = 0,
    MENU_ID_CHANNEL_BASE = 1000,
    MENU_ID_DEVICE_STEP = 100,
    MENU_ID_DEVICE_NAME = 2001,
    MENU_ID_FIRMWARE_VERSION = 2002,
    MENU_ID_SERIAL_NUMBER = 2003,
    MENU_ID_RESET_PRESETS = 2004,
    MENU_ID_RESET_FIRMWARE = 2005,
    MENU_ID_UPDATE_FIRMWARE = 2006,
    MENU_ID_DEVICE_OPTIONS = 2007,
    MENU_ID_SOFTWARE_VERSION = 3000,
    MENU_ID_UPDATE_PLUGIN = 3001,
    MENU_ID_SETUP_BASE = 4000,
    MENU_ID_PEDALBOARD_OUT_BASE = 5030,
    MENU_ID_DISCONNECT = 7777,
    MENU_ID_SEPARATOR = 9999
};

// The entries of one pedal's block in the device menu.
enum MENU_DEVICE_OPTIONS
{
    AUDIO_STEREO = 1,
    AUDIO_MONO_L = 2,
    AUDIO_MONO_R = 3,
    CONTROL_STEREO = 5,
    CONTROL_MONO_L = 6,
    CONTROL_MONO_R = 7,
    PEDALBOARD_IN_STEREO = 11,
    PEDALBOARD_IN_MONO_L = 12,
    PEDALBOARD_IN_MONO_R = 13,
    PEDALBOARD_OUT_STEREO = 14,
    PEDALBOARD_OUT_MONO_L = 15,
    PEDALBOARD_OUT_MONO_R = 16
};

enum SUBMENU_OPTIONS
{
    SUBMENU_AUDIO = 0,
    SUBMENU_CONTROL = 1,
    SUBMENU_PEDALBOARD = 2,
    SUBMENU_PEDALBOARD_IN = 3
};

namespace MenuIds
{
// The scheme holds ten pedals; later ones get no entries that decode.
constexpr int maximumPedals = 10;

constexpr int deviceEntry (int pedal, Mode mode, ChannelSetting channel) noexcept
{
    return MENU_ID_CHANNEL_BASE + MENU_ID_DEVICE_STEP * pedal + 10 * toInt (mode) + toInt (channel);
}

constexpr int pedalboardOutEntry (int pedal, ChannelSetting channel) noexcept
{
    return MENU_ID_PEDALBOARD_OUT_BASE + MENU_ID_DEVICE_STEP * pedal + toInt (channel);
}

// A chosen device entry: pedal position, use, channel setting and pedalboard leg.
struct DeviceChoice
{
    int pedal = 0;
    Mode mode = Mode::none;
    ChannelSetting channel = ChannelSetting::stereo;
    PedalModeConfig leg = PedalModeConfig::none;
};

// The device entry behind a menu result; none for every other result and for
// numbers that no entry carries (a use or channel out of range).
std::optional<DeviceChoice> decodeDeviceChoice (int result) noexcept;

// The pedal position of a set-up entry (4000 + 100k), or none.
std::optional<int> decodeSetupChoice (int result) noexcept;
} // namespace MenuIds
