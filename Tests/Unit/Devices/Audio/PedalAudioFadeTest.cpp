#include "Devices/Audio/PedalAudioFade.h"

#include <gtest/gtest.h>
#include <vector>

// The host's gain for the pedal's audio, block by block, at 1 kHz, where a
// fade lasts 60 samples.
namespace
{
using Span = AudioIODeviceSource::WetSpan;

struct Block
{
    std::vector<float> gains;
    bool letGo;
};

Block planned (PedalAudioFade& fade, const Span& span, int numSamples = 32, float wetStart = 1.0f, float wetEnd = 1.0f)
{
    fade.plan (span, numSamples, wetStart, wetEnd);
    Block block { std::vector<float> ((size_t) numSamples, -1.0f), fade.mayLetGo() };
    fade.fill (block.gains.data());
    return block;
}

Span real (int from = 0, int until = 32) { return { from, until, false, false, 0 }; }

TEST (PedalAudioFade, RampsUpFromWhereThePedalsAudioReturnsAndDownToWhereItEnds)
{
    PedalAudioFade fade;
    fade.prepare (1000.0);
    constexpr float step = 1.0f / 60.0f;

    // Nothing of it in the first block; it comes back at sample 10 of the second.
    auto block = planned (fade, real (32));
    EXPECT_EQ (block.gains, std::vector<float> (32, 0.0f));
    EXPECT_TRUE (fade.isSteady());

    block = planned (fade, real (10));
    EXPECT_EQ (block.gains[9], 0.0f);
    EXPECT_EQ (block.gains[10], 0.0f);
    EXPECT_FLOAT_EQ (block.gains[11], step);
    EXPECT_FLOAT_EQ (block.gains[31], 21 * step);

    // Up to 1 within the fade, then steady.
    block = planned (fade, real());
    EXPECT_FLOAT_EQ (block.gains[0], 22 * step);
    planned (fade, real());
    EXPECT_EQ (planned (fade, real()).gains, std::vector<float> (32, 1.0f));
    EXPECT_TRUE (fade.isSteady());
    EXPECT_EQ (fade.getSteadyGain(), 1.0f);

    // It ends after 8 samples: down to 0 exactly there.
    block = planned (fade, { 0, 8, true, false, 0 });
    EXPECT_EQ (block.gains[0], 1.0f);
    EXPECT_FLOAT_EQ (block.gains[4], 0.5f);
    EXPECT_EQ (block.gains[8], 0.0f);
    EXPECT_EQ (block.gains[31], 0.0f);
    EXPECT_EQ (fade.getGain(), 0.0f);
}

TEST (PedalAudioFade, AWaitingRestartFadesOutAtTheFadesPaceThenLetsGo)
{
    struct Case
    {
        const char* name;
        float wetStart, wetEnd;
        int blocksToLetGo;
    };

    const Case cases[] = {
        { "heard throughout: the whole fade", 1.0f, 1.0f, 2 },
        { "silenced by the mute within the block", 1.0f, 0.0f, 1 },
        { "not heard at all (no mix, or the mute closed)", 0.0f, 0.0f, 1 },
    };

    for (const auto& c : cases)
    {
        SCOPED_TRACE (c.name);
        PedalAudioFade fade;
        fade.prepare (1000.0);
        for (int i = 0; i < 3; ++i)
            planned (fade, real());
        ASSERT_EQ (fade.getGain(), 1.0f);

        const Span handOver { 0, 32, false, true, 0 };
        int blocks = 0;
        for (bool letGo = false; ! letGo && blocks < 10; ++blocks)
        {
            const auto block = planned (fade, handOver, 32, c.wetStart, c.wetEnd);
            letGo = block.letGo;
            for (size_t i = 1; i < block.gains.size(); ++i)
                EXPECT_LE (block.gains[i], block.gains[i - 1]) << "only ever down";
        }
        EXPECT_EQ (blocks, c.blocksToLetGo);
    }

    // Without a waiting restart nothing lets go.
    PedalAudioFade fade;
    fade.prepare (1000.0);
    EXPECT_FALSE (planned (fade, real (32)).letGo);
    fade.silence (32);
    EXPECT_FALSE (fade.mayLetGo());
}
} // namespace
