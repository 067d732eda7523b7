#include "Processor/HostAudioPath.h"

#include "Devices/UsbDeviceManager.h"
#include "Processor/PedalRoute.h"
#include "Settings/SettingsIdentifiers.h"

#include <algorithm>
#include <limits>
#include <utility>

HostAudioPath::AudioBuffers::AudioBuffers (int block, int largestLatency)
    : dryBuffer (2, largestLatency + block + 1), dryBlock (2, block), monoBuffer (1, block), fadeGains (1, block),
      blockSize (block)
{
    dryBlock.clear();
    monoBuffer.clear();
    fadeGains.clear();
}

// Through dryBlock, a piece at a time; the read index the older line is left
// with does not matter, since it is about to go.
void HostAudioPath::AudioBuffers::takeHistory (CircularAudioBuffer& older) noexcept
{
    const int count = std::min (older.getCapacity(), dryBuffer.getCapacity()) - 1;
    auto& piece = dryBlock;

    if (! older.setReadBehindWrite (count))
        return;

    for (int done = 0; done < count; done += blockSize)
    {
        const int n = std::min (blockSize, count - done);
        older.readBuffer (piece.getArrayOfWritePointers(), piece.getNumChannels(), n, 0, true);
        dryBuffer.writeBuffer (piece.getArrayOfReadPointers(), piece.getNumChannels(), n, 0, true);
    }

    piece.clear();
}

//==============================================================================
HostAudioPath::HostAudioPath (juce::AudioProcessor& hostToTell, const AudioValueTreeState& parameterStore,
                              const PedalRoute& pedalRoute, UsbBaseDeviceManager<UsbDevice>& pedalManager)
    : host (hostToTell), store (parameterStore), route (pedalRoute), pedals (pedalManager),
      bypassParameter (*store.getParameter ("bypass")), mixWetParameter (*store.getParameter ("mixWet"))
{
    // The dry line starts silent, sized for the host's block until it prepares.
    rememberRecentSettings();
    audioBuffers = std::make_unique<AudioBuffers> (blockSize, AudioIODeviceSource::largestLatency (blockSize));
}

HostAudioPath::~HostAudioPath()
{
    cancelPendingUpdate();
    delete recentSettings.exchange (nullptr);
}

//==============================================================================
void HostAudioPath::prepare (double newSampleRate, int newBlockSize)
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
        if (route.getClient() != nullptr)
            prepareClient (newSampleRate, newBlockSize);

        latency = computeLatency();
    }
    else
    {
        // The pedal's audio device is shared: this thread only stops the
        // bridge; the message thread reopens what needs it and reports then.
        const AudioThreadGuard::Scope inPrepare (prepareGuard);
        auto* client = route.getClient();
        auto* device = route.getDevice();

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
    // The dry line goes on holding the latency it has, so the delay switches
    // under the mute, as any latency change does.
    const std::lock_guard<std::mutex> building (audioBuffersBuilding);
    std::unique_ptr<AudioBuffers> next;

    if (audioBuffers->blockSize != newBlockSize || ! audioBuffers->fits (latency))
        next = std::make_unique<AudioBuffers> (newBlockSize, std::max ({ latency, audioBuffers->largestLatency(),
                                                                         AudioIODeviceSource::largestLatency (newBlockSize) }));

    {
        const juce::ScopedLock lock (host.getCallbackLock());
        muteGain.prepare (newSampleRate, newBlockSize);
        wetGain.prepare (newSampleRate, newBlockSize);
        pedalFade.prepare (newSampleRate);
        publish (next);
        reportedLatency = latency;
    }

    next.reset();
    tellHostLatency();
}

void HostAudioPath::release()
{
    prepared = false;

    if (isMessageThread())
    {
        if (auto* client = route.getClient())
            client->getAudioSource().releaseResources();
        return;
    }

    const AudioThreadGuard::Scope inPrepare (prepareGuard);
    if (auto* client = route.getClient())
        client->getAudioSource().releaseResources();
}

void HostAudioPath::prepareClient (double rate, int block)
{
    auto* client = route.getClient();
    auto* device = route.getDevice();
    jassert (isMessageThread() && client != nullptr && device != nullptr);

    device->getDriver().setSampleRate ((int) rate);
    client->getAudioSource().prepareToPlay (block, rate);
}

void HostAudioPath::pedalAttached()
{
    jassert (isMessageThread());
    audioFailureLogged = false;

    // The driver announces what preparing the bridge does to the latency.
    if (prepared)
        prepareClient (sampleRate, blockSize);

    reportLatency();
}

// After a host prepared on a thread of its own: what only the message thread may do.
void HostAudioPath::handleAsyncUpdate()
{
    if (auto* client = route.getClient())
        client->getAudioSource().applyPendingUpdate();

    reportLatency();
}

//==============================================================================
void HostAudioPath::rememberRecentSettings()
{
    jassert (isMessageThread());

    auto tree = pedals.getRecentSettings();
    if (! tree.hasType (ID::DEVICE))
        tree = juce::ValueTree (ID::DEVICE);

    DeviceSettings recent (tree);
    const auto settings = AudioIODeviceSource::Parameters::of (recent);

    if (auto* current = recentSettings.load(); current != nullptr && *current == settings)
        return;

    // A thread preparing meanwhile may still read the one replaced.
    std::unique_ptr<const AudioIODeviceSource::Parameters> replaced (
        recentSettings.exchange (new AudioIODeviceSource::Parameters (settings)));
    pedals.getRetiredObjects().retire (std::move (replaced));
}

int HostAudioPath::estimateLatency (int hostBlock) const noexcept
{
    auto parameters = *recentSettings.load();
    parameters.sampleRate = sampleRate.load();
    parameters.hostBlock = hostBlock;
    return AudioIODeviceSource::estimateLatency (parameters);
}

int HostAudioPath::computeLatency()
{
    rememberRecentSettings();

    auto* client = route.getClient();
    auto* device = route.getDevice();

    if (client == nullptr || device == nullptr)
        return estimateLatency (blockSize);

    if (const int latency = client->getAudioSource().getLatencySamples(); latency > 0)
        return latency;

    // A bridge not prepared yet: what its pedal's settings will give.
    return AudioIODeviceSource::estimateLatency (
        AudioIODeviceSource::Parameters::of (device->getDriver().getSettings(), sampleRate, blockSize));
}

void HostAudioPath::reportLatency()
{
    reportLatency (computeLatency());
}

void HostAudioPath::reportLatency (int latency)
{
    jassert (isMessageThread());

    // The dry line grows first, so that the audio thread can take the new delay at once.
    ensureDryCapacity (latency);
    reportedLatency = latency;
    tellHostLatency();
}

// A host may prepare on its own thread while the message thread reports: the
// host always ends up told the latency reported last.
void HostAudioPath::tellHostLatency()
{
    const std::lock_guard<std::mutex> telling (latencyTelling);
    host.setLatencySamples (reportedLatency.load());
}

// A device that calls back with larger blocks than any setting asks for can
// need a longer dry line than prepared.
void HostAudioPath::ensureDryCapacity (int latency)
{
    const std::lock_guard<std::mutex> building (audioBuffersBuilding);

    if (audioBuffers->fits (latency))
        return;

    auto next = std::make_unique<AudioBuffers> (audioBuffers->blockSize, latency);

    {
        const juce::ScopedLock lock (host.getCallbackLock());
        publish (next);
    }
}

// Under the callback lock: the new buffers take over, with the dry line's
// history, so that the dry signal goes on where it was.
void HostAudioPath::publish (std::unique_ptr<AudioBuffers>& next) noexcept
{
    if (next == nullptr)
        return;

    next->takeHistory (audioBuffers->dryBuffer);
    std::swap (audioBuffers, next);
}

//==============================================================================
void HostAudioPath::process (juce::AudioBuffer<float>& buffer, bool bypassed)
{
    const AudioThreadGuard::Scope inBlock (hostAudioGuard);

    auto& buffers = *audioBuffers;
    const int total = buffer.getNumSamples();

    for (int start = 0; start < total; start += buffers.blockSize)
    {
        juce::AudioBuffer<float> piece (buffer.getArrayOfWritePointers(), buffer.getNumChannels(), start,
                                        std::min (buffers.blockSize, total - start));
        processPiece (piece, buffers, bypassed);
    }
}

void HostAudioPath::processPiece (juce::AudioBuffer<float>& block, AudioBuffers& buffers, bool bypassed) noexcept
{
    const int numSamples = block.getNumSamples();
    const bool wetOff = bypassed || bypassParameter.get() == 0;

    buffers.dryBuffer.writeBuffer (block.getArrayOfReadPointers(), block.getNumChannels(), numSamples, 0, false);

    // The block now holds what the pedal's bridge gave back, or silence. A
    // pedal in use keeps its share of the mix while its audio is missing,
    // however long: the dry signal never fills in for it.
    auto* bridge = routeThroughPedal (block, buffers);
    wetGain.setTargetValue (wetOff || bridge == nullptr ? 0.0f : (float) mixWetParameter.get() / 127.0f);

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

    const float w0 = wetGain.getCurrentValue(), w1 = wetGain.getNextValue();
    const float m0 = muteGain.getCurrentValue(), m1 = muteGain.getNextValue();
    const float a0 = w0 * m0, a1 = w1 * m1;             // the pedal's share, where it carries audio
    const float d0 = m0 * (1.0f - w0), d1 = m1 * (1.0f - w1); // the dry share

    // Only the pedal's audio that lines up with the dry path is heard, faded in
    // and out by the fade; the dry signal keeps its own share throughout, so
    // where the pedal carries no audio only that share is heard.
    if (bridge != nullptr && bridge->getLastWetSpan().latency == dryLatency)
    {
        pedalFade.plan (bridge->getLastWetSpan(), numSamples, a0, a1);

        if (pedalFade.mayLetGo())
            bridge->letGo();
    }
    else
    {
        pedalFade.silence (numSamples);
    }

    if (block.getNumChannels() == 0)
        return;

    if (pedalFade.isSteady())
    {
        const float carry = pedalFade.getSteadyGain();
        mixDry (block, buffers, a0 * carry, a1 * carry, d0, d1);
        return;
    }

    applyFadingGain (block, buffers, a0, a1);
    addDelayedDry (block, buffers, d0, d1);
}

// Output = the block x a linear ramp from wet0 to wet1 + the delayed dry
// signal x a linear ramp from dry0 to dry1: two copies (into the dry line and
// back out) where only one of them is heard at a steady gain.
void HostAudioPath::mixDry (juce::AudioBuffer<float>& block, AudioBuffers& buffers, float wet0, float wet1,
                                    float dry0, float dry1) noexcept
{
    const int numSamples = block.getNumSamples();
    const int numChannels = std::min (block.getNumChannels(), buffers.dryBlock.getNumChannels());

    if (wet0 == 0.0f && wet1 == 0.0f)
    {
        if ((dry0 == 0.0f && dry1 == 0.0f) || ! readDelayedDry (block.getArrayOfWritePointers(), numChannels, buffers, numSamples))
            block.clear();
        else if (dry0 != 1.0f || dry1 != 1.0f)
            block.applyGainRamp (0, numSamples, dry0, dry1);

        for (int c = numChannels; c < block.getNumChannels(); ++c)
            block.clear (c, 0, numSamples);

        return;
    }

    if (wet0 != 1.0f || wet1 != 1.0f)
        block.applyGainRamp (0, numSamples, wet0, wet1);

    addDelayedDry (block, buffers, dry0, dry1);
}

// While the pedal's audio fades in or out: its share, a linear ramp from a0
// to a1, times the fade's gain, sample by sample.
void HostAudioPath::applyFadingGain (juce::AudioBuffer<float>& block, AudioBuffers& buffers, float a0, float a1) noexcept
{
    const int numSamples = block.getNumSamples();
    float* const gain = buffers.fadeGains.getWritePointer (0);
    pedalFade.fill (gain);

    const float step = (a1 - a0) / (float) numSamples;
    for (int i = 0; i < numSamples; ++i)
        gain[i] *= a0 + step * (float) i;

    for (int c = 0; c < block.getNumChannels(); ++c)
        juce::FloatVectorOperations::multiply (block.getWritePointer (c), gain, numSamples);
}

void HostAudioPath::addDelayedDry (juce::AudioBuffer<float>& block, AudioBuffers& buffers, float dry0, float dry1) noexcept
{
    const int numSamples = block.getNumSamples();
    const int numChannels = std::min (block.getNumChannels(), buffers.dryBlock.getNumChannels());

    if ((dry0 == 0.0f && dry1 == 0.0f) || ! readDelayedDry (buffers.dryBlock.getArrayOfWritePointers(), numChannels, buffers, numSamples))
        return;

    for (int c = 0; c < numChannels; ++c)
        block.addFromWithRamp (c, 0, buffers.dryBlock.getReadPointer (c), numSamples, dry0, dry1);
}

AudioIODeviceSource* HostAudioPath::routeThroughPedal (juce::AudioBuffer<float>& block, AudioBuffers& buffers) noexcept
{
    auto* client = route.getClient();
    auto* device = route.getDevice();
    const Mode mode = device != nullptr ? device->getDriver().getState() : Mode::none;

    if (client == nullptr || device == nullptr || (mode != Mode::audio && mode != Mode::pedalboard))
    {
        samplesWithoutPedalAudio.store (0, std::memory_order_relaxed);
        return nullptr;
    }

    auto& bridge = client->getAudioSource();
    const int numSamples = block.getNumSamples();

    // Mono use of a stereo track: the pedal gets the average of both sides,
    // and its one channel comes back on both.
    if (mode == Mode::audio && device->getController().isSplit() && block.getNumChannels() == 2
        && host.getTotalNumInputChannels() == 2)
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

    // Audio the bridge does not carry because it does not stream counts
    // towards a failure to report (a calibration is no failure).
    if (bridge.getStreamingState() == AudioIODeviceSource::streaming)
    {
        samplesWithoutPedalAudio.store (0, std::memory_order_relaxed);
    }
    else
    {
        const int played = samplesWithoutPedalAudio.load (std::memory_order_relaxed);
        samplesWithoutPedalAudio.store (std::min (played, std::numeric_limits<int>::max() - numSamples) + numSamples,
                                        std::memory_order_relaxed);
    }

    return &bridge;
}

bool HostAudioPath::pedalAudioLost() const noexcept
{
    return samplesWithoutPedalAudio.load (std::memory_order_relaxed) >= failureReportSeconds * sampleRate.load();
}

bool HostAudioPath::readDelayedDry (float* const* dest, int numChannels, AudioBuffers& buffers, int numSamples) noexcept
{
    auto& ring = buffers.dryBuffer;
    return ring.setReadBehindWrite (numSamples + dryLatency) && ring.readBuffer (dest, numChannels, numSamples, 0, true);
}

//==============================================================================
void HostAudioPath::followLatency()
{
    jassert (isMessageThread());

    if (computeLatency() != reportedLatency.load())
        reportLatency();
}

void HostAudioPath::watchPedalAudio()
{
    followLatency();

    if (audioFailureLogged || route.getClient() == nullptr || ! prepared)
        return;

    // Whether the pedal's device has called back since the last look.
    const auto callbacks = route.getDevice()->getDriver().getAudioCallbackCount();
    const bool deviceCallsBack = callbacks != std::exchange (deviceCallbacksSeen, callbacks);

    if (! pedalAudioLost())
        return;

    audioFailureLogged = true;
    juce::Logger::writeToLog ("Pellion: " + describeAudioFailure (deviceCallsBack)
                              + "; only the track's dry share is heard, silence at 100 % wet.");
}

juce::String HostAudioPath::describeAudioFailure (bool deviceCallsBack)
{
    auto& device = *route.getDevice();
    auto& driver = device.getDriver();
    const auto& name = device.getName();

    if (driver.getAudioDevice() == nullptr)
        return "the pedal " + name + " has no audio device";

    if (! driver.isAudioDeviceOpen())
        return "the audio device of " + name + " did not open";

    if (! deviceCallsBack)
        return "the audio device of " + name + " has stopped calling back";

    if (route.getClient()->getAudioSource().getStreamingState() == AudioIODeviceSource::startRequested)
        return "the audio device of " + name + " does not serve this instance's channels";

    return "the audio of " + name + " is not streaming";
}
