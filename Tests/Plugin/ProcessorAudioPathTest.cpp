#include "Settings/PluginFolders.h"
#include "Support/LogLines.h"
#include "Support/ProcessorAudioRig.h"

#include <gtest/gtest.h>
#include <algorithm>
#include <cmath>
#include <functional>

// The processor's audio path against the emulated pedal: the dry/wet and
// bypass crossfades, the mute around a latency change, mono use of a stereo
// track, the dry share while the pedal carries no audio, host blocks longer
// than prepared, a longer dry line, and the latency the host is told.
namespace
{
// Processors prepared for 256-sample blocks beside a pedal that returns what it
// gets inverted, 500 samples later, with the latency its calibration would
// store; what each processor returns is kept, channel by channel, by host sample.
struct RecordedRig : ProcessorAudioRig
{
    explicit RecordedRig (int numProcessors = 1, int hostBlock = 256) : ProcessorAudioRig (numProcessors), out ((size_t) numProcessors)
    {
        pedalAudio().setRoundTrip (500);
        for (int c : { 0, 1 })
            pedalAudio().setGain (c, -1.0f);
        storeCalibratedLatency();
        prepare (hostBlock);
    }

    void playing (Signal input)
    {
        play (std::move (input), [this] (int p, auto& block, auto)
        {
            for (int c = 0; c < 2; ++c)
                out[(size_t) p][(size_t) c].insert (out[(size_t) p][(size_t) c].end(), block.getReadPointer (c),
                                                    block.getReadPointer (c) + block.getNumSamples());
        });
    }

    void playing (float left, float right)
    {
        playing ([left, right] (juce::AudioBuffer<float>& block, int64_t)
        {
            juce::FloatVectorOperations::fill (block.getWritePointer (0), left, block.getNumSamples());
            juce::FloatVectorOperations::fill (block.getWritePointer (1), right, block.getNumSamples());
        });
    }

    const std::vector<float>& channel (int c, int p = 0) const { return out[(size_t) p][(size_t) c]; }
    float last (int c, int p = 0) const { return channel (c, p).back(); }
    size_t size() const { return channel (0).size(); }

    // The largest step between neighbouring samples of the first channel from `from` on.
    float largestStep (size_t from) const
    {
        float largest = 0.0f;
        for (size_t i = std::max<size_t> (from, 1); i < size(); ++i)
            largest = std::max (largest, std::abs (channel (0)[i] - channel (0)[i - 1]));
        return largest;
    }

    std::vector<std::array<std::vector<float>, 2>> out;
};

// A DC input makes every gain visible: dry it comes back as 0.5, wet as -0.5.
TEST (ProcessorAudioPath, MixAndBypassCrossfadeWithoutClicks)
{
    RecordedRig rig;
    rig.playing (0.5f, 0.5f);
    ASSERT_TRUE (rig.attach (Mode::audio));
    rig.setParameter ("mixWet", 0);
    rig.sim.run (0.5);
    EXPECT_EQ (rig.last (0), 0.5f);

    // The wet/dry ramp lasts 18 blocks of 256 samples at 48 kHz: a whole
    // change of 1.0 moves at most this much from one sample to the next.
    constexpr float rampStep = 1.0f / (18 * 256) * 1.001f;
    auto* mix = rig.processor().getValueTreeState().getParameter ("mixWet");

    const struct { const char* change; std::function<void()> apply; float after; } steps[] = {
        { "all wet", [&] { rig.setParameter ("mixWet", 127); }, -0.5f },
        { "bypass off", [&] { rig.setParameter ("bypass", 0); }, 0.5f },
        { "bypass on", [&] { rig.setParameter ("bypass", 1); }, -0.5f },
        { "bypassed by the host", [&] { rig.bypassedByHost = true; }, 0.5f },
        { "the host's bypass off", [&] { rig.bypassedByHost = false; }, -0.5f },
        { "half wet", [&] { rig.setParameter ("mixWet", 64); }, 0.5f - 64.0f / 127.0f },
        // Automation reaches the audio at once, not at the store's next flush.
        { "all dry, automated", [&] { hostView (mix).setValue (0.0f); }, 0.5f },
    };

    for (const auto& step : steps)
    {
        SCOPED_TRACE (step.change);
        const auto from = rig.size();
        step.apply();
        rig.sim.run (0.3);
        EXPECT_LE (rig.largestStep (from), rampStep);
        EXPECT_FLOAT_EQ (rig.last (0), step.after);
        EXPECT_FLOAT_EQ (rig.last (1), step.after);
    }
}

// A latency change fades the output out, moves the dry delay where nothing is
// heard and fades back in: a slowly rising input never jumps on the way.
TEST (ProcessorAudioPath, ALatencyChangeSwitchesTheDryDelayOnlyUnderTheMute)
{
    RecordedRig rig;
    const auto rising = [] (int64_t sample) { return (float) sample * 1.0e-6f; };
    rig.playing ([rising] (auto& block, int64_t first)
    {
        for (int c = 0; c < 2; ++c)
            for (int i = 0; i < block.getNumSamples(); ++i)
                block.setSample (c, i, rising (first + i));
    });
    ASSERT_TRUE (rig.attach (Mode::audio));
    rig.setParameter ("mixWet", 0);
    rig.sim.run (0.5);

    const auto delayedBy = [&] (int latency)
    {
        for (size_t i = rig.size() - 4800; i < rig.size(); ++i)
            if (rig.channel (0)[i] != rising ((int64_t) i - latency))
                return false;
        return true;
    };

    const int before = rig.processor().getLatencySamples();
    EXPECT_TRUE (delayedBy (before));
    const auto from = rig.size();
    rig.driver().getSettings().outAdjust.setValue (2, nullptr);
    rig.sim.run (0.5);
    EXPECT_EQ (rig.processor().getLatencySamples(), before + 256);
    EXPECT_TRUE (delayedBy (before + 256));

    // A switch heard at full gain would jump by 256 x 1e-6; the mute's own
    // ramp moves at most the input's level over its 11 blocks.
    EXPECT_LT (rig.largestStep (from), 1.0e-4f);
    EXPECT_NE (std::find (rig.channel (0).begin() + (long) from, rig.channel (0).end(), 0.0f), rig.channel (0).end());
}

// Two instances share the pedal in mono use, one channel each: each sends the
// average of its stereo track through its own channel and hears it on both
// sides; the dry share stays stereo.
TEST (ProcessorAudioPath, MonoUseSendsTheAverageThroughItsChannelAndKeepsTheDryStereo)
{
    RecordedRig rig (2);
    rig.pedalAudio().setGain (0, 1.0f);
    rig.pedalAudio().setGain (1, 0.5f);
    rig.playing (0.5f, 0.25f);
    ASSERT_TRUE (rig.attach (Mode::audio, ChannelSetting::monoLeft, PedalModeConfig::none, 0));
    ASSERT_TRUE (rig.attach (Mode::audio, ChannelSetting::monoRight, PedalModeConfig::none, 1));

    // All wet: the average through the pedal's left, and its right channel. All dry: the track.
    const struct { int mixWet; float first[2], second[2]; } rows[] = { { 127, { 0.375f, 0.375f }, { 0.1875f, 0.1875f } },
                                                                        { 0, { 0.5f, 0.25f }, { 0.5f, 0.25f } } };
    for (const auto& row : rows)
    {
        SCOPED_TRACE (row.mixWet);
        for (int p : { 0, 1 })
            rig.setParameter ("mixWet", row.mixWet, p);
        rig.sim.run (1.0);

        for (int c = 0; c < 2; ++c)
            EXPECT_EQ (std::make_pair (rig.last (c, 0), rig.last (c, 1)), std::make_pair (row.first[c], row.second[c]));
    }
}

// Whatever keeps the pedal's audio from this instance for good, the pedal
// keeps its share of the mix: only the track's dry share is heard, silence at
// 100 % wet, and once the pedal has carried nothing for half a second the
// failure is logged once, on the message thread. A calibration, which keeps
// the pedal's return from the host for a while, is no failure.
TEST (ProcessorAudioPath, WithoutThePedalsAudioOnlyTheDryShareIsHeardAndTheFailureIsLoggedOnce)
{
    using Setup = std::function<void (ProcessorAudioRig&)>;
    const Setup noDevice = [] (auto& rig) { rig.audioTypes.withdraw (LinkRig::pedalName); };
    const Setup deviceBack = [] (auto& rig) { rig.audioTypes.publish (LinkRig::pedalName, &rig.pedalAudio()); };
    const juce::String heard = "; only the track's dry share is heard, silence at 100 % wet.";
    const juce::String noDeviceLogged = "Pellion: the pedal QZR-1A2B has no audio device" + heard,
                       notServedLogged = "Pellion: the audio device of QZR-1A2B does not serve this instance's channels" + heard;

    const struct { const char* name; int processors, mixWet; Setup before, after; juce::String logged; } cases[] = {
        { "no audio device", 1, 127, noDevice, deviceBack, noDeviceLogged },
        { "no audio device, half wet", 1, 64, noDevice, deviceBack, noDeviceLogged },
        { "an open that fails", 1, 127, [] (auto& rig) { VirtualAudioBehaviour b; b.failOpens = 1000; rig.setDeviceBehaviour (b); }, {},
          "Pellion: the audio device of QZR-1A2B did not open" + heard },
        { "a device that stalls", 1, 127, {}, [] (auto& rig) { rig.openDevice()->stall (10.0); },
          "Pellion: the audio device of QZR-1A2B has stopped calling back" + heard },
        { "a channel another instance has", 2, 127, {}, {}, notServedLogged },
        { "a channel another instance has, half wet", 2, 64, {}, {}, notServedLogged },
        { "a calibration", 1, 64, [] (auto& rig) { rig.driver().getSettings().extraLatency.setValue (0, nullptr); }, {}, {} },
    };

    for (const auto& c : cases)
    {
        SCOPED_TRACE (c.name);
        LogLines log;
        RecordedRig rig (c.processors);
        rig.playing (0.5f, 0.5f);
        if (c.before)
            c.before (rig);
        for (int p = 0; p < c.processors; ++p)
        {
            rig.setParameter ("mixWet", c.mixWet, p);
            ASSERT_TRUE (rig.attach (Mode::audio, c.processors > 1 ? ChannelSetting::monoLeft : ChannelSetting::stereo, PedalModeConfig::none, p));
        }
        if (c.after)
            c.after (rig);

        const int last = c.processors - 1;
        auto& bridge = rig.processor (last).getUsbClient()->getAudioSource();
        if (c.logged.isNotEmpty())
            rig.sim.run (3.0);
        else
            ASSERT_TRUE (rig.sim.runUntil ([&] { return bridge.getCalibrationState() == AudioLatencyDetector::listening; }, 1.0));

        const float wet = (float) c.mixWet / 127.0f, dryShare = 0.5f * (1.0f - wet);
        EXPECT_FLOAT_EQ (rig.last (0, last), dryShare);
        EXPECT_FLOAT_EQ (rig.last (1, last), dryShare);
        EXPECT_EQ (log.lines, c.logged.isNotEmpty() ? juce::StringArray (c.logged) : juce::StringArray());
        if (c.processors > 1)
        {
            EXPECT_NEAR (rig.last (0), -0.5f * wet + dryShare, 1.0e-6f); // a served instance hears the pedal
        }
    }
}

// A host that hands over more than it prepared for is served in pieces of the
// prepared size: the dry signal comes back exactly delayed.
TEST (ProcessorAudioPath, HostBlocksLongerThanPreparedAreTakenInPieces)
{
    const auto wave = [] (int64_t sample) { return 0.5f * std::sin (0.01f * (float) sample); };

    for (int size : { 65, 1000, 4099 })
    {
        SCOPED_TRACE (size);
        RecordedRig rig (1, 64);
        rig.block = size;
        rig.playing ([wave] (auto& block, int64_t first)
        {
            for (int c = 0; c < 2; ++c)
                for (int i = 0; i < block.getNumSamples(); ++i)
                    block.setSample (c, i, wave (first + i));
        });
        rig.sim.run (1.0);

        const int latency = rig.processor().getLatencySamples();
        size_t delayed = 12000; // past the first mute ramp
        while (delayed < rig.size() && rig.channel (1)[delayed] == wave ((int64_t) delayed - latency))
            ++delayed;
        EXPECT_EQ (delayed, rig.size());
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
    ASSERT_TRUE (rig.attach (Mode::audio));
    ASSERT_TRUE (rig.runUntilStreaming (rig.processor().getUsbClient()));

    const int latency = rig.processor().getLatencySamples();
    EXPECT_GT (latency, AudioIODeviceSource::largestLatency (64));
    EXPECT_EQ (meter.measure (127), (Delays { latency, latency })) << "wet";
    EXPECT_EQ (meter.measure (0), (Delays { latency, latency })) << "dry";
}

// The host is told the bridge's latency while a pedal carries the audio, and
// otherwise what a pedal with the newest settings file would add.
TEST (ProcessorAudioPath, TheHostIsToldTheBridgesLatencyOrTheRecentSettingsEstimate)
{
    // The newest settings file in the folder: "blockSize" 128, "inAdjust" 2, "outAdjust" 0, "extraLatency" 300.
    const juce::File recent (PluginFolders::settingsPath() + "QZR-9999-settings.xml");
    ASSERT_TRUE (recent.getParentDirectory().createDirectory());
    ASSERT_TRUE (recent.replaceWithText ("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                                         "<DEVICE blockSize=\"128\" inAdjust=\"2\" outAdjust=\"0\" extraLatency=\"300\"/>\n"));
    recent.setLastModificationTime (juce::Time::getCurrentTime() + juce::RelativeTime::hours (1));

    ProcessorAudioRig rig;
    auto& processor = rig.processor();
    rig.prepare (512);
    const int estimate = (2 * 512 + 640) + 300 + 640 + 56;
    EXPECT_EQ (processor.getLatencySamples(), estimate);

    auto& pedal = rig.driver().getSettings();
    pedal.blockSize.setValue (128, nullptr);
    pedal.inAdjust.setValue (0, nullptr);
    pedal.outAdjust.setValue (1, nullptr);
    pedal.extraLatency.setValue (100, nullptr);
    ASSERT_TRUE (rig.attach (Mode::audio));
    const int attached = (512 + 640) + 640 + 100 + 56;
    EXPECT_EQ (processor.getUsbClient()->getAudioSource().getLatencySamples(), attached);
    EXPECT_EQ (processor.getLatencySamples(), attached);

    processor.getPedalAttachment().latencyChanged (12345);
    EXPECT_EQ (processor.getLatencySamples(), attached);
    pedal.extraLatency.setValue (200, nullptr);
    EXPECT_EQ (processor.getLatencySamples(), attached + 100);

    processor.disconnectUsbClient();
    EXPECT_EQ (processor.getLatencySamples(), estimate);
    EXPECT_EQ (processor.getReportedLatency(), estimate);
    EXPECT_TRUE (recent.deleteFile());
}

// Pedalboard use: one instance sends its track out to the pedal (the OUT
// leg), another takes the pedal's audio in (the IN leg); their channel
// settings share out the pedal's two channels. The OUT instance plays its own
// track as it is; the IN instance plays what the OUT instance sent, on the
// channels the settings name and to the sample as late as the reported
// latency plus the pedal's own round trip, and nothing of its own track.
TEST (ProcessorAudioPath, PedalboardLegsOfTwoInstancesCarryOneTrackThroughThePedalToTheOther)
{
    // Impulses a channel apart in time, so that a channel that comes back on
    // the wrong side, or at the wrong time, shows.
    constexpr int period = 4800;
    const auto track = [] (int channel, int64_t sample)
    {
        return sample >= 0 && sample % period == (channel == 0 ? 100 : 2500) ? 1.0f : 0.0f;
    };

    // The pedal returns its left channel inverted and its right at half level.
    constexpr float pedalGain[] = { -1.0f, 0.5f };
    struct Leg { ChannelSetting channel; PedalModeConfig leg; };
    struct Heard { int channel; float gain; }; // the track's channel the IN output carries, -1 none
    constexpr Heard none { -1, 0.0f };

    // Host blocks of 256 against the pedal's "blockSize"; the latency reported for both.
    const struct { const char* name; int blockSize, latency; Leg first, second; Heard in[2]; } cases[] = {
        { "stereo legs", 0, (256 + 512) + 512 + 56, { ChannelSetting::stereo, PedalModeConfig::out }, { ChannelSetting::stereo, PedalModeConfig::in }, { { 0, pedalGain[0] }, { 1, pedalGain[1] } } },
        { "stereo legs, IN first, device blocks of 96", 96, (256 + 352) + 352 + 56, { ChannelSetting::stereo, PedalModeConfig::in }, { ChannelSetting::stereo, PedalModeConfig::out }, { { 0, pedalGain[0] }, { 1, pedalGain[1] } } },
        { "left legs, device blocks of 512", 512, (512 + 768) + 768 + 56, { ChannelSetting::monoLeft, PedalModeConfig::out }, { ChannelSetting::monoLeft, PedalModeConfig::in }, { { 0, pedalGain[0] }, none } },
        // The OUT leg's left channel goes out on the pedal's right and back.
        { "right legs", 0, (256 + 512) + 512 + 56, { ChannelSetting::monoRight, PedalModeConfig::out }, { ChannelSetting::monoRight, PedalModeConfig::in }, { { 0, pedalGain[1] }, none } },
        // Out on the left, in on the right: the IN leg sends nothing of its own.
        { "crossed legs", 0, (256 + 512) + 512 + 56, { ChannelSetting::monoLeft, PedalModeConfig::out }, { ChannelSetting::monoRight, PedalModeConfig::in }, { none, none } },
    };

    for (const auto& c : cases)
    {
        SCOPED_TRACE (c.name);
        RecordedRig rig (2);
        rig.pedalAudio().setGain (1, pedalGain[1]);
        rig.driver().getSettings().blockSize.setValue (c.blockSize, nullptr);
        rig.playing ([&track] (auto& block, int64_t first)
        {
            for (int ch = 0; ch < 2; ++ch)
                for (int i = 0; i < block.getNumSamples(); ++i)
                    block.setSample (ch, i, track (ch, first + i));
        });

        for (int p : { 0, 1 })
        {
            rig.setParameter ("bypass", 1, p);
            rig.setParameter ("mixWet", 127, p);
            const auto& leg = p == 0 ? c.first : c.second;
            ASSERT_TRUE (rig.attach (Mode::pedalboard, leg.channel, leg.leg, p));
        }

        const int out = c.first.leg == PedalModeConfig::out ? 0 : 1, in = 1 - out;
        ASSERT_TRUE (rig.runUntilStreaming (rig.processor (out).getUsbClient()));
        ASSERT_TRUE (rig.runUntilStreaming (rig.processor (in).getUsbClient()));
        rig.sim.run (0.5); // past the mute and the wet ramp
        const auto from = rig.size();
        rig.sim.run (1.0);

        // Pedalboard use stores no extra latency: the reported latency is the
        // rings' alone. What goes out and comes back through the pedal also
        // takes the pedal's own round trip, as its calibration would measure it.
        const int latency = rig.processor (in).getLatencySamples();
        EXPECT_EQ (rig.driver().getSettings().extraLatency.get(), 0);
        EXPECT_EQ (latency, c.latency);
        EXPECT_EQ (rig.processor (out).getLatencySamples(), latency);
        const int delay = latency + rig.pedalAudio().calibratedLatency();

        // The largest difference from what each output should be, over the last second.
        const auto worst = [&] (int p, int ch, const std::function<float (int64_t)>& expected)
        {
            float largest = 0.0f;
            for (size_t i = from; i < rig.size(); ++i)
                largest = std::max (largest, std::abs (rig.channel (ch, p)[i] - expected ((int64_t) i)));
            return largest;
        };

        for (int ch = 0; ch < 2; ++ch)
        {
            SCOPED_TRACE (ch);
            EXPECT_EQ (worst (out, ch, [&] (int64_t n) { return track (ch, n); }), 0.0f) << "the OUT leg's own track";

            const auto heard = c.in[ch];
            EXPECT_LT (worst (in, ch, [&] (int64_t n) { return heard.channel < 0 ? 0.0f : heard.gain * track (heard.channel, n - delay); }),
                       1.0e-3f) << "the IN leg";
        }
    }
}
} // namespace

// Transitions of the pedal's audio as a listener hears them, with a pedal that
// halves the level, so that a step between the dry and the wet signal shows.
// The pedal's audio leaves and returns with ramps while the delayed dry signal
// keeps its own share (1 - wet) throughout: at 50 % wet the level falls to that
// share and never below, at 100 % to silence between the ramps, however long
// the pedal's audio is missing. No step anywhere but where a host's release
// ends the pedal's stream: the click measure stays at the steady level but for
// the ramps, and a host that prepares again keeps the dry signal going.
namespace
{
struct TransitionCase
{
    const char* name;
    int hostBlock;
    double clockPpm;
    int mixWet;
    bool stored;     // the pedal's latency is stored: no calibration at connection
    bool connects;   // the connection is what is listened to; otherwise the pedal streams first
    std::function<void (ProcessorAudioRig&)> cause;
    std::function<bool (ProcessorAudioRig&)> over;
    double maxSeconds;
    double rampSeconds; // the ramps a listener hears, together
    bool muted;         // the mute closes around a latency change: silence whatever the mix
    // The host released: the pedal's stream ends where it stands and its share
    // with it, in one step, as the host's own stop would end it; the dry share
    // goes on and only ramps.
    bool hostReleases = false;
};

bool restarted (ProcessorAudioRig& rig)
{
    auto& bridge = rig.processor().getUsbClient()->getAudioSource();
    return bridge.getDiagnostics().restarts > 0 && bridge.getStreamingState() == AudioIODeviceSource::streaming;
}

TEST (ProcessorAudioTransitions, EveryTransitionOfThePedalsAudioIsARampAndTheDryKeepsItsShare)
{
    constexpr float pedalGain = 0.5f, level = ClickMeter::amplitude;
    // The ramps: the pedal's fade, the mute's, and the wet/dry ramp at connection.
    const double fade = PedalAudioFade::fadeSeconds, mute = AudioMute().getRampLengthSeconds(),
                 wetRamp = AudioSmoothedValue().getRampLengthSeconds();

    const auto changeLatency = [] (ProcessorAudioRig& rig) { rig.driver().getSettings().outAdjust.setValue (2, nullptr); };
    const auto reopen = [] (ProcessorAudioRig& rig) { rig.driver().getSettings().blockSize.setValue (256, nullptr); };
    const auto reopenSmaller = [] (ProcessorAudioRig& rig) { rig.driver().getSettings().blockSize.setValue (128, nullptr); };
    const auto stall = [] (ProcessorAudioRig& rig) { rig.openDevice()->stall (0.05); };
    const auto longStall = [] (ProcessorAudioRig& rig) { rig.openDevice()->stall (0.7); };
    const auto smallerHostBlocks = [] (ProcessorAudioRig& rig) { rig.prepareAgain (256); };
    const auto largerHostBlocks = [] (ProcessorAudioRig& rig) { rig.prepareAgain (512); };
    const auto nothing = [] (ProcessorAudioRig&) {};
    const auto latencyReported = [] (ProcessorAudioRig& rig)
    {
        auto* client = rig.processor().getUsbClient();
        return client->getAudioSource().getStreamingState() == AudioIODeviceSource::streaming
               && rig.processor().getReportedLatency() == client->getAudioSource().getLatencySamples();
    };
    const auto calibrated = [&latencyReported] (ProcessorAudioRig& rig)
    {
        return rig.driver().getCalibration().getStatus() == LatencyCalibration::Status::measured
               && latencyReported (rig);
    };

    const TransitionCase cases[] = {
        { "a connection with a stored latency", 512, 0.0, 127, true, true, nothing, latencyReported, 1.0, wetRamp + fade, false },
        { "a connection with a stored latency, half wet", 512, 0.0, 64, true, true, nothing, latencyReported, 1.0, wetRamp + fade, false },
        { "a connection that calibrates, up to the calibration's end", 512, 0.0, 127, false, true, nothing, calibrated, 3.0, wetRamp + 2 * mute + fade, true },
        { "a connection that calibrates, half wet", 256, 0.0, 64, false, true, nothing, calibrated, 3.0, wetRamp + 2 * mute + fade, true },
        { "a latency change while streaming", 512, 0.0, 127, true, false, changeLatency, latencyReported, 1.0, 2 * mute + fade, true },
        { "a latency change, small blocks, half wet", 256, 0.0, 64, true, false, changeLatency, latencyReported, 1.0, 2 * mute + fade, true },
        { "a new block size, which reopens the pedal's device", 512, 0.0, 127, true, false, reopen, latencyReported, 1.0, 2 * mute + fade, true },
        { "a smaller block size, small blocks, half wet", 256, 0.0, 64, true, false, reopenSmaller, latencyReported, 1.0, 2 * mute + fade, true },
        { "the host prepares again for blocks of 256, half wet", 512, 0.0, 64, true, false, smallerHostBlocks, latencyReported, 1.0, 2 * mute + fade, true, true },
        { "the host prepares again for blocks of 512, half wet", 256, 0.0, 64, true, false, largerHostBlocks, latencyReported, 1.0, 2 * mute + fade, true, true },
        { "a 50 ms device stall", 512, 0.0, 127, true, false, stall, restarted, 1.0, 2 * fade, false },
        { "a 50 ms device stall, small blocks, half wet", 256, 0.0, 64, true, false, stall, restarted, 1.0, 2 * fade, false },
        { "a 0.7 s device stall", 512, 0.0, 127, true, false, longStall, restarted, 2.0, 2 * fade, false },
        { "a 0.7 s device stall, half wet", 512, 0.0, 64, true, false, longStall, restarted, 2.0, 2 * fade, false },
        { "a restart at +120 ppm", 512, 120.0, 127, true, false, nothing, restarted, 900.0, 2 * fade, false },
        { "a restart at -120 ppm, half wet", 512, -120.0, 64, true, false, nothing, restarted, 900.0, 2 * fade, false },
    };

    for (const auto& c : cases)
    {
        SCOPED_TRACE (c.name);
        ProcessorAudioRig rig;
        VirtualAudioBehaviour behaviour;
        behaviour.clockPpm = c.clockPpm;
        rig.setDeviceBehaviour (behaviour);
        // A calibration hears no return below 0.8: the pedal's effect halves the level once it has measured.
        for (int channel : { 0, 1 })
            rig.pedalAudio().setGain (channel, c.stored ? pedalGain : 1.0f);
        if (c.stored)
            rig.storeCalibratedLatency();
        else
            rig.sim.addPeriodicWork (10, [&rig]
            {
                if (rig.driver().getCalibration().getStatus() == LatencyCalibration::Status::measured)
                    for (int channel : { 0, 1 })
                        rig.pedalAudio().setGain (channel, pedalGain);
            });
        rig.prepare (c.hostBlock);
        rig.setParameter ("mixWet", c.mixWet);
        ClickMeter meter (rig);

        std::function<void()> cause = [&] { ASSERT_TRUE (rig.attach (Mode::audio)); };
        rig.sim.run (0.5);
        if (! c.connects)
        {
            ASSERT_TRUE (rig.attach (Mode::audio));
            ASSERT_TRUE (rig.runUntilStreaming (rig.processor().getUsbClient()));
            rig.sim.run (1.0);
            cause = [&] { c.cause (rig); };
        }

        const auto heard = meter.listen (cause, [&] { return rig.processor().getUsbClient() != nullptr && c.over (rig); },
                                         c.maxSeconds, 0.5);
        SCOPED_TRACE (testing::Message() << "peaks per 10 ms: " << heard.peaks);
        ASSERT_GE (heard.largest, 0.0f) << "the transition did not happen";

        const float wet = (float) c.mixWet / 127.0f;
        const float dryShare = level * (1.0f - wet), steady = dryShare + level * pedalGain * wet;
        const float before = c.connects ? level : steady; // without a pedal the track plays dry

        // A ramp of at least 128 samples and the kinks at its ends stay below
        // this; a step of even 1 % of the level does not.
        EXPECT_LT (heard.largest, 2.0e-3f + (c.hostReleases ? level * pedalGain * wet : 0.0f));
        EXPECT_LT (heard.steady, ClickMeter::steadyFloor);
        // Outside the ramps (and a block each) the steady level.
        EXPECT_LT (heard.elevated, c.rampSeconds + 3 * c.hostBlock / AudioLinkRig::sampleRate);
        EXPECT_NEAR (heard.loudest, std::max (before, steady), 0.01f) << "nothing louder than before or after";
        EXPECT_NEAR (heard.quietest, c.muted ? 0.0f : dryShare, 0.01f) << "down to the dry share, never below";
        if (c.mixWet < 127)
        {
            EXPECT_LE (heard.nearSilent, c.muted ? 2 * mute : 0.0) << "at half wet only the mute's dip is near silent";
        }
        EXPECT_NEAR (heard.finalLevel, steady, 0.01f) << "the pedal's audio came back";
    }
}
} // namespace
