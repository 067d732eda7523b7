#include "Host/HostFixture.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdio>
#include <iterator>
#include <limits>
#include <string>
#include <thread>
#include <vector>

namespace
{
struct Expected
{
    const char* id;
    const char* name;
    float maximum;
    float defaultValue;
    int32_t steps;
    int32_t unit;
    uint32_t flags;
};

constexpr uint32_t rw = KAU_ParamFlagReadable | KAU_ParamFlagWritable | KAU_ParamFlagGlobalMeta;

const Expected hostParameters[] = {
    { "adcL", "Input Level Left", 127, 63, 128, KAU_UnitGeneric, rw | KAU_ParamFlagRampable },
    { "adcR", "Input Level Right", 127, 63, 128, KAU_UnitGeneric, rw | KAU_ParamFlagRampable },
    { "dacL", "Output Level Left", 127, 63, 128, KAU_UnitGeneric, rw | KAU_ParamFlagRampable },
    { "dacR", "Output Level Right", 127, 63, 128, KAU_UnitGeneric, rw | KAU_ParamFlagRampable },
    { "mixWet", "Dry/wet balance", 127, 63, 128, KAU_UnitGeneric, rw | KAU_ParamFlagRampable },
    { "bypass", "Bypass", 1, 1, 2, KAU_UnitBoolean, rw | KAU_ParamFlagHasText },
};

struct StereoBlock
{
    explicit StereoBlock (int frames) : left ((size_t) frames), right ((size_t) frames)
    {
        for (int i = 0; i < frames; ++i)
        {
            left[(size_t) i] = 0.5f * std::sin (0.05f * (float) i);
            right[(size_t) i] = -0.25f * std::sin (0.03f * (float) i);
        }
        pointers[0] = left.data();
        pointers[1] = right.data();
    }

    std::vector<float> left, right;
    float* pointers[2];
};
} // namespace

//==============================================================================
TEST_F (HostTest, DescribesItselfAsAStereoEffectWithAFixedSizeEditor)
{
    EXPECT_EQ (plugin->name(), "Pellion");
    EXPECT_EQ (plugin->version(), 0x200);
    EXPECT_EQ (plugin->inputBusCount(), 1);
    EXPECT_EQ (plugin->outputBusCount(), 1);
    EXPECT_EQ (plugin->inputBusName (0), "Input");
    EXPECT_EQ (plugin->outputBusName (0), "Output");
    EXPECT_EQ (plugin->inputChannels (0), 2);
    EXPECT_EQ (plugin->outputChannels (0), 2);
    EXPECT_FALSE (plugin->acceptsMidi());
    EXPECT_FALSE (plugin->producesMidi());
    EXPECT_TRUE (plugin->hasEditor());
    EXPECT_EQ (plugin->tailSamples(), 0);
    EXPECT_EQ (plugin->latencySamples(), 0);
    EXPECT_EQ (plugin->programCount(), 1);
    EXPECT_EQ (plugin->programName (0), "Default");
    EXPECT_EQ (plugin->currentProgram(), 0);

    const auto editor = plugin->createEditor (false);
    EXPECT_EQ (editor.result, KAU_OK);
    EXPECT_EQ (editor.width, 480);
    EXPECT_EQ (editor.height, 540);
    EXPECT_EQ (plugin->destroyEditor(), KAU_OK);
}

TEST_F (HostTest, ListsExactlyTheSixHostParametersInOrder)
{
    ASSERT_EQ (plugin->parameterCount(), 6);

    for (int32_t i = 0; i < 6; ++i)
    {
        const auto& expected = hostParameters[i];
        const auto info = plugin->parameterInfo (i);
        SCOPED_TRACE (expected.id);

        EXPECT_EQ (info.identifier, expected.id);
        EXPECT_EQ (info.name, expected.name);
        EXPECT_EQ (info.minValue, 0.0f);
        EXPECT_EQ (info.maxValue, expected.maximum);
        EXPECT_EQ (info.defaultValue, expected.defaultValue);
        EXPECT_EQ (info.numSteps, expected.steps);
        EXPECT_EQ (info.unit, expected.unit);
        EXPECT_EQ (info.flags, expected.flags);
        EXPECT_EQ (plugin->getParameter (i), expected.defaultValue);
    }

    // The two link switches, the channel setting and the preset stay internal.
    for (auto* internal : { "adcLink", "dacLink", "channelSetting", "preset" })
        EXPECT_FALSE (plugin->findParameter (internal).has_value()) << internal;

    KAUParameterInfoArgs args {};
    args.index = 6;
    EXPECT_EQ (plugin->dispatch (KAU_GetParameterInfo, &args), KAU_ErrInvalidParameter);
}

TEST_F (HostTest, ValueTextsReadAsTheHostShowsThem)
{
    const auto bypass = index ("bypass");
    const auto level = index ("adcL");

    EXPECT_EQ (plugin->valueToText (bypass, 1.0f), "On");
    EXPECT_EQ (plugin->valueToText (bypass, 0.0f), "Off");
    EXPECT_EQ (plugin->valueToText (bypass, 0.0f, 2), "Of");
    EXPECT_EQ (plugin->valueToText (level, 63.0f), "63");
}

TEST_F (HostTest, HostTextsAreReadOnlyWhenTheyAreWellFormedUtf8)
{
    struct Case
    {
        const char* id;
        std::string text;
        int32_t result;
        float value;
    };

    const Case cases[] = {
        { "bypass", "On", KAU_OK, 1.0f },
        { "bypass", "on", KAU_OK, 0.0f },
        { "adcL", "100", KAU_OK, 100.0f },
        { "adcL", "1000", KAU_OK, 127.0f },
        { "adcL", "loud", KAU_OK, 0.0f },
        { "adcL", "", KAU_OK, 0.0f },
        { "adcL", "12 \xC3\xBC", KAU_OK, 12.0f },
        { "adcL", std::string (KAU_MAX_TEXT_BYTES - 1, '0'), KAU_OK, 0.0f },
        // The framework's decoder copies past its buffer on a broken lead byte.
        { "adcL", "\xE0" "A" "BCDEFGHIJKLMNOPQRSTUVWXYZ", KAU_ErrInvalidArgument, 0.0f },
        { "bypass", "\xC0\x80", KAU_ErrInvalidArgument, 0.0f },        // overlong
        { "adcL", "\xED\xA0\x80", KAU_ErrInvalidArgument, 0.0f },      // surrogate
        { "adcL", "\xF4\x90\x80\x80", KAU_ErrInvalidArgument, 0.0f },  // beyond U+10FFFF
        { "adcL", "1\x80", KAU_ErrInvalidArgument, 0.0f },             // stray continuation
        { "adcL", "6\xC3", KAU_ErrInvalidArgument, 0.0f },             // cut short
        { "adcL", std::string (KAU_MAX_TEXT_BYTES, '0'), KAU_ErrInvalidArgument, 0.0f },
    };

    for (const auto& c : cases)
    {
        SCOPED_TRACE (c.text.substr (0, 32));
        KAUParameterTextArgs args {};
        args.index = index (c.id);
        args.value = -1.0f;
        args.text = const_cast<char*> (c.text.c_str());
        ASSERT_EQ (plugin->dispatch (KAU_ParameterTextToValue, &args), c.result);
        EXPECT_EQ (args.value, c.result == KAU_OK ? c.value : -1.0f);
    }
}

//==============================================================================
TEST_F (HostTest, AutomationFromAHostThreadReachesTheLinkedPartner)
{
    const auto adcL = index ("adcL");
    const auto adcR = index ("adcR");
    plugin->clearEvents();

    std::thread ([&] { EXPECT_EQ (plugin->setParameter (adcL, 90.0f), KAU_OK); }).join();

    EXPECT_EQ (plugin->getParameter (adcL), 90.0f);

    // The flush on the message thread mirrors the linked side and tells the host.
    ASSERT_TRUE (idleUntil ("the linked partner's change told to the host", [&] { return sawEvent (KAU_EventParameterChanged, adcR, 90.0f); }));
    EXPECT_EQ (plugin->getParameter (adcR), 90.0f);

    for (auto& e : plugin->events())
        EXPECT_EQ (e.thread, plugin->messageThread());
}

TEST_F (HostTest, OutOfRangeAndNonFiniteValuesNeverCorruptAParameter)
{
    const auto mixWet = index ("mixWet");
    const auto bypass = index ("bypass");

    EXPECT_EQ (plugin->setParameter (mixWet, 1000.0f), KAU_OK);
    EXPECT_EQ (plugin->getParameter (mixWet), 127.0f);
    EXPECT_EQ (plugin->setParameter (mixWet, -5.0f), KAU_OK);
    EXPECT_EQ (plugin->getParameter (mixWet), 0.0f);
    EXPECT_EQ (plugin->setParameter (mixWet, 41.6f), KAU_OK);
    EXPECT_EQ (plugin->getParameter (mixWet), 42.0f);

    for (float bad : { std::numeric_limits<float>::quiet_NaN(), std::numeric_limits<float>::infinity(),
                       -std::numeric_limits<float>::infinity() })
    {
        EXPECT_EQ (plugin->setParameter (mixWet, bad), KAU_ErrInvalidArgument);
        EXPECT_EQ (plugin->setParameter (bypass, bad), KAU_ErrInvalidArgument);
    }

    EXPECT_EQ (plugin->getParameter (mixWet), 42.0f);
    EXPECT_EQ (plugin->getParameter (bypass), 1.0f);
    EXPECT_EQ (plugin->setParameter (6, 1.0f), KAU_ErrInvalidParameter);
    EXPECT_EQ (plugin->setParameter (-1, 1.0f), KAU_ErrInvalidParameter);

    KAUParameterTextArgs text {};
    text.index = mixWet;
    text.value = std::numeric_limits<float>::quiet_NaN();
    char buffer[16];
    text.text = buffer;
    text.textCapacity = sizeof (buffer);
    EXPECT_EQ (plugin->dispatch (KAU_ParameterValueToText, &text), KAU_ErrInvalidArgument);
}

//==============================================================================
TEST_F (HostTest, RenderingRefusesCallsInTheWrongOrder)
{
    StereoBlock block (512);
    EXPECT_EQ (plugin->render (block.pointers, 2, 512), KAU_ErrNotPrepared);

    EXPECT_EQ (plugin->prepare (0.0, 512), KAU_ErrInvalidArgument);
    EXPECT_EQ (plugin->prepare (std::numeric_limits<double>::quiet_NaN(), 512), KAU_ErrInvalidArgument);
    EXPECT_EQ (plugin->prepare (48000.0, 0), KAU_ErrInvalidArgument);
    EXPECT_EQ (plugin->prepare (48000.0, -64), KAU_ErrInvalidArgument);

    ASSERT_EQ (plugin->prepare (48000.0, 256), KAU_OK);
    EXPECT_EQ (plugin->render (block.pointers, 2, 512), KAU_ErrTooManyFrames);
    EXPECT_EQ (plugin->render (block.pointers, 2, -1), KAU_ErrInvalidArgument);

    float* missing[2] = { block.left.data(), nullptr };
    EXPECT_EQ (plugin->render (missing, 2, 256), KAU_ErrInvalidArgument);
    EXPECT_EQ (plugin->render (nullptr, 2, 256), KAU_ErrInvalidArgument);
    EXPECT_EQ (plugin->render (block.pointers, 2, 0), KAU_OK);
    EXPECT_EQ (plugin->render (block.pointers, 2, 256), KAU_OK);

    EXPECT_EQ (plugin->unprepare(), KAU_OK);
    EXPECT_EQ (plugin->render (block.pointers, 2, 256), KAU_ErrNotPrepared);
}

// A host that prepares again while its audio thread renders: each render runs
// on a whole preparation or is refused while one is under way, never between.
TEST_F (HostTest, PreparingAgainWhileAnotherThreadRendersIsSafe)
{
    ASSERT_EQ (plugin->prepare (48000.0, 512), KAU_OK);
    std::atomic<bool> running { true };
    std::atomic<int> calls[3] {}; // rendered, refused while preparing, failed

    std::thread audio ([&]
    {
        StereoBlock block (256);
        while (running.load())
        {
            const auto result = plugin->render (block.pointers, 2, 256);
            calls[result == KAU_OK ? 0 : result == KAU_ErrNotPrepared ? 1 : 2].fetch_add (1);
        }
    });

    for (int i = 0; i < 50; ++i)
    {
        // Each preparation comes while the audio thread is at work.
        const int before = calls[0] + calls[1];
        const auto rendering = waitUntil ("two render calls", [&] { return calls[0] + calls[1] >= before + 2; }, patience,
                                          [] { std::this_thread::yield(); });
        EXPECT_TRUE (rendering);
        if (! rendering)
            break;
        EXPECT_EQ (i % 10 == 9 ? plugin->unprepare() : plugin->prepare (48000.0, i % 2 == 0 ? 256 : 1024), KAU_OK);
    }

    running.store (false);
    audio.join();
    EXPECT_GT (calls[0].load(), 0);
    EXPECT_EQ (calls[2].load(), 0);
}

// Without a pedal the track plays dry, delayed by the latency the host is told
// (what a pedal with the newest settings would add): bypassed or not, a mono
// track too; extra channels come back silent.
TEST_F (HostTest, WithoutAPedalTheTrackComesBackDryDelayedByTheReportedLatency)
{
    constexpr int frames = 512, blocks = 8;
    const auto input = [] (int channel, int sample) { return (channel == 0 ? 0.5f : -0.25f) * std::sin (0.01f * (float) (sample + 7 * channel)); };

    for (int channels : { 2, 1, 4 })
    {
        SCOPED_TRACE (channels);
        auto instance = open();
        ASSERT_EQ (instance->prepare (44100.0, frames), KAU_OK);
        const int latency = instance->latencySamples();
        EXPECT_EQ (latency, (512 + 1024) + 1024 + 56); // "outAdjust" 1, "inAdjust" 0, no extra latency

        std::vector<std::vector<float>> out ((size_t) channels);
        for (int b = 0; b < blocks; ++b)
        {
            ASSERT_EQ (instance->setBypass (b % 2 != 0), KAU_OK);
            std::vector<std::vector<float>> block ((size_t) channels, std::vector<float> (frames));
            std::vector<float*> pointers;
            for (int c = 0; c < channels; ++c)
            {
                for (int i = 0; i < frames; ++i)
                    block[(size_t) c][(size_t) i] = input (c, b * frames + i);
                pointers.push_back (block[(size_t) c].data());
            }

            ASSERT_EQ (instance->render (pointers.data(), channels, frames), KAU_OK);
            for (int c = 0; c < channels; ++c)
                out[(size_t) c].insert (out[(size_t) c].end(), block[(size_t) c].begin(), block[(size_t) c].end());
        }

        for (int c = 0; c < channels; ++c)
        {
            std::vector<float> expected ((size_t) (frames * blocks), 0.0f);
            for (int i = latency; c < 2 && i < frames * blocks; ++i)
                expected[(size_t) i] = input (c, i - latency);
            EXPECT_EQ (out[(size_t) c], expected) << "channel " << c;
        }
    }
}

//==============================================================================
TEST_F (HostTest, MessageThreadCallsFromAnotherThreadAreRefused)
{
    onHostThread ([&]
    {
        KAUEditorArgs editor {};
        EXPECT_EQ (plugin->dispatch (KAU_CreateEditor, &editor), KAU_ErrWrongThread);
        EXPECT_EQ (plugin->destroyEditor(), KAU_ErrWrongThread);
        EXPECT_EQ (PluginBundle::idle (sharedBundle().getEntry()), KAU_ErrWrongThread);
        EXPECT_EQ (sharedBundle().getEntry() (plugin->handle(), KAU_Close, nullptr), KAU_ErrWrongThread);
        KAUFactoryArgs version { KAU_INTERFACE_VERSION };
        EXPECT_EQ (sharedBundle().getFactory() (&version), nullptr);
    });

    EXPECT_EQ (plugin->name(), "Pellion");
}

TEST_F (HostTest, CallsOutsideTheInterfaceAreRefusedNeverFollowed)
{
    const auto entry = sharedBundle().getEntry();
    KAUFactoryArgs version { KAU_INTERFACE_VERSION };
    auto* closed = sharedBundle().getFactory() (&version);
    ASSERT_NE (closed, nullptr);
    ASSERT_EQ (entry (closed, KAU_Close, nullptr), KAU_OK);

    // A new instance may take the closed one's place; the old handle still finds nothing.
    auto replacement = open();
    int notAnInstance = 0;
    auto* madeUp = reinterpret_cast<KAUInstance*> (&notAnInstance);
    auto* live = plugin->handle();

    KAUPropertyArgs versionQuery {}, unknown {}, noSuchBus {};
    versionQuery.property = KAU_PropVersion;
    unknown.property = 4711;
    noSuchBus.property = KAU_PropInputChannels;
    noSuchBus.element = 3;
    KAUParameterArgs parameter { 0, 1.0f };

    const struct
    {
        KAUInstance* instance;
        int32_t selector;
        void* args;
        int32_t result;
    } calls[] = {
        { live, 999, nullptr, KAU_ErrInvalidSelector },
        { live, KAU_GetProperty, nullptr, KAU_ErrInvalidArgument },
        { live, KAU_GetProperty, &unknown, KAU_ErrInvalidProperty },
        { live, KAU_GetProperty, &noSuchBus, KAU_ErrInvalidArgument },
        { closed, KAU_GetProperty, &versionQuery, KAU_ErrInvalidInstance },
        { closed, KAU_SetParameter, &parameter, KAU_ErrInvalidInstance },
        { closed, KAU_Close, nullptr, KAU_ErrInvalidInstance },
        { madeUp, KAU_GetProperty, &versionQuery, KAU_ErrInvalidInstance },
        { madeUp, KAU_Close, nullptr, KAU_ErrInvalidInstance },
        { nullptr, KAU_GetProperty, &versionQuery, KAU_ErrInvalidInstance },
        { nullptr, KAU_Close, nullptr, KAU_ErrInvalidInstance },
    };

    for (size_t i = 0; i < std::size (calls); ++i)
        EXPECT_EQ (entry (calls[i].instance, calls[i].selector, calls[i].args), calls[i].result) << "call " << i;

    KAUFactoryArgs wrongVersion { KAU_INTERFACE_VERSION + 1 };
    EXPECT_EQ (sharedBundle().getFactory() (&wrongVersion), nullptr);
    EXPECT_EQ (sharedBundle().getFactory() (nullptr), nullptr);

    EXPECT_EQ (replacement->getParameter (0), 63.0f);
    EXPECT_EQ (plugin->name(), "Pellion");
}

TEST_F (HostTest, InstancesLiveIndependently)
{
    const auto mixWet = index ("mixWet");
    auto second = open();
    ASSERT_EQ (second->setParameter (mixWet, 5.0f), KAU_OK);
    EXPECT_EQ (plugin->getParameter (mixWet), 63.0f);

    plugin.reset();
    EXPECT_EQ (second->idle(), KAU_OK);
    EXPECT_EQ (second->getParameter (mixWet), 5.0f);
    plugin = std::move (second);
}

TEST (HostBundle, ExportsExactlyItsTwoEntryPoints)
{
    FILE* pipe = popen ("nm -D --defined-only " PELLION_BUNDLE_PATH, "r");
    ASSERT_NE (pipe, nullptr);

    std::vector<std::string> exported;
    char line[1024];
    while (fgets (line, sizeof (line), pipe) != nullptr)
    {
        std::string symbol (line);
        symbol = symbol.substr (symbol.find_last_of (' ') + 1);
        exported.push_back (symbol.substr (0, symbol.find ('\n')));
    }

    ASSERT_EQ (pclose (pipe), 0);
    std::sort (exported.begin(), exported.end());
    EXPECT_EQ (exported, (std::vector<std::string> { "KestrunAUEntry", "KestrunAUFactory" }));
}
