#pragma once

#include "Utilities/ConstrainedCachedValue.h"

#include <juce_data_structures/juce_data_structures.h>
#include <array>

// Block sizes the pedal can be asked for; 0 follows the host.
struct BlockSizeConstrainer
{
    // Function-local, so any static initialiser may use it safely.
    static const juce::Array<int>& allowedValues()
    {
        static const juce::Array<int> values { 0, 32, 64, 96, 128, 192, 256, 512, 1024, 2048 };
        return values;
    }

    static juce::String label (int value)
    {
        if (value == 0)
            return "Same As Host";
        return juce::String (value) + " samples";
    }
};

// The pedal's input and output buffer settings.
struct BufferSizeConstrainer
{
    static const juce::Array<int>& allowedValues()
    {
        static const juce::Array<int> values { 0, 1, 2 };
        return values;
    }

    static juce::String label (int value)
    {
        switch (value)
        {
            case 1:  return "Medium";
            case 2:  return "Large";
            default: return "Small";
        }
    }
};

// A view over one pedal's settings tree. Several views may share a tree; each
// hears the others' writes through the tree.
class DeviceSettings
{
public:
    struct Listener
    {
        virtual ~Listener() = default;
        virtual void settingsChanged() = 0;
    };

    // The largest "extraLatency" a pedal may store, in samples.
    static constexpr int maximumExtraLatency = 9999;

    explicit DeviceSettings (juce::ValueTree& tree);

    // Listeners are called last added first; one may add or remove listeners
    // (itself included) while it is called.
    void addListener (Listener* listener) { listeners.add (listener); }
    void removeListener (Listener* listener) { listeners.remove (listener); }

    using Setting = ConstrainedCachedValue<int>;

    Setting blockSize;
    Setting outAdjust;
    Setting inAdjust;
    Setting extraLatency;

    // Every setting, once: the listeners hear a change of each.
    static constexpr std::array<Setting DeviceSettings::*, 4> all()
    {
        return { &DeviceSettings::blockSize, &DeviceSettings::outAdjust, &DeviceSettings::inAdjust,
                 &DeviceSettings::extraLatency };
    }

private:
    void notifyListeners();

    juce::ListenerList<Listener> listeners;

    JUCE_DECLARE_NON_COPYABLE (DeviceSettings)
};
