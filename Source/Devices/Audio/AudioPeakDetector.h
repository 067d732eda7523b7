#pragma once

#include <juce_audio_basics/juce_audio_basics.h>
#include <juce_events/juce_events.h>
#include <atomic>
#include <utility>

// The highest sample magnitudes a client returned since the editor last looked.
// The host audio thread raises them; the editor's meters take them; a 200 ms
// timer clears them once the audio stops.
class AudioPeakDetector : private juce::Timer
{
public:
    static constexpr int idleIntervalMs = 200;

    AudioPeakDetector() { startTimer (idleIntervalMs); }
    ~AudioPeakDetector() override { stopTimer(); }

    // Host audio thread: raises the held peaks with the whole buffer's channels 0 and 1.
    void update (const juce::AudioBuffer<float>& buffer) noexcept;

    // Message thread. -1 means that no block arrived since the last read.
    std::pair<float, float> readStereo();
    std::pair<float, float> readMono();

    void timerCallback() override;
    using juce::Timer::isTimerRunning;
    using juce::Timer::getTimerInterval;

private:
    static void raise (std::atomic<float>& peak, float value) noexcept;

    std::atomic<float> peaks[2] { { 0.0f }, { 0.0f } };
    std::atomic<int> idleTicks { 0 };
};
