#include "Components/Menus/DeviceMenuRules.h"

#include "Devices/UsbDevice.h"

namespace
{
constexpr int leftBit = 1;
constexpr int rightBit = 2;
constexpr int bothBits = leftBit | rightBit;

bool has (int mask, int bit) noexcept { return (mask & bit) != 0; }

// The use (Audio or Control) of a stereo, left and right entry, or none.
Mode modeOf (MENU_DEVICE_OPTIONS option) noexcept
{
    switch (option)
    {
        case AUDIO_STEREO: case AUDIO_MONO_L: case AUDIO_MONO_R: return Mode::audio;
        case CONTROL_STEREO: case CONTROL_MONO_L: case CONTROL_MONO_R: return Mode::control;
        default: return Mode::none;
    }
}

// Audio and Control: a mono entry is free beside a mono user of the other channel.
bool isFreeBesideMonoUser (const PedalUse& u, Mode mode, int otherBit) noexcept
{
    return u.mode == mode && u.split && has (u.inMask, otherBit);
}

// This instance may pick OUT while some instance holds IN and its own pedal has no OUT in use.
bool outJoinsIn (const PedalUse& u) noexcept
{
    return ! u.mine && u.myOutMask == 0 && u.mode == Mode::pedalboard && u.inMask != 0;
}

// This instance holds the OUT leg of a pedal with exactly two users.
bool holdsOutOfPair (const PedalUse& u) noexcept
{
    return u.mine && u.mode == Mode::pedalboard && u.leg == PedalModeConfig::out && u.clients == 2;
}

bool outBesideMonoOut (const PedalUse& u, int otherBit) noexcept
{
    return ! u.mine && u.mode == Mode::pedalboard && u.split && has (u.outMask, otherBit);
}

// The channels a channel setting takes.
int bitsOf (ChannelSetting channel) noexcept
{
    switch (channel)
    {
        case ChannelSetting::monoLeft:  return leftBit;
        case ChannelSetting::monoRight: return rightBit;
        case ChannelSetting::stereo:    return bothBits;
    }

    return 0;
}
} // namespace

PedalUse PedalUse::read (UsbDevice& pedal, const UsbDevice* myPedal, const UsbDeviceClient* myClient,
                         std::optional<ChannelSetting> myChannel, int hostInputs, int hostOutputs)
{
    PedalUse use;
    auto& controller = pedal.getController();
    const auto masks = DeviceMenuRules::channelMasks (controller);

    use.clients = pedal.getNumClients();
    use.mode = pedal.getDriver().getState();
    use.split = controller.isSplit();
    use.inMask = masks.in;
    use.outMask = masks.out;
    use.mine = myPedal == &pedal;
    use.channel = myChannel;
    use.hostInputs = hostInputs;
    use.hostOutputs = hostOutputs;

    if (myClient != nullptr)
    {
        use.leg = myClient->getPedalboardLeg();
        if (auto* myController = myClient->getController())
            use.myOutMask = DeviceMenuRules::channelMasks (*myController).out;
    }

    return use;
}

namespace DeviceMenuRules
{
// Each attach adds its channels (stereo both, mono one) to its leg's mask; an
// attach without a leg adds them to IN and then OUT becomes a copy of IN.
ChannelMasks channelMasks (const UsbDeviceController& controller)
{
    ChannelMasks masks;

    for (const auto& entry : controller.getEntries())
    {
        const int bits = bitsOf (entry.channel);
        const auto leg = entry.client != nullptr ? entry.client->getPedalboardLeg() : entry.leg;

        if (leg == PedalModeConfig::out)
            masks.out |= bits;
        else if (leg == PedalModeConfig::in)
            masks.in |= bits;
        else
        {
            masks.in |= bits;
            masks.out = masks.in;
        }
    }

    return masks;
}

bool isTicked (const PedalUse& u, MENU_DEVICE_OPTIONS option)
{
    if (! u.mine)
        return false;

    const bool in = u.leg == PedalModeConfig::in;
    const bool out = u.leg == PedalModeConfig::out;
    const bool pedalboard = u.mode == Mode::pedalboard;

    switch (option)
    {
        case AUDIO_STEREO:
        case CONTROL_STEREO:
            return u.mode == modeOf (option) && ! u.split && u.channel == ChannelSetting::stereo;
        case AUDIO_MONO_L:
        case CONTROL_MONO_L:
            return u.mode == modeOf (option) && u.split && has (u.inMask, leftBit) && u.channel == ChannelSetting::monoLeft;
        case AUDIO_MONO_R:
        case CONTROL_MONO_R:
            return u.mode == modeOf (option) && u.split && has (u.inMask, rightBit) && u.channel == ChannelSetting::monoRight;
        case PEDALBOARD_IN_STEREO:  return pedalboard && u.inMask == bothBits && in && u.channel == ChannelSetting::stereo;
        case PEDALBOARD_IN_MONO_L:  return pedalboard && has (u.inMask, leftBit) && in && u.channel == ChannelSetting::monoLeft;
        case PEDALBOARD_IN_MONO_R:  return pedalboard && has (u.inMask, rightBit) && in && u.channel == ChannelSetting::monoRight;
        case PEDALBOARD_OUT_STEREO: return pedalboard && u.outMask == bothBits && out && u.channel == ChannelSetting::stereo;
        case PEDALBOARD_OUT_MONO_L:
            return pedalboard && u.split && has (u.outMask, leftBit) && out && u.channel == ChannelSetting::monoLeft;
        case PEDALBOARD_OUT_MONO_R:
            return pedalboard && u.split && has (u.outMask, rightBit) && out && u.channel == ChannelSetting::monoRight;
    }

    return false;
}

bool isClickable (const PedalUse& u, MENU_DEVICE_OPTIONS option)
{
    if (u.flashing)
        return false;

    const bool ticked = isTicked (u, option);
    const bool freeOrOnly = u.isFree() || u.isOnly();
    const bool stereoIn = u.hostInputs == 2;
    const bool stereoOut = u.hostOutputs == 2;

    // Audio, Control and IN: free or only this instance's; a shared pedal
    // offers this instance its own entry again and others what stays free.
    const auto shared = [&] (bool freeForOthers) { return freeOrOnly || (u.mine ? ticked : freeForOthers); };

    switch (option)
    {
        case AUDIO_STEREO:
        case CONTROL_STEREO:
            return stereoIn && (freeOrOnly || ticked);
        case AUDIO_MONO_L:
        case CONTROL_MONO_L:
            return shared (isFreeBesideMonoUser (u, modeOf (option), rightBit));
        case AUDIO_MONO_R:
        case CONTROL_MONO_R:
            return shared (isFreeBesideMonoUser (u, modeOf (option), leftBit));
        case PEDALBOARD_IN_STEREO:
            return shared (false);
        case PEDALBOARD_IN_MONO_L:
            return shared (u.mode == Mode::pedalboard && has (u.inMask, rightBit) && ! has (u.inMask, leftBit));
        case PEDALBOARD_IN_MONO_R:
            return shared (u.mode == Mode::pedalboard && has (u.inMask, leftBit) && ! has (u.inMask, rightBit));
        case PEDALBOARD_OUT_STEREO:
            return stereoOut && (outJoinsIn (u) || holdsOutOfPair (u) || ticked);
        case PEDALBOARD_OUT_MONO_L:
            return outJoinsIn (u) || holdsOutOfPair (u) || outBesideMonoOut (u, rightBit) || ticked;
        case PEDALBOARD_OUT_MONO_R:
        {
            // Unlike its siblings it does not ask for a held IN channel.
            const bool joins = ! u.mine && u.myOutMask == 0 && u.mode == Mode::pedalboard;
            return joins || holdsOutOfPair (u) || outBesideMonoOut (u, leftBit) || ticked;
        }
    }

    return false;
}

bool isSubMenuClickable (const PedalUse& u, SUBMENU_OPTIONS submenu)
{
    const auto any = [&u] (std::initializer_list<MENU_DEVICE_OPTIONS> options)
    {
        for (auto option : options)
            if (isClickable (u, option))
                return true;
        return false;
    };

    switch (submenu)
    {
        case SUBMENU_AUDIO:   return any ({ AUDIO_STEREO, AUDIO_MONO_L, AUDIO_MONO_R });
        case SUBMENU_CONTROL: return any ({ CONTROL_STEREO, CONTROL_MONO_L, CONTROL_MONO_R });
        case SUBMENU_PEDALBOARD:
            return any ({ PEDALBOARD_IN_STEREO, PEDALBOARD_IN_MONO_L, PEDALBOARD_IN_MONO_R, PEDALBOARD_OUT_STEREO,
                          PEDALBOARD_OUT_MONO_L, PEDALBOARD_OUT_MONO_R });
        case SUBMENU_PEDALBOARD_IN:
            return any ({ PEDALBOARD_IN_STEREO, PEDALBOARD_IN_MONO_L, PEDALBOARD_IN_MONO_R });
    }

    return true;
}
} // namespace DeviceMenuRules
