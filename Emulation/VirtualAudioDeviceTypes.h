#pragma once

#include "Devices/Audio/AudioDeviceTypes.h"
#include "Emulation/VirtualAudioDevice.h"

#include <memory>
#include <vector>

// In-process audio devices for the emulated pedal: the emulator publishes and
// withdraws device names, each with the endpoint its channels lead to; the
// device type created here lists them as both inputs and outputs and opens
// them as 2-in, 2-out VirtualAudioDevices. How each name's devices behave, and
// what happened to them, is kept per name across the devices made for it.
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

    // Publishing a name twice keeps one entry. Withdrawing it stops the
    // callbacks of its open device, as unplugging does. Safe from any thread.
    void publish (const juce::String& deviceName, VirtualAudioEndpoint* endpoint = nullptr);
    void withdraw (const juce::String& deviceName);

    // Applies to devices of that name started from now on (and to opens).
    void setBehaviour (const juce::String& deviceName, const VirtualAudioBehaviour& behaviour);
    VirtualAudioBehaviour getBehaviour (const juce::String& deviceName) const;
    // Every name's devices from now on: manual (driven by a co-simulation) or threaded.
    void setManualByDefault (bool manual);

    const VirtualAudioCounters& getCounters (const juce::String& deviceName);

    // The open device of that name, or null. Valid until its owner closes or deletes it.
    VirtualAudioDevice* findOpenDevice (const juce::String& deviceName) const;
    // Every open device, for a co-simulation to run.
    std::vector<VirtualAudioDevice*> getOpenDevices() const;

    std::unique_ptr<juce::AudioIODeviceType> createDeviceType() override;

    struct Registry;

private:
    std::shared_ptr<Registry> registry;
    bool installed = false;

    JUCE_DECLARE_NON_COPYABLE (VirtualAudioDeviceTypes)
};
