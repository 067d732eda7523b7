#pragma once

#include "Devices/Audio/AudioIODeviceSource.h"
#include "Devices/Audio/PedalAudioFade.h"
#include "Parameters/AudioValueTreeState.h"
#include "Utilities/AudioThreadGuard.h"
#include "Utilities/AudioValue.h"
#include "Utilities/CircularAudioBuffer.h"

#include <juce_audio_processors/juce_audio_processors.h>
#include <atomic>
#include <memory>
#include <mutex>

class PedalRoute;
class UsbDevice;
template <typename DeviceType> class UsbBaseDeviceManager;

// A processor's host audio: preparing, block processing and bypass, the dry
// delay, the wet/dry and mute gains, and the latency the host is told. It
// plays through the pedal that the route publishes and tells the host its
// latency through the processor.
class HostAudioPath : private juce::AsyncUpdater
{
public:
    // How long the pedal may carry no audio while it should (a start or a
    // restart) before the failure is logged. Meanwhile, as before and after,
    // only the dry share (1 - wet) of the track is heard.
    static constexpr double failureReportSeconds = 0.5;

    HostAudioPath (juce::AudioProcessor& host, const AudioValueTreeState& store, const PedalRoute& route,
                   UsbBaseDeviceManager<UsbDevice>& pedals);
    ~HostAudioPath() override;

    // Any thread a host prepares or releases on.
    void prepare (double sampleRate, int blockSize);
    void release();

    // Host audio thread: a host block longer than prepared is taken in pieces of the prepared size.
    void process (juce::AudioBuffer<float>& buffer, bool bypassed);

    // Message thread: the route carries a newly attached pedal. Its bridge is
    // made ready for the host's blocks, the host hears of the latency, and a
    // failure to carry the audio is said again.
    void pedalAttached();

    // Message thread: tells the host the latency there is now.
    void reportLatency();

    // Tells the host the latency the pedal's settings give now, when that has
    // changed since it was last told. Message thread.
    void followLatency();

    // Message thread, from the audio watch timer: follows the latency, and says
    // once per attachment when a pedal that should carry the audio does not.
    void watchPedalAudio();

    // The block size the host last prepared with.
    int getHostBlockSize() const noexcept { return blockSize.load(); }
    // The latency last reported to the host, in samples; any thread.
    int getReportedLatency() const noexcept { return reportedLatency.load(); }

private:
    // The buffers the block processing works in, built outside the callback
    // lock and published under it.
    struct AudioBuffers
    {
        AudioBuffers (int blockSize, int largestLatency);

        CircularAudioBuffer dryBuffer;       // the dry delay line
        juce::AudioBuffer<float> dryBlock;   // the delayed dry signal of one piece
        juce::AudioBuffer<float> monoBuffer; // what mono use sends through the pedal
        juce::AudioBuffer<float> fadeGains;  // the pedal's share, per sample while its audio fades
        const int blockSize;                 // host blocks are taken in pieces of at most this

        // The longest delay the dry line holds with pieces of blockSize.
        int largestLatency() const noexcept { return dryBuffer.getCapacity() - blockSize - 1; }
        bool fits (int latency) const noexcept { return latency <= largestLatency(); }

        // The newest samples of an older dry line, as many as this one holds.
        void takeHistory (CircularAudioBuffer& older) noexcept;
    };

    // Takes no lock: a host's audio thread may ask.
    bool isMessageThread() const noexcept { return store.isMessageThread(); }

    void processPiece (juce::AudioBuffer<float>& block, AudioBuffers& buffers, bool bypassed) noexcept;
    AudioIODeviceSource* routeThroughPedal (juce::AudioBuffer<float>& block, AudioBuffers& buffers) noexcept;
    // The pedal should carry the audio and has not for failureReportSeconds. Any thread.
    bool pedalAudioLost() const noexcept;
    bool readDelayedDry (float* const* dest, int numChannels, AudioBuffers& buffers, int numSamples) noexcept;
    void mixDry (juce::AudioBuffer<float>& block, AudioBuffers& buffers, float wet0, float wet1, float dry0, float dry1) noexcept;
    void applyFadingGain (juce::AudioBuffer<float>& block, AudioBuffers& buffers, float a0, float a1) noexcept;
    void addDelayedDry (juce::AudioBuffer<float>& block, AudioBuffers& buffers, float dry0, float dry1) noexcept;

    void prepareClient (double rate, int block);
    void handleAsyncUpdate() override;
    void rememberRecentSettings();
    // The message thread, or a preparing thread inside its guard.
    int estimateLatency (int hostBlock) const noexcept;
    int computeLatency();
    void reportLatency (int latency);
    void ensureDryCapacity (int latency);
    void publish (std::unique_ptr<AudioBuffers>& next) noexcept;
    void tellHostLatency();
    juce::String describeAudioFailure (bool deviceCallsBack);

    juce::AudioProcessor& host;
    const AudioValueTreeState& store;
    const PedalRoute& route;
    UsbBaseDeviceManager<UsbDevice>& pedals;
    const AudioValueTreeState::Parameter& bypassParameter;
    const AudioValueTreeState::Parameter& mixWetParameter;

    // Host threads inside the route's pedal: the audio thread's blocks, and a
    // preparing thread of the host's own.
    AudioThreadGuard hostAudioGuard, prepareGuard;

    // Written by the host's thread when it prepares, read on the message thread.
    std::atomic<bool> prepared { false };
    std::atomic<double> sampleRate { 44100.0 };
    std::atomic<int> blockSize { 512 };
    AudioMute muteGain;
    AudioSmoothedValue wetGain { 0.1f };
    PedalAudioFade pedalFade; // the audio thread's

    // Built by preparing threads and the message thread, one at a time.
    std::mutex audioBuffersBuilding;
    std::unique_ptr<AudioBuffers> audioBuffers;
    // The latency the dry path is delayed by: the audio thread's, and a
    // prepare's under the callback lock.
    int dryLatency = 0;
    std::atomic<int> reportedLatency { 0 };
    std::mutex latencyTelling;
    // The recent settings as a bridge's parameters, for a latency estimate off
    // the message thread: replaced whole on the message thread, the one
    // replaced retired until no preparing thread can be reading it.
    std::atomic<const AudioIODeviceSource::Parameters*> recentSettings { nullptr };
    // Samples in a row without the pedal's audio while it should carry it.
    std::atomic<int> samplesWithoutPedalAudio { 0 };
    bool audioFailureLogged = false;
    uint64_t deviceCallbacksSeen = 0; // by the audio watch, the last time it looked

    JUCE_DECLARE_NON_COPYABLE (HostAudioPath)
};
