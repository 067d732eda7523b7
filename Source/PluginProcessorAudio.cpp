// The host's audio: preparing, block processing and bypass, the dry delay, the
// wet/dry and mute gains, and the latency reported to the host.
#include "PluginProcessor.h"

#include "Settings/SettingsIdentifiers.h"

#include <algorithm>
#include <limits>

namespace
{
// The four settings a latency estimate needs, packed so that any thread reads them whole.
uint64_t packSettings (DeviceSettings& s)
{
    const auto field = [] (int value, int shift) { return (uint64_t) (uint16_t) value << shift; };
    return field (s.blockSize.get(), 0) | field (s.inAdjust.get(), 16) | field (s.outAdjust.get(), 32)
           | field (s.extraLatency.get(), 48);
}

AudioIODeviceSource::Parameters unpackSettings (uint64_t packed, double sampleRate, int hostBlock)
{
    const auto field = [packed] (int shift) { return (int) (uint16_t) (packed >> shift); };
    return { sampleRate, hostBlock, field (0), field (16), field (32), field (48) };
}

AudioIODeviceSource::Parameters parametersOf (DeviceSettings& s, double sampleRate, int hostBlock)
{
    return unpackSettings (packSettings (s), sampleRate, hostBlock);
}
} // namespace

VelmoraAudioProcessor::AudioBuffers::AudioBuffers (int block, int largestLatency)
    : dryBuffer (2, largestLatency + block + 1), dryBlock (2, block), monoBuffer (1, block), blockSize (block)
{
    dryBlock.clear();
    monoBuffer.clear();
}

//==============================================================================
void VelmoraAudioProcessor::prepareToPlay (double newSampleRate, int newBlockSize)
{
    if (! (newSampleRate > 0.0) || newBlockSize <= 0)
        return;

    const bool onMessageThread = isMessageThread();
    prepared = true;
    sampleRate = newSampleRate;
    blockSize = newBlockSize;

    int latency = 0;

    if (onMessageThread)
    {
        if (usbClient != nullptr)
            prepareClient (newSampleRate, newBlockSize);

        latency = computeLatency();
    }
    else
    {
        // The pedal's audio device is shared: this thread only stops the
        // bridge; the message thread reopens what needs it and reports then.
        const AudioThreadGuard::Scope inPrepare (prepareGuard);
        auto* client = audioClient.load();
        auto* device = audioDevice.load();

        if (client != nullptr && device != nullptr)
        {
            device->getDriver().setSampleRate ((int) newSampleRate);
            client->getAudioSource().prepareLater (newBlockSize, newSampleRate);
            latency = client->getAudioSource().getLatencySamples();
        }

        if (latency <= 0)
            latency = estimateLatency (newBlockSize);

        triggerAsyncUpdate();
    }

    // Built first, then handed to the audio thread under the callback lock.
    const std::lock_guard<std::mutex> building (audioBuffersBuilding);
    std::unique_ptr<AudioBuffers> next;

    if (audioBuffers == nullptr || audioBuffers->blockSize != newBlockSize || ! audioBuffers->fits (latency))
        next = std::make_unique<AudioBuffers> (newBlockSize, std::max (latency, AudioIODeviceSource::largestLatency (newBlockSize)));

    {
        const juce::ScopedLock lock (getCallbackLock());
        muteGain.prepare (newSampleRate, newBlockSize);
        wetGain.prepare (newSampleRate, newBlockSize);

        // A new dry line holds no history: it starts at the new latency.
        if (next != nullptr)
        {
            std::swap (audioBuffers, next);
            dryLatency = latency;
        }

        reportedLatency = latency;
    }

    next.reset();
    tellHostLatency();
}

void VelmoraAudioProcessor::releaseResources()
{
    prepared = false;

    if (isMessageThread())
    {
        if (usbClient != nullptr)
            usbClient->getAudioSource().releaseResources();
        return;
    }

    const AudioThreadGuard::Scope inPrepare (prepareGuard);
    if (auto* client = audioClient.load())
        client->getAudioSource().releaseResources();
}

void VelmoraAudioProcessor::prepareClient (double rate, int block)
{
    jassert (isMessageThread() && usbClient != nullptr && currentDevice != nullptr);

    currentDevice->getDriver().setSampleRate ((int) rate);
    usbClient->getAudioSource().prepareToPlay (block, rate);
}

// After a host prepared on a thread of its own: what only the message thread may do.
void VelmoraAudioProcessor::handleAsyncUpdate()
{
    if (usbClient != nullptr)
        usbClient->getAudioSource().applyPendingUpdate();

    reportLatency();
}

//==============================================================================
void VelmoraAudioProcessor::rememberRecentSettings()
{
    jassert (isMessageThread());

    auto tree = deviceManager->getRecentSettings();
    if (! tree.hasType (ID::DEVICE))
        tree = juce::ValueTree (ID::DEVICE);

    DeviceSettings recent (tree);
    recentSettings = packSettings (recent);
}

int VelmoraAudioProcessor::estimateLatency (int hostBlock) const noexcept
{
    return AudioIODeviceSource::estimateLatency (unpackSettings (recentSettings.load(), sampleRate.load(), hostBlock));
}

int VelmoraAudioProcessor::computeLatency()
{
    rememberRecentSettings();

    if (usbClient == nullptr || currentDevice == nullptr)
        return estimateLatency (blockSize);

    if (const int latency = usbClient->getAudioSource().getLatencySamples(); latency > 0)
        return latency;

    // A bridge not prepared yet: what its pedal's settings will give.
    return AudioIODeviceSource::estimateLatency (parametersOf (currentDevice->getDriver().getSettings(), sampleRate, blockSize));
}

void VelmoraAudioProcessor::reportLatency()
{
    reportLatency (computeLatency());
}

void VelmoraAudioProcessor::reportLatency (int latency)
{
    jassert (isMessageThread());

    // The dry line grows first, so that the audio thread can take the new delay at once.
    ensureDryCapacity (latency);
    reportedLatency = latency;
    tellHostLatency();
}

// A host may prepare on its own thread while the message thread reports: the
// host always ends up told the latency reported last.
void VelmoraAudioProcessor::tellHostLatency()
{
    const std::lock_guard<std::mutex> telling (latencyTelling);
    setLatencySamples (reportedLatency.load());
}

void VelmoraAudioProcessor::latencyChanged (int)
{
    reportLatency();
}

// A device that calls back with larger blocks than any setting asks for can
// need a longer dry line than prepared.
void VelmoraAudioProcessor::ensureDryCapacity (int latency)
{
    const std::lock_guard<std::mutex> building (audioBuffersBuilding);

    if (audioBuffers->fits (latency))
        return;

    const int block = audioBuffers->blockSize;
    auto next = std::make_unique<AudioBuffers> (block, std::max (latency, AudioIODeviceSource::largestLatency (block)));

    {
        const juce::ScopedLock lock (getCallbackLock());
        std::swap (audioBuffers, next);
    }
}

//==============================================================================
void VelmoraAudioProcessor::processBlock (juce::AudioBuffer<float>& buffer, juce::MidiBuffer& midi)
{
    processBlockEx (buffer, midi, false);
}

void VelmoraAudioProcessor::processBlockBypassed (juce::AudioBuffer<float>& buffer, juce::MidiBuffer& midi)
{
    processBlockEx (buffer, midi, true);
}

// A host block longer than prepared is taken in pieces of the prepared size.
void VelmoraAudioProcessor::processBlockEx (juce::AudioBuffer<float>& buffer, juce::MidiBuffer& midi, bool bypassed)
{
    const AudioThreadGuard::Scope inBlock (hostAudioGuard);
    midi.clear();

    auto& buffers = *audioBuffers;
    const int total = buffer.getNumSamples();

    for (int start = 0; start < total; start += buffers.blockSize)
    {
        juce::AudioBuffer<float> piece (buffer.getArrayOfWritePointers(), buffer.getNumChannels(), start,
                                        std::min (buffers.blockSize, total - start));
        processPiece (piece, buffers, bypassed);
    }
}

void VelmoraAudioProcessor::processPiece (juce::AudioBuffer<float>& block, AudioBuffers& buffers, bool bypassed) noexcept
{
    const int numSamples = block.getNumSamples();
    const bool wetOff = bypassed || bypassParameter->get() == 0;

    buffers.dryBuffer.writeBuffer (block.getArrayOfReadPointers(), block.getNumChannels(), numSamples, 0, false);

    // The block now holds the pedal's audio, or silence where it carries none.
    const bool carried = routeThroughPedal (block, buffers);
    wetGain.setTargetValue (wetOff || ! carried ? 0.0f : (float) mixWetParameter->get() / 127.0f);

    // A new latency switches the dry delay only where the mute has silenced it.
    const int latency = reportedLatency.load();
    float muteTarget = 1.0f;

    if (latency != dryLatency)
    {
        if (muteGain.getCurrentValue() == 0.0f && buffers.fits (latency))
            dryLatency = latency;
        else
            muteTarget = 0.0f;
    }

    muteGain.setTargetValue (muteTarget);
    readDelayedDry (buffers, numSamples);

    const float w0 = wetGain.getCurrentValue(), w1 = wetGain.getNextValue();
    const float m0 = muteGain.getCurrentValue(), m1 = muteGain.getNextValue();

    if (block.getNumChannels() == 0)
        return;

    block.applyGainRamp (0, numSamples, w0 * m0, w1 * m1);

    const float d0 = m0 * (1.0f - w0), d1 = m1 * (1.0f - w1);
    for (int c = 0; c < std::min (block.getNumChannels(), buffers.dryBlock.getNumChannels()); ++c)
        block.addFromWithRamp (c, 0, buffers.dryBlock.getReadPointer (c), numSamples, d0, d1);
}

bool VelmoraAudioProcessor::routeThroughPedal (juce::AudioBuffer<float>& block, AudioBuffers& buffers) noexcept
{
    auto* client = audioClient.load();
    auto* device = audioDevice.load();
    const int mode = device != nullptr ? device->getDriver().getState() : (int) modeNone;

    if (client == nullptr || device == nullptr || (mode != modeAudio && mode != modePedalboard))
    {
        samplesWithoutPedalAudio.store (0, std::memory_order_relaxed);
        block.clear();
        return false;
    }

    auto& bridge = client->getAudioSource();
    const bool wasStreaming = bridge.getStreamingState() == AudioIODeviceSource::streaming;
    const int numSamples = block.getNumSamples();

    // Mono use of a stereo track: the pedal gets the average of both sides,
    // and its one channel comes back on both.
    if (mode == modeAudio && device->getController().isSplit() && block.getNumChannels() == 2
        && getTotalNumInputChannels() == 2)
    {
        auto& mono = buffers.monoBuffer;
        mono.copyFrom (0, 0, block.getReadPointer (0), numSamples, 0.5f);
        mono.addFrom (0, 0, block.getReadPointer (1), numSamples, 0.5f);
        client->getNextAudioBlock (juce::AudioSourceChannelInfo (&mono, 0, numSamples));

        for (int c = 0; c < 2; ++c)
            block.copyFrom (c, 0, mono, 0, 0, numSamples);

        mono.clear();
    }
    else
    {
        client->getNextAudioBlock (juce::AudioSourceChannelInfo (block));
    }

    // What a bridge that is not streaming gives is silence, and a calibration
    // keeps the pedal's inputs from the host: the dry signal plays instead.
    const bool streaming = wasStreaming && bridge.getStreamingState() == AudioIODeviceSource::streaming;
    const bool calibrating = bridge.getCalibrationState() == AudioLatencyDetector::armed
                             || bridge.getCalibrationState() == AudioLatencyDetector::listening;

    if (streaming && ! calibrating)
    {
        samplesWithoutPedalAudio.store (0, std::memory_order_relaxed);
        return true;
    }

    if (! streaming)
    {
        const int played = samplesWithoutPedalAudio.load (std::memory_order_relaxed);
        samplesWithoutPedalAudio.store (std::min (played, std::numeric_limits<int>::max() - numSamples) + numSamples,
                                        std::memory_order_relaxed);
    }

    block.clear();
    return false;
}

void VelmoraAudioProcessor::readDelayedDry (AudioBuffers& buffers, int numSamples) noexcept
{
    auto& ring = buffers.dryBuffer;
    auto* const* dry = buffers.dryBlock.getArrayOfWritePointers();

    if (! ring.setReadBehindWrite (numSamples + dryLatency)
        || ! ring.readBuffer (dry, buffers.dryBlock.getNumChannels(), numSamples, 0, true))
        buffers.dryBlock.clear (0, numSamples);
}

//==============================================================================
// Message thread: a pedal that should carry the audio but does not is said
// once per attachment; the latency the host knows follows every change.
void VelmoraAudioProcessor::followLatency()
{
    jassert (isMessageThread());

    if (computeLatency() != reportedLatency.load())
        reportLatency();
}

void VelmoraAudioProcessor::watchPedalAudio()
{
    followLatency();

    if (audioFallbackLogged || usbClient == nullptr || ! prepared)
        return;

    if (samplesWithoutPedalAudio.load (std::memory_order_relaxed) < fallbackReportSeconds * sampleRate.load())
        return;

    audioFallbackLogged = true;
    juce::Logger::writeToLog ("Pellion: " + describeAudioFailure() + "; the track plays dry.");
}

juce::String VelmoraAudioProcessor::describeAudioFailure()
{
    auto& driver = currentDevice->getDriver();
    const auto& name = currentDevice->getName();

    if (driver.getAudioDevice() == nullptr)
        return "the pedal " + name + " has no audio device";

    if (! driver.isAudioDeviceOpen())
        return "the audio device of " + name + " did not open";

    if (usbClient->getAudioSource().getStreamingState() == AudioIODeviceSource::startRequested)
        return "the audio device of " + name + " does not serve this instance's channels";

    return "the audio of " + name + " is not streaming";
}
