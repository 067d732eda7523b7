#include "Devices/Audio/BridgeCalibration.h"

#include <utility>

bool BridgeCalibration::isOver() const noexcept
{
    const int s = detector.getState();
    return s == AudioLatencyDetector::detected || s == AudioLatencyDetector::timedOut;
}

void BridgeCalibration::deliver()
{
    const auto result = detector.takeResult();

    if (auto callback = std::exchange (done, nullptr))
        callback (result);
}

void BridgeCalibration::cancel()
{
    detector.cancel();
    done = nullptr;
}
