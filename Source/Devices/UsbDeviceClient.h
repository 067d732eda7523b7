#pragma once

#include "Devices/Audio/AudioIODeviceSource.h"
#include "Devices/Audio/AudioPeakDetector.h"
#include "Devices/DeviceModes.h"
#include "Devices/Midi/SysexMessage.h"

#include <juce_audio_basics/juce_audio_basics.h>
#include <atomic>

class UsbDeviceController;

// One plug-in instance attached to a pedal. It belongs to its pedal; the
// processor and, when open at attach time, the editor listen to it. It carries
// the instance's audio bridge to the pedal and the peak detector of its meters.
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

    // Its bridge is driven by the pedal's audio device and starts with the pedal's settings.
    UsbDeviceClient (const juce::String& pedalName, PedalAudioBridge::Device& pedalAudio,
                     const PedalAudioBridge::Parameters& settings);
    ~UsbDeviceClient();

    // Listeners are called on the message thread, last added first.
    void addListener (ClientListener* listener) { listeners.add (listener); }
    void removeListener (ClientListener* listener) { listeners.remove (listener); }

    // The pedal confirmed a mode; called on the primary client only.
    void deviceConnected();

    // A message from the pedal, to every listener.
    void deliverMessage (SysexMessage& message);

    // The bridge's latency, to every listener, when it is known and differs
    // from what they last heard of it.
    void announceLatency();

    // Host audio thread: the block goes through the pedal, then feeds the meters.
    void getNextAudioBlock (const juce::AudioSourceChannelInfo& info);

    // The pedal's controller while attached, else null. A host thread saving its
    // state reads it while the message thread detaches: load it once.
    UsbDeviceController* getController() const noexcept { return controller.load(); }
    void setController (UsbDeviceController* c) noexcept { controller.store (c); }

    const juce::String& getDeviceName() const noexcept { return deviceName; }
    AudioIODeviceSource& getAudioSource() noexcept { return bridge; }
    AudioPeakDetector& getPeakDetector() noexcept { return peakDetector; }

    // The pedalboard leg this instance serves, none outside Pedalboard use.
    // Safe on any thread.
    void setPedalboardLeg (PedalModeConfig leg) noexcept { bridge.setPedalboardLeg (leg); }
    PedalModeConfig getPedalboardLeg() const noexcept { return bridge.getPedalboardLeg(); }

private:
    std::atomic<UsbDeviceController*> controller { nullptr };
    AudioIODeviceSource bridge;
    AudioPeakDetector peakDetector;
    juce::String deviceName;
    juce::ListenerList<ClientListener> listeners;
    int announcedLatency = 0;

    JUCE_DECLARE_NON_COPYABLE (UsbDeviceClient)
};
