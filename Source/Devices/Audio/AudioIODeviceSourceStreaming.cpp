// The bridge's audio threads: the host's blocks through the rings and the
// device's callbacks, which never allocate, lock or wait.
#include "Devices/Audio/AudioIODeviceSource.h"

#include "Devices/DeviceModes.h"
#include "Utilities/HostClock.h"

#include <algorithm>
#include <cmath>

namespace
{
template <typename Value>
void raise (std::atomic<Value>& maximum, Value value) noexcept
{
    auto current = maximum.load();
    while (value > current && ! maximum.compare_exchange_weak (current, value))
    {
    }
}
} // namespace

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
