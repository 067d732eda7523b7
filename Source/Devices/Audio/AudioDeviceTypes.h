#pragma once

#include <juce_audio_devices/juce_audio_devices.h>
#include <memory>

// Where the pedal's USB audio device is looked for and opened: the platform's
// audio device type, unless a stand-in has been installed (the emulated pedal's
// virtual audio devices, in tests and the demo).
class AudioDeviceTypes
{
public:
    virtual ~AudioDeviceTypes() = default;

    virtual std::unique_ptr<juce::AudioIODeviceType> createDeviceType() = 0;

    // A new device type of the kind in use; the caller scans and owns it.
    static std::unique_ptr<juce::AudioIODeviceType> create();

    // Installs a stand-in; null restores the platform's. The caller keeps ownership.
    static void install (AudioDeviceTypes* standIn);
};
