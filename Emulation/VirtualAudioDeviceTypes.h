#pragma once

#include "Devices/Audio/AudioDeviceTypes.h"

#include <memory>

// In-process audio devices for the emulated pedal: the emulator publishes and
// withdraws device names; the device type created here lists them as both
// inputs and outputs and opens them as 2-in, 2-out devices that call back with
// silence on a thread of their own at the block rate.
class VirtualAudioDeviceTypes final : public AudioDeviceTypes
{
public:
    static constexpr const char* typeName = "Emulated";

    VirtualAudioDeviceTypes();
    // Uninstalls itself if installed. Device types and devices already created stay usable.
    ~VirtualAudioDeviceTypes() override;

    // AudioDeviceTypes::install (this), and its undoing when this installed itself.
    void install();
    void uninstall();

    // Publishing a name twice keeps one entry. Safe from any thread.
    void publish (const juce::String& deviceName);
    void withdraw (const juce::String& deviceName);

    std::unique_ptr<juce::AudioIODeviceType> createDeviceType() override;

    struct Registry;

private:
    std::shared_ptr<Registry> registry;
    bool installed = false;

    JUCE_DECLARE_NON_COPYABLE (VirtualAudioDeviceTypes)
};
