#pragma once

#include "Devices/Audio/AudioPeakDetector.h"
#include "Devices/DeviceModes.h"
#include "Devices/Midi/SysexMessage.h"

#include <juce_audio_basics/juce_audio_basics.h>
#include <atomic>

class UsbDeviceController;

// One plug-in instance attached to a pedal. It belongs to its pedal; the
// processor and, when open at attach time, the editor listen to it.
class UsbDeviceClient
{
public:
    class ClientListener
    {
    public:
        virtual ~ClientListener() = default;
        virtual void incomingMidiMessage (SysexMessage&) {}
        virtual void deviceConnected() = 0;
        virtual void latencyChanged (int) {}
    };

    explicit UsbDeviceClient (const juce::String& pedalName) : deviceName (pedalName) {}
    ~UsbDeviceClient() { listeners.clear(); }

    // Listeners are called on the message thread, last added first.
    void addListener (ClientListener* listener) { listeners.add (listener); }
    void removeListener (ClientListener* listener) { listeners.remove (listener); }

    // The pedal confirmed a mode; called on the primary client only. (The audio
    // bridge, when it comes, calibrates the latency here in Audio use.)
    void deviceConnected();

    // A message from the pedal, to every listener.
    void deliverMessage (SysexMessage& message);

    // Host audio thread: the block goes through the pedal, then feeds the meters.
    void getNextAudioBlock (const juce::AudioSourceChannelInfo& info);

    // Pedal audio thread: the device channels this client was handed. The
    // outputs carry nothing of the host's yet, so they are silenced.
    void audioDeviceIOCallback (const float* const* inputs, int numInputs, float* const* outputs,
                                int numOutputs, int numSamples) noexcept;

    UsbDeviceController* getController() const noexcept { return controller; }
    void setController (UsbDeviceController* c) noexcept { controller = c; }

    const juce::String& getDeviceName() const noexcept { return deviceName; }
    AudioPeakDetector& getPeakDetector() noexcept { return peakDetector; }

    // The pedalboard leg this instance serves (a PedalModeConfig), none outside
    // Pedalboard use. Safe on any thread.
    void setPedalboardLeg (int leg) noexcept;
    int getPedalboardLeg() const noexcept { return pedalboardLeg.load(); }

private:
    UsbDeviceController* controller = nullptr;
    AudioPeakDetector peakDetector;
    juce::String deviceName;
    juce::ListenerList<ClientListener> listeners;
    std::atomic<int> pedalboardLeg { pedalboardNone };

    JUCE_DECLARE_NON_COPYABLE (UsbDeviceClient)
};
