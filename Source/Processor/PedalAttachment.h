#pragma once

#include "Devices/UsbDeviceClient.h"
#include "Devices/UsbDeviceDriver.h"
#include "Devices/UsbDeviceManager.h"
#include "Parameters/AudioValueTreeState.h"
#include "Parameters/PedalControllers.h"
#include "Presets/PresetRecord.h"
#include "Processor/PedalRoute.h"
#include "State/StateChunk.h"

#include <atomic>
#include <optional>

// A processor's link to one pedal: attaching, changing how the pedal is used,
// detaching, what the pedal's manager, driver and client report, and keeping
// the parameters and the pedal in step. It publishes the attached client and
// its pedal for the host's threads on a route, and tells its owner the rest.
// Message thread, except where a function says otherwise.
class PedalAttachment : public UsbDeviceDriver::Listener,
                        public UsbBaseDeviceManager<UsbDevice>::Listener,
                        public UsbDeviceClient::ClientListener
{
public:
    using Parameter = AudioValueTreeState::Parameter;

    // What the attachment tells the processor that owns it.
    class Owner
    {
    public:
        virtual ~Owner() = default;

        // The pedal, or how this instance uses it, changed.
        virtual void attachmentChanged() = 0;
        // The route carries a newly attached client.
        virtual void pedalAttached() = 0;
        // The pedal went, or its bridge announced a latency: the host may need telling.
        virtual void pedalLatencyChanged() = 0;

        // The pedal answered: it is asked for its state while the host's is
        // still awaited, and is sent this instance's state otherwise.
        virtual bool isAwaitingHostState() const noexcept = 0;
        virtual void sendStateToDevice() = 0;

        // From the pedal: its current preset, the values it stores behind
        // program 0, or a program it switched to.
        virtual void pedalPresetArrived (const PRESET& record) = 0;
        virtual void pedalDefaultsArrived (const PRESET& record) = 0;
        virtual void pedalChoseProgram (int program) = 0;

        // The open editor, which hears a new client too; null while none is open.
        virtual UsbDeviceClient::ClientListener* getEditorListener() = 0;
    };

    PedalAttachment (Owner& owner, AudioValueTreeState& store, UsbBaseDeviceManager<UsbDevice>& pedals,
                     PedalRoute& route);
    ~PedalAttachment() override;

    // Attaches to the pedal of that name, or changes how the current pedal is used.
    void attach (juce::StringRef name, Mode mode, ChannelSetting channel, PedalModeConfig leg);

    // Detaches without telling the host; false when nothing was attached. The
    // pedal's last client releases it.
    bool detach();

    // A restored state's channel setting, taken while nothing is attached: an
    // attachment changes it only together with its client.
    void restoreChannelSetting (ChannelSetting channel);

    // Whether the parameter is the level of the side that a mono use leaves idle.
    bool isIdleSide (const Parameter& parameter) const;

    // A parameter's new value, sent under its controller number while attached,
    // unless it came from the pedal.
    void sendParameter (const Parameter& parameter, int value, int controllerNumber);

    // One preset record, as the pedal's whole state; nothing while detached.
    void sendState (const PRESET& record);

    UsbDevice* getDevice() const noexcept { return currentDevice; }
    UsbDeviceClient* getClient() const noexcept { return usbClient; }
    // Any thread; none until one is chosen or restored, and after a detach.
    std::optional<ChannelSetting> getChannelSetting() const noexcept { return channelSetting.load(); }
    int getLedState() const noexcept { return ledState.load(); }

    // The attachment as a state names it, or none while detached; the second
    // on any thread, from what the route publishes.
    std::optional<StateChunk::Device> describe() const;
    std::optional<StateChunk::Device> describeForOtherThreads() const;

    //==============================================================================
    void deviceRemoved (UsbDevice* device) override;
    void deviceStatusChanged (UsbDeviceDriver* driver) override;
    void incomingMidiMessage (SysexMessage& message) override;
    void deviceConnected() override;
    void latencyChanged (int latencySamples) override;
    using UsbDeviceDriver::Listener::deviceConnected;
    using UsbDeviceDriver::Listener::incomingMidiMessage;

private:
    void detachClient();
    void closePedalLink (UsbDevice& device, bool sendRelease);
    void applyControllerPairs (const SysexMessage& message);

    Owner& owner;
    AudioValueTreeState& store;
    UsbBaseDeviceManager<UsbDevice>& pedals;
    // What the host's threads may use; cleared before anything it points to goes.
    PedalRoute& route;
    const PedalControllers pedalControllers;

    UsbDevice* currentDevice = nullptr;
    UsbDeviceClient* usbClient = nullptr;

    // Read by hosts asking for the state on their own threads.
    std::atomic<std::optional<ChannelSetting>> channelSetting { std::nullopt };
    static_assert (std::atomic<std::optional<ChannelSetting>>::is_always_lock_free);
    std::atomic<int> ledState { 0 };

    JUCE_DECLARE_NON_COPYABLE (PedalAttachment)
};
