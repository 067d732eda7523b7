#include "Devices/Audio/PedalAudioBridge.h"

#include "Settings/DeviceSettings.h"

const std::array<PedalAudioBridge::Parameters::Steering, 4>& PedalAudioBridge::Parameters::steering()
{
    static const std::array<Steering, 4> list { { { &DeviceSettings::blockSize, &Parameters::deviceBlock },
                                                  { &DeviceSettings::inAdjust, &Parameters::inAdjust },
                                                  { &DeviceSettings::outAdjust, &Parameters::outAdjust },
                                                  { &DeviceSettings::extraLatency, &Parameters::extraLatency } } };
    return list;
}

PedalAudioBridge::Parameters PedalAudioBridge::Parameters::of (const DeviceSettings& s, double sampleRate, int hostBlock)
{
    Parameters p;
    p.sampleRate = sampleRate;
    p.hostBlock = hostBlock;

    for (const auto& entry : steering())
        p.*entry.field = (s.*entry.setting).get();

    return p;
}

void PedalAudioBridge::Parameters::takeSettings (const Parameters& other) noexcept
{
    for (const auto& entry : steering())
        this->*entry.field = other.*entry.field;
}

bool PedalAudioBridge::Parameters::operator== (const Parameters& o) const noexcept
{
    if (sampleRate != o.sampleRate || hostBlock != o.hostBlock)
        return false;

    for (const auto& entry : steering())
        if (this->*entry.field != o.*entry.field)
            return false;

    return true;
}
