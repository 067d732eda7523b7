#include "Devices/Audio/AudioDeviceTypes.h"

#include <atomic>

namespace
{
std::atomic<AudioDeviceTypes*> installedTypes { nullptr };

std::unique_ptr<juce::AudioIODeviceType> createPlatformDeviceType()
{
   #if JUCE_MAC
    return std::unique_ptr<juce::AudioIODeviceType> (juce::AudioIODeviceType::createAudioIODeviceType_CoreAudio());
   #elif JUCE_ALSA
    return std::unique_ptr<juce::AudioIODeviceType> (juce::AudioIODeviceType::createAudioIODeviceType_ALSA());
   #else
    return nullptr;
   #endif
}
} // namespace

std::unique_ptr<juce::AudioIODeviceType> AudioDeviceTypes::create()
{
    if (auto* standIn = installedTypes.load (std::memory_order_acquire))
        return standIn->createDeviceType();

    return createPlatformDeviceType();
}

void AudioDeviceTypes::install (AudioDeviceTypes* standIn)
{
    installedTypes.store (standIn, std::memory_order_release);
}
