#include "Support/AudioLinkRig.h"

#include <gtest/gtest.h>

// Which clients of a pedal get which of its audio channels, end to end: each
// client's host sends its own level, the pedal returns its left channel at
// gain 1 and its right one at 0.5 with its polarity inverted, and the table
// says what the pedal receives on each channel and what each client's host
// gets back.
namespace
{
struct Client
{
    ChannelSetting channel;
    PedalModeConfig leg;
    float level;
    float backLeft, backRight; // what its host gets back
};

struct Case
{
    const char* name;
    Mode mode;
    std::vector<Client> clients;
    float pedalLeft, pedalRight; // what the pedal receives
};

constexpr float a = 0.1f, b = 0.2f, c = 0.3f;
constexpr auto L = ChannelSetting::monoLeft, R = ChannelSetting::monoRight, S = ChannelSetting::stereo;
constexpr auto none = PedalModeConfig::none, in = PedalModeConfig::in, out = PedalModeConfig::out;

TEST (ChannelFanOut, UsesSplitsAndLegsAsOneTable)
{
    const Case cases[] = {
        { "audio, one stereo client", Mode::audio, { { S, none, a, a, -a / 2 } }, a, a },
        { "audio, two stereo clients: only the first", Mode::audio, { { S, none, a, a, -a / 2 }, { S, none, b, 0, 0 } }, a, a },
        { "audio, left then right", Mode::audio, { { L, none, a, a, 0 }, { R, none, b, -b / 2, 0 } }, a, b },
        { "audio, right then left: by channel, not order", Mode::audio, { { R, none, a, -a / 2, 0 }, { L, none, b, b, 0 } }, b, a },
        { "audio, only a right client: the left stays silent", Mode::audio, { { R, none, a, -a / 2, 0 } }, 0, a },
        { "audio, a stereo client after a mono one: the first gets both", Mode::audio, { { L, none, a, a, -a / 2 }, { S, none, b, 0, 0 } }, a, a },
        { "pedalboard, OUT then IN", Mode::pedalboard, { { S, out, a, a, a }, { S, in, b, a, -a / 2 } }, a, a },
        { "pedalboard, IN then OUT: the IN leg clears nothing", Mode::pedalboard, { { S, in, b, a, -a / 2 }, { S, out, a, a, a } }, a, a },
        { "pedalboard, mono legs on the left", Mode::pedalboard, { { L, out, a, a, a }, { L, in, b, a, 0 } }, a, 0 },
        { "pedalboard split: a stereo leg gets nothing", Mode::pedalboard, { { L, out, a, a, a }, { S, out, c, 0, 0 }, { L, in, b, a, 0 } }, a, 0 },
    };

    for (const auto& test : cases)
    {
        SCOPED_TRACE (test.name);
        AudioLinkRig rig;
        rig.pedalAudio().setGain (1, -0.5f);
        rig.driver().getSettings().extraLatency.setValue (100, nullptr);

        std::vector<UsbDeviceClient*> clients;
        for (auto& client : test.clients)
            clients.push_back (rig.attach (test.mode, 256, client.channel, client.leg));

        std::vector<std::pair<float, float>> back (clients.size());
        juce::AudioBuffer<float> block (2, 256);

        rig.sim.setHost (AudioLinkRig::sampleRate, 256, 2, [&] (juce::AudioBuffer<float>&, int64_t)
        {
            for (size_t i = 0; i < clients.size(); ++i)
            {
                for (int ch = 0; ch < 2; ++ch)
                    juce::FloatVectorOperations::fill (block.getWritePointer (ch), test.clients[i].level, 256);

                clients[i]->getNextAudioBlock (juce::AudioSourceChannelInfo (block));
                back[i] = { block.getSample (0, 255), block.getSample (1, 255) };
            }
        });

        rig.sim.run (1.0);
        auto& pedal = rig.pedalAudio();
        const auto window = pedal.getLastSample();
        pedal.capture (window, 1024);
        rig.sim.run (0.1);

        EXPECT_NEAR (pedal.getReceived (0, window + 1000), test.pedalLeft, 1.0e-6f);
        EXPECT_NEAR (pedal.getReceived (1, window + 1000), test.pedalRight, 1.0e-6f);
        EXPECT_NEAR (pedal.getSent (1, window + 1000), -0.5f * test.pedalRight, 1.0e-6f);

        for (size_t i = 0; i < clients.size(); ++i)
        {
            SCOPED_TRACE (i);
            EXPECT_NEAR (back[i].first, test.clients[i].backLeft, 1.0e-6f);
            EXPECT_NEAR (back[i].second, test.clients[i].backRight, 1.0e-6f);
        }
    }
}

TEST (ChannelFanOut, OutsideAudioAndPedalboardUseNobodyIsCalledAndTheOutputsAreSilent)
{
    AudioLinkRig rig;
    auto* client = rig.attach (Mode::control, 256);
    EXPECT_EQ (rig.openDevice(), nullptr); // Control use opens no audio

    juce::AudioBuffer<float> inputs (2, 64), outputs (2, 64);
    inputs.clear();
    for (int ch = 0; ch < 2; ++ch)
        juce::FloatVectorOperations::fill (outputs.getWritePointer (ch), 0.7f, 64);

    rig.driver().audioDeviceIOCallbackWithContext (inputs.getArrayOfReadPointers(), 2, outputs.getArrayOfWritePointers(),
                                                   2, 64, {});
    EXPECT_EQ (outputs.getMagnitude (0, 64), 0.0f);
    EXPECT_EQ (client->getAudioSource().getDiagnostics().largestDeviceCallback, 0);
}
} // namespace
