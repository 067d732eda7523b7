#pragma once

#include "Devices/Audio/AudioDeviceTypes.h"
#include "Devices/Midi/MidiPorts.h"
#include "Devices/PedalFlashes.h"
#include "Devices/UsbBootDevice.h"
#include "Devices/UsbDevice.h"
#include "Settings/DeviceSettingsFiles.h"

#include <juce_events/juce_events.h>
#include <algorithm>
#include <type_traits>

// The process-wide discovery of pedals (T = UsbDevice) or of pedals waiting in
// their bootloader (T = UsbBootDevice). Shared through juce::SharedResourcePointer:
// the first holder creates it, the last one deletes it. It scans 50 ms after its
// creation and then every second, on the message thread.
template <typename DeviceType>
class UsbBaseDeviceManager : private juce::Timer
{
public:
    class Listener
    {
    public:
        virtual ~Listener() = default;
        virtual void deviceAdded (DeviceType*) {}
        virtual void deviceRemoved (DeviceType*) {}
    };

    static constexpr int firstScanDelayMs = 50;
    static constexpr int scanPeriodMs = 1000;

    UsbBaseDeviceManager() { startTimer (firstScanDelayMs); }

    ~UsbBaseDeviceManager() override
    {
        stopTimer();

        if constexpr (isPedalManager)
            for (auto* device : devices)
                saveSettings (device);

        devices.clear(); // last to first
    }

    void addListener (Listener* listener) { listeners.add (listener); }
    void removeListener (Listener* listener) { listeners.remove (listener); }

    int getNumDevices() const noexcept { return devices.size(); }
    DeviceType* getDevice (int index) const noexcept { return devices[index]; }

    DeviceType* findDevice (const juce::String& name) const
    {
        for (auto* device : devices)
            if (device->getName() == name)
                return device;

        return nullptr;
    }

    void setSettingsFolder (const juce::String& folder) { settingsFiles.setFolder (folder); }

    void setRecentSettings (const juce::ValueTree& tree) { recentSettings = tree; }
    juce::ValueTree& getRecentSettings() noexcept { return recentSettings; }

    bool isScanningPeriodically() const noexcept { return periodic; }
    int getScanInterval() const noexcept { return getTimerInterval(); }

    // Where clients, client lists and pedals wait until no audio thread can reach them.
    RetiredObjects& getRetiredObjects() noexcept { return retired; }

    // The pedals being flashed now, by name; they outlast the pedals' own objects,
    // which go while a pedal sits in its bootloader.
    PedalFlashes& getFlashes() noexcept { return flashes; }
    const PedalFlashes& getFlashes() const noexcept { return flashes; }

    // One scan: keeps the devices still present, adds the new ones (each announced
    // at once), then saves and removes the vanished ones. A device found under its
    // name on other ports than its own was unplugged and plugged back since the
    // last scan: its ports are gone for good, so it is replaced at once.
    void scanForDevices()
    {
        auto& ports = MidiPorts::system();
        const auto inputs = ports.getInputs();
        const auto outputs = ports.getOutputs();

        juce::Array<DeviceType*> vanished;
        for (auto* device : devices)
            vanished.add (device);

        for (const auto& input : inputs)
        {
            const auto name = DeviceType::deviceNameForPort (input.name);
            if (name.isEmpty())
                continue;

            const juce::MidiDeviceInfo* output = nullptr;
            for (const auto& candidate : outputs)
            {
                if (DeviceType::deviceNameForPort (candidate.name) == name)
                {
                    output = &candidate;
                    break;
                }
            }

            if (output == nullptr)
                continue;

            if constexpr (DeviceType::needsAudioDevice)
                if (! audioDeviceExists (name))
                    continue;

            auto* device = findDevice (name);

            if (device != nullptr && ! isOnListedPorts (*device, inputs, outputs))
            {
                vanished.removeAllInstancesOf (device);
                removeDevice (device);
                device = nullptr;
            }

            if (device == nullptr)
            {
                device = new DeviceType (name, input, *output, retired);
                devices.addSorted (sorter, device);

                if constexpr (isPedalManager)
                    loadSettings (device);

                listeners.call ([device] (Listener& l) { l.deviceAdded (device); });
            }

            vanished.removeAllInstancesOf (device);
        }

        for (auto* device : vanished)
            removeDevice (device);
    }

    // The pedal's settings file; none while no settings folder is set.
    juce::File getSettingsFile (DeviceType* device) const
    {
        jassert (device != nullptr);
        return device != nullptr ? settingsFiles.fileFor (device->getName()) : juce::File();
    }

    // Writes the pedal's settings, or deletes the file when there are none. A file
    // this pedal never read (unreadable, or found before the folder was known) is
    // only ever replaced by settings, never deleted.
    void saveSettings (DeviceType* device)
    {
        jassert (device != nullptr);
        if (device != nullptr)
            settingsFiles.save (device->getName(), device->getDriver().getSettingsTree(), device->settingsFileKnown);
    }

private:
    static constexpr bool isPedalManager = std::is_same_v<DeviceType, UsbDevice>;

    struct UsbDeviceSorter
    {
        static int compareElements (DeviceType* first, DeviceType* second)
        {
            return first->getName().compare (second->getName());
        }
    };

    void timerCallback() override
    {
        scanForDevices();

        if (! periodic)
        {
            periodic = true;
            startTimer (scanPeriodMs);
        }
    }

    static bool isOnListedPorts (DeviceType& device, const juce::Array<juce::MidiDeviceInfo>& inputs,
                                 const juce::Array<juce::MidiDeviceInfo>& outputs)
    {
        auto listed = [] (const juce::Array<juce::MidiDeviceInfo>& ports, const juce::MidiDeviceInfo& port)
        {
            return std::any_of (ports.begin(), ports.end(), [&port] (const auto& p) { return p.identifier == port.identifier; });
        };

        auto& midi = device.getMidiDevice();
        return listed (inputs, midi.getInputPort()) && listed (outputs, midi.getOutputPort());
    }

    // Saves its settings, tells the listeners, and retires it.
    void removeDevice (DeviceType* device)
    {
        if constexpr (isPedalManager)
            saveSettings (device);

        listeners.call ([device] (Listener& l) { l.deviceRemoved (device); });
        devices.removeObject (device, false);

        // A host audio thread may still be inside one of its clients.
        std::unique_ptr<DeviceType> gone (device);
        if constexpr (isPedalManager)
            gone->getDriver().releaseAudio();

        retired.retire (std::move (gone));
    }

    static bool audioDeviceExists (const juce::String& name)
    {
        auto type = AudioDeviceTypes::create();
        if (type == nullptr)
            return false;

        type->scanForDevices();
        return type->getDeviceNames (false).contains (name);
    }

    // Copies the pedal's settings file into its settings tree; every value passes
    // its constrainer on the way. A bad file leaves defaults.
    void loadSettings (DeviceType* device)
    {
        if (settingsFiles.load (device->getName(), device->getDriver().getSettingsTree()))
            device->settingsFileKnown = true;
    }

    bool periodic = false;
    PedalFlashes flashes;
    RetiredObjects retired;
    juce::ListenerList<Listener> listeners;
    juce::OwnedArray<DeviceType> devices;
    UsbDeviceSorter sorter;
    DeviceSettingsFiles settingsFiles;
    juce::ValueTree recentSettings;

    JUCE_DECLARE_NON_COPYABLE (UsbBaseDeviceManager)
};
