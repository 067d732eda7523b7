#include "Devices/Audio/PedalAudioBridge.h"

#include "Settings/DeviceSettings.h"

PedalAudioBridge::Parameters PedalAudioBridge::Parameters::of (const DeviceSettings& s, double sampleRate, int hostBlock)
{
    return { sampleRate, hostBlock, s.blockSize.get(), s.inAdjust.get(), s.outAdjust.get(), s.extraLatency.get() };
}

bool PedalAudioBridge::Parameters::operator== (const Parameters& o) const noexcept
{
    return sampleRate == o.sampleRate && hostBlock == o.hostBlock && deviceBlock == o.deviceBlock
           && inAdjust == o.inAdjust && outAdjust == o.outAdjust && extraLatency == o.extraLatency;
}
