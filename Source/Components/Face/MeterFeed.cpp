#include "Components/Face/MeterFeed.h"

#include "Devices/DeviceModes.h"
#include "Devices/UsbDeviceClient.h"

namespace MeterFeed
{
std::pair<float, float> takePeaks (UsbDeviceClient* client, int channelSetting)
{
    if (client == nullptr)
        return { 0.0f, 0.0f };

    auto& detector = client->getPeakDetector();
    return channelSetting == channelStereo ? detector.readStereo() : detector.readMono();
}
} // namespace MeterFeed
