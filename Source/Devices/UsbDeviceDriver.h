#pragma once

#include "Devices/Audio/PedalAudioBridge.h"
#include "Devices/DeviceModes.h"
#include "Devices/LatencyCalibration.h"
#include "Devices/Midi/MidiDevice.h"
#include "Settings/DeviceSettings.h"
#include "Devices/Midi/SysexMessage.h"
#include "Utilities/AudioThreadGuard.h"

#include <juce_audio_devices/juce_audio_devices.h>
#include <juce_events/juce_events.h>
#include <atomic>
#include <optional>

// The protocol end of one connected pedal: its device id, the connection state,
// the mode handshake, a keep-alive every second and a watchdog that drops a
// pedal that falls silent. It owns the pedal's MIDI ports, its settings, its
// latency calibrations and its audio device, which it opens when the pedal
// confirms Audio or Pedalboard use and hands, channel by channel, to the
// clients' audio bridges. It alone decides when the device reopens and which
// bridges follow: it hands them its settings whenever they change, prepares
// them around every change of the device, and tells every client when its
// bridge's latency changed.
class UsbDeviceController;
class UsbDeviceClient;

class UsbDeviceDriver : public juce::AudioIODeviceCallback,
                        public PedalAudioBridge::Device,
                        private MidiDevice::Listener,
                        private DeviceSettings::Listener,
                        private juce::MultiTimer
{
public:
    class Listener
    {
    public:
        virtual ~Listener() = default;
        virtual void deviceStatusChanged (UsbDeviceDriver*) {}
        virtual void deviceConnected (UsbDeviceDriver*) {}
        virtual void incomingMidiMessage (UsbDeviceDriver*, const juce::MidiMessage&) {}
    };

    enum TimerIds
    {
        keepAliveTimerId = 1
    };

    static constexpr int keepAliveIntervalMs = 1000;
    static constexpr uint8_t watchdogReload = 10;
    static constexpr int fallbackBlockSize = 256;
    static constexpr int channelMask = 3; // both channels, in and out

    UsbDeviceDriver (const juce::String& deviceName,
                     const juce::MidiDeviceInfo& inputPort,
                     const juce::MidiDeviceInfo& outputPort);
    ~UsbDeviceDriver() override;

    // The one way to send to the pedal. Senders hand over 7-bit values.
    void sendSysExMessage (uint8_t group, uint8_t command, const void* payload, int length);

    // Opens the ports and asks the pedal for a mode; a mode that cannot be
    // requested only sets the state to none.
    void connect (Mode mode);

    // Asks the pedal for a requestable mode without touching the connection state.
    void requestMode (Mode mode);

    // Releases the pedal, closes the ports and forgets the device id.
    void disconnect();

    // The connection state; safe to read from any thread.
    Mode getState() const noexcept { return state.load (std::memory_order_acquire); }
    uint8_t getDeviceId() const noexcept { return deviceId; }
    int getSlot() const noexcept { return slot; }
    int getFirmwareVersion() const noexcept { return firmwareVersion; }
    uint8_t getWatchdogCountdown() const noexcept { return watchdogCountdown; }
    const juce::String& getName() const noexcept { return name; }

    // The pedal's client list; set once by its device.
    void setController (UsbDeviceController* c) noexcept { controller = c; }
    UsbDeviceController* getController() const noexcept { return controller; }

    // The pedal's audio device: opened when the pedal confirms Audio or
    // Pedalboard use, with the driver as its callback.
    void enableAudio();
    void openAudioDevice (int rate, int blockSize);
    void startAudioDevice();
    void releaseAudio();
    bool isAudioDeviceOpen() const override { return audioDevice != nullptr && audioDevice->isOpen(); }
    juce::AudioIODevice* getAudioDevice() const noexcept { return audioDevice.get(); }

    // The callbacks its audio device has made: whether it still calls back. Any thread.
    uint64_t getAudioCallbackCount() const noexcept { return audioCallbacks.load (std::memory_order_relaxed); }

    // The block size the device is opened with: the "blockSize" setting, or
    // the primary client's host block when it is 0 (0 while neither is known).
    int getEffectiveBlockSize() const;

    // What the open device really calls back with, else 0.
    int getDeliveredBlockSize() const override;

    // Message thread: a bridge has new parameters to take (PedalAudioBridge::Device).
    void applyParameters (PedalAudioBridge& bridge, bool start) override;

    // The rate the audio device is opened at; the host's rate once it prepares.
    // Safe on any thread.
    void setSampleRate (int rate) noexcept { sampleRate.store (rate); }

    // The round-trip latency from the primary client's bridge: 0 without a
    // client or before its bridge has parameters; the latency last announced.
    int computeLatency() const;
    int getLatency() const noexcept { return latency; }

    // Message thread: every client whose bridge's latency changed since its
    // listeners last heard tells them (each bridge has its own figure, from
    // its own host's block). Latency changes reach the processors only this way.
    void notifyLatencyChanged();

    juce::ValueTree& getSettingsTree() noexcept { return settingsTree; }
    DeviceSettings& getSettings() noexcept { return settings; }
    LatencyCalibration& getCalibration() noexcept { return calibration; }
    MidiDevice& getMidiDevice() noexcept { return midiDevice; }

    // Listeners are called on the message thread, last added first.
    void addListener (Listener* listener) { listeners.add (listener); }
    void removeListener (Listener* listener) { listeners.remove (listener); }

    // Keep-alive and watchdog: one tick of timer 1; other ids do nothing.
    void timerCallback (int timerId) override;
    using juce::MultiTimer::isTimerRunning;
    using juce::MultiTimer::getTimerInterval;

    // A message from the pedal, on the message thread.
    void incomingMidiMessage (MidiDevice* device, const juce::MidiMessage& message) override;

    // The firmware reset leaves the driver as a disconnect would, without Release.
    void forgetConnection();

    // Pedal audio thread: hands the device channels to the clients that use them.
    void audioDeviceIOCallbackWithContext (const float* const* inputs, int numInputs,
                                           float* const* outputs, int numOutputs, int numSamples,
                                           const juce::AudioIODeviceCallbackContext& context) override;
    void audioDeviceAboutToStart (juce::AudioIODevice*) override {}
    void audioDeviceStopped() override {}

private:
    void settingsChanged() override;
    void handleSystemMessage (const SysexMessage& message);
    void setState (Mode newState);
    void notifyStatusChanged();
    void notifyConnected();
    void takeModeReply (Mode newState, const SysexMessage& message);
    bool isStillAttached (class UsbDeviceClient* client) const;
    void calibrateEveryClient();
    bool configureAudioDevice();
    void apply (PedalAudioBridge& bridge, std::optional<bool> start);
    void prepareBridgesAgain (const PedalAudioBridge* prepared);

    juce::ValueTree settingsTree;
    DeviceSettings settings;
    std::unique_ptr<juce::AudioIODevice> audioDevice;
    MidiDevice midiDevice;
    uint8_t deviceId = 0;
    uint8_t watchdogCountdown = 0;
    juce::ListenerList<Listener> listeners;
    std::atomic<Mode> state { Mode::none };
    int slot = 1;
    int firmwareVersion = 0;
    std::atomic<int> sampleRate { 44100 };
    std::atomic<uint64_t> audioCallbacks { 0 };
    int latency = -1;
    int wantedRate = 0, wantedBlockSize = -1; // what the device was last opened for
    juce::String name;
    UsbDeviceController* controller = nullptr;
    std::unique_ptr<juce::AudioIODeviceType> deviceType;
    LatencyCalibration calibration { *this };
    AudioThreadGuard audioGuard;

    JUCE_DECLARE_NON_COPYABLE (UsbDeviceDriver)
};
