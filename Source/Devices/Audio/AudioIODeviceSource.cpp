#include "Devices/Audio/AudioIODeviceSource.h"

#include "Devices/DeviceModes.h"
#include "Utilities/HostClock.h"

#include <algorithm>
#include <cmath>
#include <thread>

namespace
{
constexpr int readerLookAhead = RingTargets::readerLookAhead;

template <typename Value>
void raise (std::atomic<Value>& maximum, Value value) noexcept
{
    auto current = maximum.load();
    while (value > current && ! maximum.compare_exchange_weak (current, value))
    {
    }
}
} // namespace

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
void AudioIODeviceSource::prime (int64_t now) noexcept
{
    // Drift control measures each ring against both sides' steady streams
    // (CallbackTiming::leadAt): the from-device ring right after the host
    // read, the to-device ring right after the device read. Priming moves
    // what the device's stream has produced since its last callback from the
    // from-device ring to the to-device ring, and what the host's stream is
    // still to read of this period (the rest of a cut period, or what a small
    // block falls short of a prepared one) back, so that both measures start at their set points,
    // whatever the phase of the clocks and the size of this block, and drift
    // control holds them there. The latency, the sum of both, stays. A
    // pedalboard leg uses one ring, which starts and is held at its target the
    // same way.
    const auto leg = pedalboardLeg.load();
    const bool bothRings = leg == PedalModeConfig::none;
    const int fromHeld = bothRings ? targets.fromSetPoint : targets.fromDevice;
    const int toHeld = bothRings ? targets.toSetPoint : targets.toDevice;
    const int moved = std::clamp ((int) std::lround (-deviceTiming.leadAt (now) + hostTiming.leadAt (now)), -toHeld, fromHeld);
    heldAtSetPoints.store (bothRings);

    // The host side stores only its own indices: the from-device ring's read
    // index and the to-device ring's write index.
    fromDevice.setReadBehindWrite (fromHeld - moved);
    toDevice.setWriteAheadOfRead (toHeld + moved);

    // The host's first samples of this stream are those of its next block;
    // the pedal's audio begins where they come back. What the from-device
    // ring holds until then is its primed silence and whatever the pedal
    // still returned of an earlier stream. The OUT leg keeps the host's own
    // samples; the IN leg's are the pedal's once the primed silence is read.
    const int streamLatency = targets.latency (applied.extraLatency);
    const bool spoiled = calibration.isMeasuring();
    spans.begin (streamLatency, leg == PedalModeConfig::out ? 0 : leg == PedalModeConfig::in ? fromHeld - moved : streamLatency,
                 spoiled);
    streamSpoiled.store (spoiled);
}

void AudioIODeviceSource::getNextAudioBlock (const juce::AudioSourceChannelInfo& info)
{
    const CallbackGate::Scope inside (hostGate);
    auto* buffer = info.buffer;

    if (buffer == nullptr || info.numSamples <= 0 || info.startSample < 0
        || info.startSample + info.numSamples > buffer->getNumSamples())
    {
        refusedHostBlocks.fetch_add (1, std::memory_order_relaxed);
        spans.refuse();
        handOver.setHostHearing (false);
        return;
    }

    // Until something says otherwise: none of the pedal's audio.
    spans.startBlock (info.numSamples);
    int current = state.load();

    if (current == running)
    {
        // Primed before streaming shows, so the device side never reads an
        // unprimed ring. This block starts the host's timing, which the
        // to-device ring's measurements count from.
        const auto now = HostClock::now();
        hostTiming.record (now, info.numSamples);
        prime (now);
        state.compare_exchange_strong (current, streaming);
        info.clearActiveBufferRegion();
    }
    else if (current == streaming)
    {
        streamHostBlock (info);
    }
    else if (isFault (current) && ! spans.hasEnded())
    {
        fadeAfterFault (info);
    }
    else
    {
        info.clearActiveBufferRegion();
    }

    handOver.setHostHearing (spans.getSpan().carries());
}

void AudioIODeviceSource::streamHostBlock (const juce::AudioSourceChannelInfo& info) noexcept
{
    auto& buffer = *info.buffer;
    const auto now = HostClock::now();
    hostTiming.record (now, info.numSamples);
    const auto leg = pedalboardLeg.load();
    const int readFrom = fromDevice.getReadIndex();

    if (calibration.isMeasuring() && spans.spoil())
        streamSpoiled.store (true);

    if (info.numSamples > hostPiece)
        oversizedHostBlocks.fetch_add (1, std::memory_order_relaxed);

    for (int done = 0; done < info.numSamples;)
    {
        const int piece = std::min (hostPiece, info.numSamples - done);
        const auto result = processHostPiece (buffer, info.startSample + done, piece, info.numSamples - done - piece, leg, now);

        if (result.ended)
        {
            const int end = done + result.read;
            buffer.clear (info.startSample + end, info.numSamples - end);
            spans.markRead (end, fromDevice.getReadIndex() - readFrom);
            spans.endAt (end);
            return;
        }

        done += piece;
    }

    spans.markRead (info.numSamples, fromDevice.getReadIndex() - readFrom);

    // A device that has stopped calling back while the next block could not
    // be read without it: this block is the last of the pedal's audio for
    // now. Should the device come back, its audio is the pedal's again from
    // the first sample it writes.
    if (leg != PedalModeConfig::out && deviceTiming.isOverdue (now) && fromDevice.getReadableSamples() < info.numSamples)
        spans.deviceStopped (fromDevice.getFill());

    spans.askToHandOver (handOver.isWanted());
}

void AudioIODeviceSource::fadeAfterFault (const juce::AudioSourceChannelInfo& info) noexcept
{
    // The device side's fault stopped the stream between two host blocks: the
    // from-device ring still holds what the pedal sent back, and one more
    // block of it lets the host fade out. The device never writes over what
    // the host has not read, so that block continues where the host left off.
    if (pedalboardLeg.load() == PedalModeConfig::out)
    {
        info.clearActiveBufferRegion();
        spans.endAt (0);
        return;
    }

    const int readFrom = fromDevice.getReadIndex();
    const int got = readWhatIsThere (*info.buffer, info.startSample, info.numSamples);
    spans.markRead (got, fromDevice.getReadIndex() - readFrom);
    spans.endAt (got);
}

int AudioIODeviceSource::readWhatIsThere (juce::AudioBuffer<float>& buffer, int start, int numSamples) noexcept
{
    const int got = std::min (numSamples, fromDevice.getReadableSamples());

    if (got <= 0 || ! fromDevice.readBuffer (buffer.getArrayOfWritePointers(), buffer.getNumChannels(), got, start, true))
    {
        buffer.clear (start, numSamples);
        return 0;
    }

    buffer.clear (start + got, numSamples - got);
    return got;
}

AudioIODeviceSource::Piece AudioIODeviceSource::processHostPiece (juce::AudioBuffer<float>& buffer, int start,
                                                                int numSamples, int unread, PedalModeConfig leg,
                                                                int64_t now) noexcept
{
    const int numChannels = buffer.getNumChannels();
    bool ended = false;

    if (leg != PedalModeConfig::in
        && ! toDevice.writeBuffer (buffer.getArrayOfReadPointers(), numChannels, numSamples, start, true))
    {
        fault (hostWriteFailed);
        ended = true;
    }

    // The OUT leg sends the block on and keeps it.
    if (leg == PedalModeConfig::out)
        return { numSamples, ended };

    // Too little to read: what there is is the last of the pedal's audio.
    if (fromDevice.getReadableSamples() < numSamples
        || ! fromDevice.readBuffer (buffer.getArrayOfWritePointers(), numChannels, numSamples, start, true))
    {
        fault (hostReadFailed);
        return { readWhatIsThere (buffer, start, numSamples), true };
    }

    // The host's stream has read the rest of this block too.
    const int fill = fromDevice.getFill();
    const double streams = -deviceTiming.leadAt (now) + hostTiming.leadAt (now) - unread;
    drift.fromDevice().offer (fromDevice.getExactFill() + streams, bothOnTime());

    if (fill < 1 || fill >= targets.fromLimit)
    {
        fault (hostFillOutOfRange);
        ended = true;
    }

    return { numSamples, ended };
}

void AudioIODeviceSource::audioDeviceIOCallbackWithContext (const float* const* inputs, int numInputs,
                                                            float* const* outputs, int numOutputs, int numSamples,
                                                            const juce::AudioIODeviceCallbackContext&)
{
    if (numSamples <= 0)
        return;

    const auto leg = pedalboardLeg.load();
    const bool feedsOutputs = leg != PedalModeConfig::in;

    {
        const CallbackGate::Scope inside (deviceGate);
        int current = state.load();

        if (current != stopped)
        {
            raise (largestDeviceCallback, numSamples);
            const auto now = HostClock::now();
            deviceTiming.record (now, numSamples);

            // The OUT leg takes nothing back (its host side never reads), and a
            // calibration is never heard. The host may still read this ring
            // after a fault (its fade), so no state lets the device write over
            // what the host has not read: a block that does not fit is dropped.
            if (leg != PedalModeConfig::out)
            {
                const bool written = calibration.isMeasuring()
                                         ? fromDevice.writeBuffer (nullptr, 0, numSamples, 0, true)
                                         : fromDevice.writeBuffer (inputs, numInputs, numSamples, 0, true);

                if (! written)
                    fault (deviceWriteFailed);
            }

            // Outputs left alone here were cleared by the driver or belong to another client.
            if (feedsOutputs && current == streaming
                && ! toDevice.readBuffer (outputs, numOutputs, numSamples, 0, true))
                fault (deviceReadFailed);

            if (current == startRequested)
                state.compare_exchange_strong (current, running);

            if (state.load() == streaming && feedsOutputs)
            {
                const int fill = toDevice.getFill();
                const double streams = -hostTiming.leadAt (now) + deviceTiming.leadAt (now);
                drift.toDevice().offer (toDevice.getExactFill() + streams, bothOnTime());

                if (fill < 1 || fill >= targets.toLimit)
                    fault (deviceFillOutOfRange);
            }
        }
    }

    calibration.process (inputs, numInputs, outputs, numOutputs, numSamples, feedsOutputs);
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
