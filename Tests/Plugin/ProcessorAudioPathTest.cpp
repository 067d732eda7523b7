#include "Settings/PluginFolders.h"
#include "Support/ProcessorAudioRig.h"

#include <gtest/gtest.h>
#include <algorithm>
#include <cmath>
#include <functional>
#include <thread>

// The processor's audio path against the emulated pedal: the dry/wet and
// bypass crossfades, the mute around a latency change, mono use of a stereo
// track, the dry signal wherever the pedal carries no audio, host blocks longer
// than prepared, and the latency the host is told.
namespace
{
constexpr int hostBlock = 256;

// What every processor of a rig returned, channel by channel, indexed by host sample.
struct Recording
{
    explicit Recording (int numProcessors = 1) : out ((size_t) numProcessors) {}

    void take (int processor, const juce::AudioBuffer<float>& block)
    {
        for (int c = 0; c < 2; ++c)
            out[(size_t) processor][(size_t) c].insert (out[(size_t) processor][(size_t) c].end(), block.getReadPointer (c),
                                                      block.getReadPointer (c) + block.getNumSamples());
    }

    const std::vector<float>& channel (int c, int processor = 0) const { return out[(size_t) processor][(size_t) c]; }
    size_t size() const { return out[0][0].size(); }
    float last (int c, int processor = 0) const { return channel (c, processor).back(); }

    // The largest step between neighbouring samples from `from` on.
    float largestStep (size_t from, int c = 0) const
    {
        const auto& s = channel (c);
        float largest = 0.0f;
        for (size_t i = std::max<size_t> (from, 1); i < s.size(); ++i)
            largest = std::max (largest, std::abs (s[i] - s[i - 1]));
        return largest;
    }

    std::vector<std::array<std::vector<float>, 2>> out;
};

ProcessorAudioRig::Signal constant (float left, float right)
{
    return [left, right] (juce::AudioBuffer<float>& block, int64_t)
    {
        juce::FloatVectorOperations::fill (block.getWritePointer (0), left, block.getNumSamples());
        juce::FloatVectorOperations::fill (block.getWritePointer (1), right, block.getNumSamples());
    };
}

// The pedal returns what it gets inverted, a round trip of 500 samples later,
// with the latency its calibration would store.
void invertingPedal (ProcessorAudioRig& rig)
{
    rig.pedalAudio().setRoundTrip (500);
    rig.pedalAudio().setGain (0, -1.0f);
    rig.pedalAudio().setGain (1, -1.0f);
    rig.storeCalibratedLatency();
}

void record (ProcessorAudioRig& rig, Recording& recording, ProcessorAudioRig::Signal input)
{
    rig.play (std::move (input), [&recording] (int p, auto& block, auto) { recording.take (p, block); });
}

//==============================================================================
// A DC input makes every gain visible: dry it comes back as 0.5, wet as -0.5.
TEST (ProcessorAudioPath, MixAndBypassCrossfadeWithoutClicks)
{
    ProcessorAudioRig rig;
    invertingPedal (rig);
    rig.prepare (hostBlock);
    Recording recording;
    record (rig, recording, constant (0.5f, 0.5f));

    ASSERT_TRUE (rig.attach (modeAudio));
    rig.pedalAudio().endCalibration();
    ASSERT_TRUE (rig.runUntilStreaming (rig.processor().getUsbClient()));
    rig.setParameter ("mixWet", 0);
    rig.sim.run (0.5);
    EXPECT_EQ (recording.last (0), 0.5f);

    // The wet/dry ramp lasts 18 blocks of 256 samples at 48 kHz: a whole
    // change of 1.0 moves at most this much from one sample to the next.
    constexpr float rampStep = 1.0f / (18 * hostBlock) * 1.001f;

    const struct { const char* change; std::function<void()> apply; float after; } steps[] = {
        { "all wet", [&] { rig.setParameter ("mixWet", 127); }, -0.5f },
        { "bypass off", [&] { rig.setParameter ("bypass", 0); }, 0.5f },
        { "bypass on", [&] { rig.setParameter ("bypass", 1); }, -0.5f },
        { "bypassed by the host", [&] { rig.bypassedByHost = true; }, 0.5f },
        { "the host's bypass off", [&] { rig.bypassedByHost = false; }, -0.5f },
        { "half wet", [&] { rig.setParameter ("mixWet", 64); }, 0.5f - 64.0f / 127.0f },
        // Automation from the host reaches the audio at once, not at the store's next flush.
        { "all dry, automated", [&] { hostView (rig.processor().getValueTreeState().getParameter ("mixWet")).setValue (0.0f); }, 0.5f },
    };

    for (const auto& step : steps)
    {
        SCOPED_TRACE (step.change);
        const auto from = recording.size();
        step.apply();
        rig.sim.run (0.3);
        EXPECT_LE (recording.largestStep (from), rampStep);
        EXPECT_FLOAT_EQ (recording.last (0), step.after);
        EXPECT_FLOAT_EQ (recording.last (1), step.after);
    }
}

// A latency change fades the output out, moves the dry delay where nothing is
// heard and fades back in: a slowly rising input never jumps on the way.
TEST (ProcessorAudioPath, ALatencyChangeSwitchesTheDryDelayOnlyUnderTheMute)
{
    ProcessorAudioRig rig;
    invertingPedal (rig);
    rig.prepare (hostBlock);
    Recording recording;
    const auto rising = [] (int64_t sample) { return (float) sample * 1.0e-6f; };
    record (rig, recording, [rising] (auto& block, int64_t first)
    {
        for (int c = 0; c < 2; ++c)
            for (int i = 0; i < block.getNumSamples(); ++i)
                block.setSample (c, i, rising (first + i));
    });

    ASSERT_TRUE (rig.attach (modeAudio));
    rig.pedalAudio().endCalibration();
    rig.setParameter ("mixWet", 0);
    rig.sim.run (0.5);

    const auto delayedBy = [&] (int latency, size_t from)
    {
        for (size_t i = from; i < recording.size(); ++i)
            if (recording.channel (0)[i] != rising ((int64_t) i - latency))
                return false;
        return true;
    };

    const int before = rig.processor().getLatencySamples();
    EXPECT_TRUE (delayedBy (before, recording.size() - 4800));

    const auto from = recording.size();
    rig.driver().getSettings().outAdjust.setValue (2, nullptr);
    rig.sim.run (0.5);

    const int after = rig.processor().getLatencySamples();
    EXPECT_EQ (after, before + hostBlock);
    EXPECT_TRUE (delayedBy (after, recording.size() - 4800));

    // A switch heard at full gain would jump by 256 x 1e-6; the mute's own
    // ramp moves at most the input's level over its 11 blocks.
    EXPECT_LT (recording.largestStep (from), 1.0e-4f);
    const auto quietest = std::min_element (recording.channel (0).begin() + (long) from, recording.channel (0).end(),
                                            [] (float a, float b) { return std::abs (a) < std::abs (b); });
    EXPECT_EQ (*quietest, 0.0f);
}

// Two instances share the pedal in mono use, one channel each: each sends the
// average of its stereo track through its own channel and hears it on both
// sides; the dry share stays stereo.
TEST (ProcessorAudioPath, MonoUseSendsTheAverageThroughItsChannelAndKeepsTheDryStereo)
{
    ProcessorAudioRig rig (2);
    rig.pedalAudio().setRoundTrip (500);
    rig.pedalAudio().setGain (1, 0.5f);
    rig.storeCalibratedLatency();
    rig.prepare (hostBlock);
    Recording recording (2);
    record (rig, recording, constant (0.5f, 0.25f));

    ASSERT_TRUE (rig.attach (modeAudio, channelMonoLeft, pedalboardNone, 0));
    ASSERT_TRUE (rig.attach (modeAudio, channelMonoRight, pedalboardNone, 1));
    rig.pedalAudio().endCalibration();
    ASSERT_TRUE (rig.device().getController().isSplit());

    const struct { int mixWet; float left[2], right[2]; } rows[] = {
        { 127, { 0.375f, 0.375f }, { 0.1875f, 0.1875f } }, // the average, through the pedal's left and right channel
        { 0, { 0.5f, 0.25f }, { 0.5f, 0.25f } },
    };

    for (const auto& row : rows)
    {
        SCOPED_TRACE (row.mixWet);
        rig.setParameter ("mixWet", row.mixWet, 0);
        rig.setParameter ("mixWet", row.mixWet, 1);
        rig.sim.run (1.0);

        for (int c = 0; c < 2; ++c)
        {
            EXPECT_EQ (recording.last (c, 0), row.left[c]);
            EXPECT_EQ (recording.last (c, 1), row.right[c]);
        }
    }
}

//==============================================================================
// Whatever keeps the pedal's audio from this instance, the track plays dry,
// never silent; a failure is logged once, on the message thread.
struct LogLines : juce::Logger
{
    LogLines() { juce::Logger::setCurrentLogger (this); }
    ~LogLines() override { juce::Logger::setCurrentLogger (previous); }
    void logMessage (const juce::String& message) override
    {
        if (message.startsWith ("Pellion: "))
            lines.add (message);
    }

    juce::Logger* const previous = juce::Logger::getCurrentLogger();
    juce::StringArray lines;
};

TEST (ProcessorAudioPath, WithoutThePedalsAudioTheTrackPlaysDryAndTheFailureIsLoggedOnce)
{
    const struct Case
    {
        const char* name;
        int processors;
        std::function<void (ProcessorAudioRig&)> beforeAttach, afterAttach;
        const char* logged; // null: nothing is
    } cases[] = {
        { "no audio device", 1,
          [] (ProcessorAudioRig& rig) { rig.audioTypes.withdraw (LinkRig::pedalName); },
          [] (ProcessorAudioRig& rig) { rig.audioTypes.publish (LinkRig::pedalName, &rig.pedalAudio()); },
          "Pellion: the pedal QZR-1A2B has no audio device; the track plays dry." },
        { "an open that fails", 1,
          [] (ProcessorAudioRig& rig)
          {
              VirtualAudioBehaviour behaviour;
              behaviour.failOpens = 1000;
              rig.setDeviceBehaviour (behaviour);
          },
          {}, "Pellion: the audio device of QZR-1A2B did not open; the track plays dry." },
        { "a channel another instance has", 2, {}, {},
          "Pellion: the audio device of QZR-1A2B does not serve this instance's channels; the track plays dry." },
        { "a calibration", 1, [] (ProcessorAudioRig& rig) { rig.driver().getSettings().extraLatency.setValue (0, nullptr); },
          {}, nullptr },
    };

    for (const auto& c : cases)
    {
        SCOPED_TRACE (c.name);
        LogLines log;
        ProcessorAudioRig rig (c.processors);
        invertingPedal (rig);
        rig.prepare (hostBlock);
        Recording recording (c.processors);
        record (rig, recording, constant (0.5f, 0.5f));
        for (int i = 0; i < c.processors; ++i)
            rig.setParameter ("mixWet", 127, i);

        if (c.beforeAttach)
            c.beforeAttach (rig);
        for (int i = 0; i < c.processors; ++i)
            ASSERT_TRUE (rig.attach (modeAudio, c.processors > 1 ? channelMonoLeft : channelStereo, pedalboardNone, i));
        if (c.afterAttach)
            c.afterAttach (rig);

        const int last = c.processors - 1;
        auto& bridge = rig.processor (last).getUsbClient()->getAudioSource();
        if (c.logged == nullptr)
        {
            // The measurement goes on for a while: the dry signal plays meanwhile.
            ASSERT_TRUE (rig.sim.runUntil ([&] { return bridge.getCalibrationState() == AudioLatencyDetector::listening; }, 1.0));
            EXPECT_EQ (recording.last (0, last), 0.5f);
            EXPECT_EQ (bridge.getStreamingState(), AudioIODeviceSource::streaming);
            continue;
        }

        rig.sim.run (3.0);
        EXPECT_EQ (recording.last (0, last), 0.5f);
        EXPECT_EQ (recording.last (1, last), 0.5f);
        EXPECT_EQ (log.lines, juce::StringArray (c.logged));
        EXPECT_TRUE (rig.processor (last).hasLoggedAudioFallback());
        if (c.processors > 1)
        {
            EXPECT_EQ (recording.last (0, 0), -0.5f); // the served instance hears the pedal
        }
    }
}

//==============================================================================
// A host that hands over more than it prepared for is served in pieces of the
// prepared size: the dry signal comes back exactly delayed, and the pedal's
// rings are never asked for more than they hold.
TEST (ProcessorAudioPath, HostBlocksLongerThanPreparedAreTakenInPieces)
{
    const auto wave = [] (int64_t sample) { return 0.5f * std::sin (0.01f * (float) sample); };
    const ProcessorAudioRig::Signal input = [wave] (juce::AudioBuffer<float>& block, int64_t first)
    {
        for (int c = 0; c < 2; ++c)
            for (int i = 0; i < block.getNumSamples(); ++i)
                block.setSample (c, i, wave (first + i));
    };

    for (bool attached : { false, true })
    {
        for (int size : { 65, 1000, 4099 })
        {
            SCOPED_TRACE (testing::Message() << (attached ? "attached, " : "") << size);
            ProcessorAudioRig rig;
            invertingPedal (rig);
            rig.prepare (64);
            rig.block = size;
            Recording recording;
            record (rig, recording, input);
            if (attached)
            {
                ASSERT_TRUE (rig.attach (modeAudio));
            }

            rig.sim.run (1.0);
            const int latency = rig.processor().getLatencySamples();
            bool delayed = true;
            float loudest = 0.0f;
            for (size_t i = 12000; i < recording.size(); ++i)
            {
                delayed = delayed && recording.channel (0)[i] == wave ((int64_t) i - latency);
                loudest = std::max (loudest, std::abs (recording.channel (1)[i]));
            }

            EXPECT_TRUE (delayed || attached);
            EXPECT_LE (loudest, 0.5f);
            if (attached)
            {
                EXPECT_EQ (rig.processor().getUsbClient()->getAudioSource().getDiagnostics().ringViolations, 0u);
            }
        }
    }
}

// A device that calls back with larger blocks than any setting asks for needs
// a longer dry line than the host's block was prepared with: it grows, and
// wet and dry stay together.
TEST (ProcessorAudioPath, TheDryLineGrowsForADeviceWithLargerBlocksThanAnySetting)
{
    ProcessorAudioRig rig;
    rig.deliverBlocksOf (8000);
    rig.pedalAudio().setRoundTrip (8100);
    rig.storeCalibratedLatency();
    rig.driver().getSettings().inAdjust.setValue (2, nullptr);
    rig.driver().getSettings().outAdjust.setValue (2, nullptr);
    rig.prepare (64);
    DelayMeter meter (rig);

    ASSERT_TRUE (rig.attach (modeAudio));
    rig.pedalAudio().endCalibration();
    ASSERT_TRUE (rig.runUntilStreaming (rig.processor().getUsbClient()));

    const int latency = rig.processor().getLatencySamples();
    EXPECT_GT (latency, AudioIODeviceSource::largestLatency (64));
    EXPECT_EQ (meter.measure (127), (Delays { latency, latency })) << "wet";
    EXPECT_EQ (meter.measure (0), (Delays { latency, latency })) << "dry";
}

// A host that prepares on a thread of its own only stops the pedal's audio
// there; the message thread reopens the shared device, restarts the stream and
// tells the host the new latency.
TEST (ProcessorAudioPath, PreparingOnAHostThreadLeavesTheSharedDeviceToTheMessageThread)
{
    ProcessorAudioRig rig;
    invertingPedal (rig);
    rig.prepare (256);
    rig.play ({}, {});
    ASSERT_TRUE (rig.attach (modeAudio));
    auto& processor = rig.processor();
    auto& bridge = processor.getUsbClient()->getAudioSource();
    ASSERT_TRUE (rig.runUntilStreaming (processor.getUsbClient()));

    std::thread ([&processor] { processor.prepareToPlay (ProcessorAudioRig::sampleRate, 512); }).join();
    EXPECT_EQ (bridge.getStreamingState(), AudioIODeviceSource::stopped);
    EXPECT_EQ (rig.openDevice()->getCurrentBufferSizeSamples(), 256);

    const int expected = (512 + 1024) + 1024 + rig.pedalAudio().calibratedLatency() + 56;
    for (int i = 0; i < 100 && processor.getLatencySamples() != expected; ++i)
        juce::MessageManager::getInstance()->runDispatchLoopUntil (5);

    EXPECT_EQ (processor.getLatencySamples(), expected);
    EXPECT_EQ (rig.openDevice()->getCurrentBufferSizeSamples(), 512);
    rig.block = 512;
    rig.play ({}, {});
    EXPECT_TRUE (rig.runUntilStreaming (processor.getUsbClient()));
}

//==============================================================================
// The host is told the bridge's latency while a pedal carries the audio, and
// otherwise what a pedal with the newest settings file would add.
TEST (ProcessorAudioPath, TheHostIsToldTheBridgesLatencyOrTheRecentSettingsEstimate)
{
    // The newest settings file in the folder: "blockSize" 128, "inAdjust" 2, "outAdjust" 0, "extraLatency" 300.
    const juce::File recent (PluginFolders::settingsPath() + "QZR-9999-settings.xml");
    ASSERT_TRUE (recent.replaceWithText (R"(<?xml version="1.0" encoding="UTF-8"?>)"
                                         "\n<DEVICE blockSize=\"128\" inAdjust=\"2\" outAdjust=\"0\" extraLatency=\"300\"/>\n"));
    recent.setLastModificationTime (juce::Time::getCurrentTime() + juce::RelativeTime::hours (1));

    ProcessorAudioRig rig;
    auto& processor = rig.processor();
    rig.prepare (512);
    const int estimate = (2 * 512 + 640) + 300 + 640 + 56;
    EXPECT_EQ (processor.getLatencySamples(), estimate);

    auto& pedalSettings = rig.driver().getSettings();
    pedalSettings.blockSize.setValue (128, nullptr);
    pedalSettings.inAdjust.setValue (1, nullptr);
    pedalSettings.outAdjust.setValue (1, nullptr);
    pedalSettings.extraLatency.setValue (100, nullptr);
    ASSERT_TRUE (rig.attach (modeAudio));
    const int attached = (512 + 640) + (512 + 640) + 100 + 56;
    EXPECT_EQ (processor.getUsbClient()->getAudioSource().getLatencySamples(), attached);
    EXPECT_EQ (processor.getLatencySamples(), attached);

    processor.latencyChanged (12345);
    EXPECT_EQ (processor.getLatencySamples(), attached);

    pedalSettings.extraLatency.setValue (200, nullptr);
    EXPECT_EQ (processor.getLatencySamples(), attached + 100);

    processor.disconnectUsbClient();
    EXPECT_EQ (processor.getLatencySamples(), estimate);
    EXPECT_EQ (processor.getReportedLatency(), estimate);
    EXPECT_TRUE (recent.deleteFile());
}
} // namespace
