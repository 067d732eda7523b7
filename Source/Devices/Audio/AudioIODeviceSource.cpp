#include "Devices/Audio/AudioIODeviceSource.h"

#include "Devices/DeviceModes.h"
#include "Utilities/HostClock.h"

#include <algorithm>
#include <cmath>
#include <thread>

AudioIODeviceSource::AudioIODeviceSource (Device& pedalDevice, const Parameters& settings)
    : device (&pedalDevice), pending (settings)
{
    startTimer (driftTimerId, driftIntervalMs);
    startTimer (restartTimerId, restartIntervalMs);
}

AudioIODeviceSource::~AudioIODeviceSource()
{
    shutDown();
}

void AudioIODeviceSource::shutDown()
{
    stopTimer (driftTimerId);
    stopTimer (restartTimerId);
    stopTimer (calibrationTimerId);
    stopTimer (handOverTimerId);
    handOver.cancel();
    cancelPendingUpdate();
    state.store (stopped);
    prepared.store (false);
    calibration.cancel(); // whoever asked never hears
    device = nullptr;
}

//==============================================================================
void AudioIODeviceSource::prepareToPlay (int samplesPerBlockExpected, double sampleRate)
{
    if (! juce::MessageManager::existsAndIsCurrentThread())
    {
        prepareLater (samplesPerBlockExpected, sampleRate);
        return;
    }

    pendingSampleRate.store (sampleRate);
    pendingHostBlock.store (samplesPerBlockExpected);
    prepared.store (true);
    updateAudioParameters (true);
}

void AudioIODeviceSource::prepareLater (int samplesPerBlockExpected, double sampleRate)
{
    pendingSampleRate.store (sampleRate);
    pendingHostBlock.store (samplesPerBlockExpected);
    prepared.store (true);

    // The pedal's audio device is shared: only the message thread may reopen it.
    state.store (stopped);
    triggerAsyncUpdate();
}

void AudioIODeviceSource::releaseResources()
{
    prepared.store (false);
    state.store (stopped);
}

void AudioIODeviceSource::handleAsyncUpdate()
{
    if (prepared.load())
        updateAudioParameters (true);
}

const AudioIODeviceSource::Parameters& AudioIODeviceSource::getPendingParameters() noexcept
{
    pending.sampleRate = pendingSampleRate.load();
    pending.hostBlock = pendingHostBlock.load();
    return pending;
}

bool AudioIODeviceSource::hasPendingParameters() noexcept
{
    const auto& next = getPendingParameters();
    return next.sampleRate > 0.0 && next.hostBlock > 0;
}

int AudioIODeviceSource::deliveredBlockSize() const
{
    return device != nullptr ? device->getDeliveredBlockSize() : 0;
}

bool AudioIODeviceSource::parametersChanged (const Parameters& settings)
{
    pending.takeSettings (settings);

    if (! hasPendingParameters())
        return false;

    if (! appliedValid || ! hostHearsPedal())
        return true;

    // The stream goes on until the host has faded the pedal's audio out; the
    // host hears of the new latency now, so that its mute starts closing. A
    // device reopened for another block size is taken to deliver that size.
    const auto& next = pending;
    const bool sameDevice = next.sampleRate == applied.sampleRate && next.askedDeviceBlock() == applied.askedDeviceBlock()
                            && deliveredBlockSize() == lastDelivered;
    const int deviceBlock = sameDevice ? deviceBlockInUse : next.askedDeviceBlock();

    handOver.waiting.update = true;
    handOver.waiting.start = handOver.waiting.start || state.load() != stopped;
    latency.store (RingTargets::of (next.hostBlock, deviceBlock, next.inAdjust, next.outAdjust).latency (next.extraLatency));
    askHostToLetGo();
    return false;
}

void AudioIODeviceSource::updateAudioParameters (bool start)
{
    if (! hasPendingParameters())
        return;

    // The device may have to reopen for them: it stops and prepares this bridge.
    if (device != nullptr)
    {
        device->applyParameters (*this, start);
        return;
    }

    stop();
    prepare (start);
}

bool AudioIODeviceSource::stop()
{
    const bool wasStarted = state.load() != stopped;

    if (! hasPendingParameters())
        return wasStarted;

    // A restart that waited for the host is this one.
    handOver.waiting.update = false;
    handOver.waiting.start = false;
    state.store (stopped);
    resetStreaming();
    return wasStarted;
}

void AudioIODeviceSource::prepare (bool start)
{
    if (! hasPendingParameters())
        return;

    const auto& next = pending;

    const bool newRate = next.sampleRate != applied.sampleRate;
    applied = next;

    // The device's own block size where it tells us, else the one asked for;
    // larger callbacks seen since it last changed are taken as the truth.
    const int delivered = deliveredBlockSize();

    if (delivered != lastDelivered)
        observedDeviceBlock = 0;

    lastDelivered = delivered;
    deviceBlockInUse = std::max (delivered > 0 ? delivered : applied.askedDeviceBlock(), observedDeviceBlock);
    largestDeviceCallback.store (0);

    hostTiming.configure (applied.hostBlock, applied.sampleRate);
    deviceTiming.configure (deviceBlockInUse, applied.sampleRate);

    targets = RingTargets::of (applied.hostBlock, deviceBlockInUse, applied.inAdjust, applied.outAdjust);
    drift.configure (targets, newRate);

    const int rampLength = (int) std::floor (0.1 * applied.sampleRate);
    toDevice.setRatioRampLength (rampLength);
    fromDevice.setRatioRampLength (rampLength);

    hostPiece = std::max (1, applied.hostBlock);
    latency.store (targets.latency (applied.extraLatency));
    appliedValid = true;

    if (start)
        requestStart();
}

void AudioIODeviceSource::requestStart()
{
    if (! appliedValid || ! prepared.load() || ! targets.streamable || device == nullptr || ! device->isAudioDeviceOpen())
        return;

    int expected = stopped;

    // A host thread that stopped meanwhile (its releaseResources clears
    // `prepared` before it stops) keeps its stop.
    if (state.compare_exchange_strong (expected, startRequested) && ! prepared.load())
        state.store (stopped);
}

void AudioIODeviceSource::resetStreaming()
{
    jassert (state.load() == stopped);

    // A callback that saw the state before it was stopped may still be in the
    // rings: let it leave. Callbacks entering now see stopped and keep out.
    while (hostGate.isBusy() || deviceGate.isBusy())
        std::this_thread::yield();

    for (auto* ring : { &fromDevice, &toDevice })
    {
        ring->reset();
        ring->clear();
    }

    drift.restart();
    // Whatever gap stopped the stream, each side's is followed afresh.
    hostTiming.restart();
    deviceTiming.restart();
    streamSpoiled.store (false);
}

void AudioIODeviceSource::fault (int kind) noexcept
{
    // Only streaming can fail: a stop that came first stays.
    int expected = streaming;
    state.compare_exchange_strong (expected, kind);
}

//==============================================================================
void AudioIODeviceSource::timerCallback (int timerId)
{
    switch (timerId)
    {
        case driftTimerId:
            controlDrift();
            break;

        case restartTimerId:
            if (isFault (state.load()))
                restart();
            break;

        case calibrationTimerId:
            deliverCalibration();
            break;

        case handOverTimerId:
            continueHandOver();
            break;

        default:
            break;
    }
}

void AudioIODeviceSource::controlDrift()
{
    // A device that calls back with larger blocks than it said: size the rings for them.
    if (appliedValid && largestDeviceCallback.load() > deviceBlockInUse && state.load() != stopped)
    {
        observedDeviceBlock = largestDeviceCallback.load();
        updateAudioParameters (true);
        return;
    }

    const auto ratios = drift.steer (targets, heldAtSetPoints.load());

    // A fault restarts the stream instead, with the ratios as they were.
    if (isFault (state.load()))
    {
        restart();
        return;
    }

    toDevice.setRatio (ratios.toDevice);
    fromDevice.setRatio (ratios.fromDevice);
}

void AudioIODeviceSource::restart()
{
    // Only a fault is left: a stop that a host thread wrote stays.
    int kind = state.load();

    if (! isFault (kind) || ! state.compare_exchange_strong (kind, stopped))
        return;

    lastFault = kind;
    ++restartCount;
    resetStreaming();
    requestStart();
}

void AudioIODeviceSource::restartStream()
{
    int current = state.load();

    if (current == stopped || ! state.compare_exchange_strong (current, stopped))
        return;

    resetStreaming();
    requestStart();
}

//==============================================================================
void AudioIODeviceSource::letGo() noexcept
{
    spans.end();
    handOver.letGo();
}

bool AudioIODeviceSource::hostHearsPedal() const noexcept
{
    return handOver.hostHearsPedal (state.load() == streaming, hostTiming, HostClock::now());
}

void AudioIODeviceSource::askHostToLetGo()
{
    handOver.ask();

    if (! isTimerRunning (handOverTimerId))
        startTimer (handOverTimerId, handOverIntervalMs);
}

void AudioIODeviceSource::continueHandOver()
{
    if (! handOver.tick (hostHearsPedal()))
        return;

    stopTimer (handOverTimerId);
    const auto waited = handOver.finish();

    if (waited.update)
        updateAudioParameters (waited.start);

    if (waited.calibrationBlock > 0)
        armCalibration (waited.calibrationBlock);
}

//==============================================================================
bool AudioIODeviceSource::startLatencyCalibration (CalibrationCallback callback)
{
    const int delivered = deliveredBlockSize();
    const auto settings = getPendingParameters();
    const int block = delivered > 0 ? delivered : settings.askedDeviceBlock();

    if (block <= 0)
        return false;

    calibration.ask (std::move (callback));

    // The calibration keeps the pedal's inputs from the host: a host that
    // hears them fades them out first.
    if (hostHearsPedal())
    {
        handOver.waiting.calibrationBlock = block;
        askHostToLetGo();
        return true;
    }

    armCalibration (block);
    return true;
}

void AudioIODeviceSource::armCalibration (int blockSize)
{
    calibration.arm (blockSize);
    startTimer (calibrationTimerId, calibrationIntervalMs);
}

void AudioIODeviceSource::deliverCalibration()
{
    if (! calibration.isOver())
        return;

    // Either way the calibration is over: the timer stops, and whoever asked hears of it once.
    stopTimer (calibrationTimerId);
    calibration.deliver();

    // A stream that ran while the pedal's inputs were kept out carries them
    // again only from a new start (unless what was stored has restarted it).
    if (streamSpoiled.load())
        restartStream();
}

AudioIODeviceSource::Diagnostics AudioIODeviceSource::getDiagnostics() const noexcept
{
    Diagnostics d;
    d.restarts = restartCount;
    d.lastFault = lastFault;
    d.hostLate = hostTiming.getTotalLate();
    d.deviceLate = deviceTiming.getTotalLate();
    d.hostStreamStarts = hostTiming.getStreamStarts();
    d.deviceStreamStarts = deviceTiming.getStreamStarts();
    d.hostLongestIntervalTicks = hostTiming.getLongestIntervalTicks();
    d.deviceLongestIntervalTicks = deviceTiming.getLongestIntervalTicks();
    d.ringViolations = fromDevice.getViolationCount() + toDevice.getViolationCount();
    d.oversizedHostBlocks = oversizedHostBlocks.load();
    d.refusedHostBlocks = refusedHostBlocks.load();
    d.largestDeviceCallback = largestDeviceCallback.load();
    return d;
}
