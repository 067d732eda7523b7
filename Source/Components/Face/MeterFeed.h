#pragma once

#include <utility>

class UsbDeviceClient;

namespace MeterFeed
{
// The peaks for the face's meters since the last call, taken from the client's
// peak detector (each reset to -1, "nothing new"). Without a client the meters
// get silence; in mono the left peak feeds both meters.
std::pair<float, float> takePeaks (UsbDeviceClient* client, int channelSetting);
} // namespace MeterFeed
