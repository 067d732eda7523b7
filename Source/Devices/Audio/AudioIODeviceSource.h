#pragma once

#include "Devices/Audio/BridgeCalibration.h"
#include "Devices/Audio/BridgeDriftControl.h"
#include "Devices/Audio/BridgeHandOver.h"
#include "Devices/Audio/CallbackTiming.h"
#include "Devices/Audio/PedalAudioBridge.h"
#include "Devices/Audio/RingTargets.h"
#include "Devices/Audio/WetSpanTracker.h"
#include "Devices/DeviceModes.h"
#include "Utilities/ResamplingCircularAudioBuffer.h"

#include <juce_audio_devices/juce_audio_devices.h>
#include <juce_events/juce_events.h>
#include <atomic>
#include <functional>
#include <optional>

// One plug-in instance's audio between the host's audio thread and the pedal's
// audio thread. The host side pushes each host block into the to-device ring
// and refills it from the from-device ring; the device side moves the device
// inputs into the from-device ring and feeds the device outputs from the
// to-device ring. Both readers resample, steered once a second so that the two
// clocks may drift apart. An atomic streaming state gates both sides, catches
// faults and restarts streaming. It also hosts the latency calibration.
//
// The pedal's device is shared: the bridge never opens or starts it. New host
// parameters, a waited-for restart or larger device blocks go to the device
// to apply (PedalAudioBridge::Device), which then drives the bridge.
//
// Threads: getNextAudioBlock on the host's audio thread, the device callback on
// the pedal's audio thread, everything else on the message thread, except
// prepareToPlay, prepareLater and releaseResources, which any thread may call:
// off the message thread they only stop streaming and leave the rest (which
// may reopen the pedal's shared audio device) to the message thread.
class AudioIODeviceSource : public juce::AudioSource,
                            public PedalAudioBridge,
                            public juce::MultiTimer,
                            private juce::AsyncUpdater
{
public:
    enum StreamingState
    {
        stopped = 0,
        startRequested = 1,
        running = 2,
        streaming = 3,
        // Faults: each is answered by a full restart.
        hostReadFailed = 4,
        deviceReadFailed = 5,
        hostFillOutOfRange = 6,
        deviceFillOutOfRange = 7,
        hostWriteFailed = 8,   // the to-device ring overflowed
        deviceWriteFailed = 9  // the from-device ring overflowed
    };

    static constexpr bool isFault (int state) noexcept { return state > streaming; }

    enum TimerIds
    {
        driftTimerId = 0,       // drift control and restart
        restartTimerId = 1,     // restart only
        calibrationTimerId = 2, // the calibration's result
        handOverTimerId = 3     // while a restart waits for the host to let go of the pedal's audio
    };

    static constexpr int driftIntervalMs = 1000;
    static constexpr int restartIntervalMs = 100;
    static constexpr int calibrationIntervalMs = 100;
    static constexpr int handOverIntervalMs = BridgeHandOver::tickIntervalMs;
    static constexpr int handOverTimeoutMs = BridgeHandOver::waitLimitMs; // a host that never lets go is not waited for longer
    static constexpr int ringCapacity = RingTargets::ringCapacity;
    static constexpr int latencyAllowance = RingTargets::latencyAllowance;

    using Targets = RingTargets;

    static int estimateLatency (const Parameters& parameters) noexcept { return RingTargets::estimateLatency (parameters); }
    static int largestLatency (int hostBlock) noexcept { return RingTargets::largestLatency (hostBlock); }

    using CalibrationCallback = BridgeCalibration::Callback;

    // Which samples of the host's last block are the pedal's audio of the current stream.
    using WetSpan = WetSpanTracker::WetSpan;

    // The bridge of a client of this device, with the pedal's settings now.
    AudioIODeviceSource (Device& device, const Parameters& settings);
    ~AudioIODeviceSource() override;

    //==============================================================================
    // juce::AudioSource. On the message thread the new parameters apply at
    // once; elsewhere as prepareLater.
    void prepareToPlay (int samplesPerBlockExpected, double sampleRate) override;

    // Any thread: stops streaming now and applies the parameters on the message
    // thread soon after (for a caller that must not wait, such as one holding
    // the host's callback lock).
    void prepareLater (int samplesPerBlockExpected, double sampleRate);

    // Message thread: applies a pending prepareLater now, if there is one.
    void applyPendingUpdate() { handleUpdateNowIfNeeded(); }
    void releaseResources() override;
    void getNextAudioBlock (const juce::AudioSourceChannelInfo& info) override;

    // juce::AudioIODeviceCallback: this bridge's device channels.
    void audioDeviceIOCallbackWithContext (const float* const* inputs, int numInputs, float* const* outputs,
                                           int numOutputs, int numSamples,
                                           const juce::AudioIODeviceCallbackContext& context) override;
    void audioDeviceAboutToStart (juce::AudioIODevice*) override {}
    void audioDeviceStopped() override {}

    void timerCallback (int timerId) override;

    //==============================================================================
    // The pedalboard leg this bridge serves, none outside Pedalboard use. Any thread.
    void setPedalboardLeg (PedalModeConfig leg) noexcept { pedalboardLeg.store (leg); }
    PedalModeConfig getPedalboardLeg() const noexcept { return pedalboardLeg.load(); }

    // Message thread: whether the host fades the pedal's audio by the spans
    // and lets go when a restart waits (off: a restart never waits).
    void setHostFades (bool fades) noexcept { handOver.setHostFades (fades); }

    // Host audio thread, after each block.
    const WetSpan& getLastWetSpan() const noexcept { return spans.getSpan(); }

    // Host audio thread: the pedal's audio is faded out; a waiting restart may go ahead.
    void letGo() noexcept;

    // Message thread, only while stopped: rings, ratios and drift control as at
    // a fresh start. Waits for a callback still in flight to leave.
    void resetStreaming();

    // Message thread: arms a latency calibration; the callback later gets the
    // measured latency in samples, or nothing when it timed out. Without any
    // block size known the calibration is not started, the callback is dropped
    // and the result is false.
    bool startLatencyCalibration (CalibrationCallback callback);

    // Message thread: no more timers, calibrations or streaming, and nothing
    // more asked of the pedal's device (before its client is detached).
    void shutDown();

    //==============================================================================
    int getStreamingState() const noexcept { return state.load(); }
    int getCalibrationState() const noexcept { return calibration.getState(); }

    // The latency figure: both targets + extraLatency + 56 samples; 0 until
    // parameters were applied. Any thread.
    int getLatencySamples() const noexcept override { return latency.load(); }

    // Message thread.
    const Parameters& getAppliedParameters() const noexcept { return applied; }
    const Parameters& getPendingParameters() noexcept;
    bool hasAppliedParameters() const noexcept override { return appliedValid; }
    int getPendingHostBlock() const noexcept override { return pendingHostBlock.load(); }
    int getDeviceBlockInUse() const noexcept { return deviceBlockInUse; }
    const Targets& getTargets() const noexcept { return targets; }
    const RingDriftController& getToDeviceControl() const noexcept { return drift.toDevice(); }
    const RingDriftController& getFromDeviceControl() const noexcept { return drift.fromDevice(); }
    double getToDeviceRatio() const noexcept { return toDevice.getRatio(); }
    double getFromDeviceRatio() const noexcept { return fromDevice.getRatio(); }
    int getToDeviceFill() const noexcept { return toDevice.getFill(); }
    int getFromDeviceFill() const noexcept { return fromDevice.getFill(); }

    // Diagnostics, never shown: kept up to date, cleared only with the bridge.
    struct Diagnostics
    {
        int restarts = 0;
        int lastFault = stopped;
        int hostLate = 0, deviceLate = 0;
        int hostStreamStarts = 0, deviceStreamStarts = 0; // each side's timing started afresh: restarts and gaps
        int64_t hostLongestIntervalTicks = 0, deviceLongestIntervalTicks = 0;
        uint32_t ringViolations = 0;       // counts the rings refused
        uint32_t oversizedHostBlocks = 0;  // host blocks above the prepared size, taken in pieces
        uint32_t refusedHostBlocks = 0;    // buffers the host side could not use
        int largestDeviceCallback = 0;     // since the last update
    };

    Diagnostics getDiagnostics() const noexcept;

private:
    // Marks the stretch of a callback in which it may touch the rings, so that
    // the message thread can wait for it to leave before resetting them.
    class CallbackGate
    {
    public:
        struct Scope
        {
            explicit Scope (CallbackGate& g) noexcept : gate (g) { gate.inside.store (true); }
            ~Scope() { gate.inside.store (false); }
            CallbackGate& gate;
        };

        bool isBusy() const noexcept { return inside.load(); }

    private:
        std::atomic<bool> inside { false };
    };

    // What a host piece took from the from-device ring before the stream ended there.
    struct Piece
    {
        int read = 0;
        bool ended = false;
    };

    // PedalAudioBridge: only the pedal's device drives these.
    bool parametersChanged (const Parameters& settings) override;
    bool stop() override;
    void prepare (bool start) override;
    void requestStart() override;

    void handleAsyncUpdate() override;
    void updateAudioParameters (bool start);
    bool hasPendingParameters() noexcept;
    int deliveredBlockSize() const;
    void prime (int64_t now) noexcept;
    Piece processHostPiece (juce::AudioBuffer<float>& buffer, int start, int numSamples, int unread, PedalModeConfig leg,
                            int64_t now) noexcept;
    void streamHostBlock (const juce::AudioSourceChannelInfo& info) noexcept;
    void fadeAfterFault (const juce::AudioSourceChannelInfo& info) noexcept;
    int readWhatIsThere (juce::AudioBuffer<float>& buffer, int start, int numSamples) noexcept;
    bool hostHearsPedal() const noexcept;
    void askHostToLetGo();
    void continueHandOver();
    void armCalibration (int blockSize);
    void restartStream();
    void fault (int kind) noexcept;
    void restart();
    void controlDrift();
    void deliverCalibration();
    bool bothOnTime() const noexcept { return ! hostTiming.isLate() && ! deviceTiming.isLate(); }

    Device* device; // none once shut down
    std::atomic<PedalModeConfig> pedalboardLeg { PedalModeConfig::none };
    std::atomic<int> state { stopped };
    CallbackGate hostGate, deviceGate;

    ResamplingCircularAudioBuffer fromDevice, toDevice;
    BridgeDriftControl drift;
    CallbackTiming hostTiming, deviceTiming;
    BridgeCalibration calibration;

    // The host side's.
    WetSpanTracker spans;

    // A restart or a calibration waiting for the host to let go.
    BridgeHandOver handOver;
    std::atomic<bool> streamSpoiled { false };
    std::atomic<bool> heldAtSetPoints { true }; // both rings in use: held at their set points

    // Pending parameters: rate and host block from the host's prepare, the
    // rest from the pedal's settings on the message thread.
    std::atomic<double> pendingSampleRate { 44100.0 };
    std::atomic<int> pendingHostBlock { 0 };
    Parameters pending;

    // Applied parameters: written on the message thread while both sides are
    // idle and stopped, read by the audio threads once they see a start.
    Parameters applied;
    Targets targets;
    int deviceBlockInUse = 0;
    int observedDeviceBlock = 0;
    int lastDelivered = 0;
    int hostPiece = 1;
    bool appliedValid = false;
    std::atomic<bool> prepared { false };
    std::atomic<int> latency { 0 };

    int restartCount = 0;
    int lastFault = stopped;
    std::atomic<uint32_t> oversizedHostBlocks { 0 }, refusedHostBlocks { 0 };
    std::atomic<int> largestDeviceCallback { 0 };

    JUCE_DECLARE_NON_COPYABLE (AudioIODeviceSource)
};
