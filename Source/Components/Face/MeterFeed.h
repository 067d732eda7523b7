#pragma once

#include "Devices/DeviceModes.h"

#include <optional>
#include <utility>

class UsbDeviceClient;

namespace MeterFeed
{
// The peaks for the face's meters since the last call, taken from the client's
// peak detector (each reset to -1, "nothing new"). Without a client the meters
// get silence; in mono, or without a channel setting, the left peak feeds both meters.
std::pair<float, float> takePeaks (UsbDeviceClient* client, std::optional<ChannelSetting> channelSetting);
} // namespace MeterFeed
