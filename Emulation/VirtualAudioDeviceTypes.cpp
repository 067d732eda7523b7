#include "Emulation/VirtualAudioDeviceTypes.h"

#include <map>
#include <mutex>

struct VirtualAudioDeviceTypes::Registry
{
    using Slot = VirtualAudioDevice::Slot;

    mutable std::mutex mutex;
    std::map<juce::String, std::shared_ptr<Slot>> slots; // every name ever used, published or not
    bool manualByDefault = false;

    std::shared_ptr<Slot> slotFor (const juce::String& name)
    {
        const std::lock_guard<std::mutex> lock (mutex);
        auto& slot = slots[name];

        if (slot == nullptr)
        {
            slot = std::make_shared<Slot>();
            slot->behaviour.manual = manualByDefault;
        }

        return slot;
    }

    juce::StringArray publishedNames() const
    {
        const std::lock_guard<std::mutex> lock (mutex);
        juce::StringArray names;
        for (auto& [name, slot] : slots)
            if (slot->present.load())
                names.add (name);
        return names;
    }

    std::shared_ptr<Slot> findPublished (const juce::String& name) const
    {
        const std::lock_guard<std::mutex> lock (mutex);
        auto found = slots.find (name);
        return found != slots.end() && found->second->present.load() ? found->second : nullptr;
    }
};

namespace
{
class EmulatedDeviceType final : public juce::AudioIODeviceType
{
public:
    explicit EmulatedDeviceType (std::shared_ptr<VirtualAudioDeviceTypes::Registry> r)
        : juce::AudioIODeviceType (VirtualAudioDeviceTypes::typeName), registry (std::move (r))
    {
    }

    void scanForDevices() override { names = registry->publishedNames(); }
    juce::StringArray getDeviceNames (bool) const override { return names; }
    int getDefaultDeviceIndex (bool) const override { return names.isEmpty() ? -1 : 0; }

    int getIndexOfDevice (juce::AudioIODevice* device, bool) const override
    {
        return dynamic_cast<VirtualAudioDevice*> (device) != nullptr ? names.indexOf (device->getName()) : -1;
    }

    bool hasSeparateInputsAndOutputs() const override { return true; }

    // One device serves both directions, so two different names cannot be opened together.
    juce::AudioIODevice* createDevice (const juce::String& outputDeviceName,
                                       const juce::String& inputDeviceName) override
    {
        const auto deviceName = outputDeviceName.isNotEmpty() ? outputDeviceName : inputDeviceName;

        if (deviceName.isEmpty() || (inputDeviceName.isNotEmpty() && inputDeviceName != deviceName))
            return nullptr;

        auto slot = registry->findPublished (deviceName);
        return slot != nullptr ? new VirtualAudioDevice (deviceName, VirtualAudioDeviceTypes::typeName, slot) : nullptr;
    }

private:
    std::shared_ptr<VirtualAudioDeviceTypes::Registry> registry;
    juce::StringArray names;
};
} // namespace

VirtualAudioDeviceTypes::VirtualAudioDeviceTypes() : registry (std::make_shared<Registry>()) {}

VirtualAudioDeviceTypes::~VirtualAudioDeviceTypes()
{
    uninstall();
}

void VirtualAudioDeviceTypes::install()
{
    AudioDeviceTypes::install (this);
    installed = true;
}

void VirtualAudioDeviceTypes::uninstall()
{
    if (installed)
        AudioDeviceTypes::install (nullptr);

    installed = false;
}

void VirtualAudioDeviceTypes::publish (const juce::String& deviceName, VirtualAudioEndpoint* endpoint)
{
    auto slot = registry->slotFor (deviceName);
    const std::lock_guard<std::mutex> lock (slot->mutex);
    slot->endpoint = endpoint;
    slot->present.store (true);
}

void VirtualAudioDeviceTypes::withdraw (const juce::String& deviceName)
{
    auto slot = registry->slotFor (deviceName);
    const std::lock_guard<std::mutex> lock (slot->mutex); // waits for an endpoint call in progress
    slot->present.store (false);
    slot->endpoint = nullptr;
}

void VirtualAudioDeviceTypes::setBehaviour (const juce::String& deviceName, const VirtualAudioBehaviour& behaviour)
{
    auto slot = registry->slotFor (deviceName);
    const std::lock_guard<std::mutex> lock (slot->mutex);
    slot->behaviour = behaviour;
}

VirtualAudioBehaviour VirtualAudioDeviceTypes::getBehaviour (const juce::String& deviceName) const
{
    auto slot = registry->slotFor (deviceName);
    const std::lock_guard<std::mutex> lock (slot->mutex);
    return slot->behaviour;
}

void VirtualAudioDeviceTypes::setManualByDefault (bool manual)
{
    const std::lock_guard<std::mutex> lock (registry->mutex);
    registry->manualByDefault = manual;

    for (auto& [name, slot] : registry->slots)
    {
        const std::lock_guard<std::mutex> slotLock (slot->mutex);
        slot->behaviour.manual = manual;
    }
}

const VirtualAudioCounters& VirtualAudioDeviceTypes::getCounters (const juce::String& deviceName)
{
    return registry->slotFor (deviceName)->counters;
}

VirtualAudioDevice* VirtualAudioDeviceTypes::findOpenDevice (const juce::String& deviceName) const
{
    auto slot = registry->slotFor (deviceName);
    const std::lock_guard<std::mutex> lock (slot->mutex);
    return slot->live;
}

std::vector<VirtualAudioDevice*> VirtualAudioDeviceTypes::getOpenDevices() const
{
    const std::lock_guard<std::mutex> lock (registry->mutex);
    std::vector<VirtualAudioDevice*> devices;

    for (auto& [name, slot] : registry->slots)
    {
        const std::lock_guard<std::mutex> slotLock (slot->mutex);
        if (slot->live != nullptr)
            devices.push_back (slot->live);
    }

    return devices;
}

std::unique_ptr<juce::AudioIODeviceType> VirtualAudioDeviceTypes::createDeviceType()
{
    return std::make_unique<EmulatedDeviceType> (registry);
}
