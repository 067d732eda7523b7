#include "Components/Face/MeterFeed.h"

#include "Devices/UsbDeviceClient.h"

namespace MeterFeed
{
std::pair<float, float> takePeaks (UsbDeviceClient* client, std::optional<ChannelSetting> channelSetting)
{
    if (client == nullptr)
        return { 0.0f, 0.0f };

    auto& detector = client->getPeakDetector();
    return channelSetting == ChannelSetting::stereo ? detector.readStereo() : detector.readMono();
}
} // namespace MeterFeed
