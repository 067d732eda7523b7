#pragma once

#include "Utilities/ConstrainedCachedValue.h"

#include <juce_audio_devices/juce_audio_devices.h>
#include <array>

class DeviceSettings;

// One plug-in instance's audio bridge as the pedal's audio device drives it.
// The pedal's driver alone opens, reopens and starts the device, hands the
// channels out and decides which bridges follow a change; a bridge only asks
// it to apply its own new parameters. The one call back in: a calibration that
// ends in a bridge's own timer may store a latency, which the driver applies
// to that bridge before the timer returns.
// Message thread, but for the device callback (the pedal's audio thread).
class PedalAudioBridge : public juce::AudioIODeviceCallback
{
public:
    // What a bridge's rings are sized and steered by.
    struct Parameters
    {
        double sampleRate = 44100.0;
        int hostBlock = 0;
        int deviceBlock = 0; // the "blockSize" setting: 0 follows the host
        int inAdjust = 0;
        int outAdjust = 1;
        int extraLatency = 0;

        // The pedal's settings that steer a bridge, each with the field it
        // sets: the one list that `of`, `takeSettings` and == follow. Each is
        // also in DeviceSettings::all(), without which its changes go unheard.
        struct Steering
        {
            ConstrainedCachedValue<int> DeviceSettings::*setting;
            int Parameters::*field;
        };

        static const std::array<Steering, 4>& steering();

        // The pedal's settings that steer a bridge, with a host's rate and block.
        static Parameters of (const DeviceSettings& settings, double sampleRate = 44100.0, int hostBlock = 0);

        // Takes the fields that the pedal's settings steer from other, and keeps its own rate and host block.
        void takeSettings (const Parameters& other) noexcept;

        // The block size the pedal's device is asked for.
        int askedDeviceBlock() const noexcept { return deviceBlock > 0 ? deviceBlock : hostBlock; }

        bool operator== (const Parameters& other) const noexcept;
        bool operator!= (const Parameters& other) const noexcept { return ! operator== (other); }
    };

    // The pedal's audio device, as a bridge sees it.
    class Device
    {
    public:
        virtual ~Device() = default;

        // The bridge has new parameters to take (its host prepared, a restart
        // waited for its host, or the device calls back with larger blocks):
        // the device stops it, runs at the pedal's rate and block size
        // (reopening if needed), prepares it, prepares again every other
        // bridge that a reopening concerns, and announces the latencies that changed.
        virtual void applyParameters (PedalAudioBridge& bridge, bool start) = 0;

        virtual bool isAudioDeviceOpen() const = 0;

        // The block size the open device delivers, else 0.
        virtual int getDeliveredBlockSize() const = 0;
    };

    // The pedal's settings changed (only their four fields are taken). True
    // when they are to be applied now; false when there is nothing to apply
    // yet, or when a host that fades hears the pedal: the latency figure then
    // changes at once, and the bridge asks for them itself once the host has
    // let go.
    virtual bool parametersChanged (const Parameters& settings) = 0;

    // Stops streaming before the device may change under the bridge (nothing,
    // while it has no rate or host block to prepare with). Whether it streamed
    // or was asked to.
    virtual bool stop() = 0;

    // After stop: takes the pending parameters with the device as it is now
    // and, when start is set and the device is open, asks for streaming again.
    virtual void prepare (bool start) = 0;

    // The device starts: asks for streaming when stopped, prepared and the
    // device is open. A stop that a host thread writes meanwhile stays.
    virtual void requestStart() = 0;

    virtual bool hasAppliedParameters() const noexcept = 0;

    // The block the host last prepared the bridge for, else 0. Any thread.
    virtual int getPendingHostBlock() const noexcept = 0;

    // The latency figure; 0 until parameters were applied. Any thread.
    virtual int getLatencySamples() const noexcept = 0;
};
