#include "Components/Menus/MenuIds.h"

namespace MenuIds
{
std::optional<DeviceChoice> decodeDeviceChoice (int result) noexcept
{
    if (result < MENU_ID_CHANNEL_BASE)
        return std::nullopt;

    const int group = result / 1000;
    const int rest = result % 1000;

    if (group != 1 && group != 5)
        return std::nullopt;

    const auto mode = requestableModeFromInt ((rest / 10) % 10);
    const auto channel = channelSettingFromInt (rest % 10);

    if (! mode || ! channel)
        return std::nullopt;

    DeviceChoice choice;
    choice.pedal = rest / 100;
    choice.mode = *mode;
    choice.channel = *channel;

    if (choice.mode == Mode::pedalboard)
        choice.leg = group == 5 ? PedalModeConfig::out : PedalModeConfig::in;
    else if (group == 5)
        return std::nullopt;

    return choice;
}

std::optional<int> decodeSetupChoice (int result) noexcept
{
    if (result < MENU_ID_SETUP_BASE || result >= MENU_ID_SETUP_BASE + 1000)
        return std::nullopt;

    return (result % 1000) / 100;
}
} // namespace MenuIds
