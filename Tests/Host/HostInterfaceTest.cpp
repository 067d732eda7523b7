#include "Host/HostFixture.h"

#include <cmath>
#include <dlfcn.h>
#include <limits>
#include <random>
#include <string>

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
    EXPECT_EQ (plugin->textToValue (bypass, "On"), 1.0f);
    EXPECT_EQ (plugin->textToValue (bypass, "on"), 0.0f);

    EXPECT_EQ (plugin->valueToText (level, 63.0f), "63");
    EXPECT_EQ (plugin->textToValue (level, "100"), 100.0f);
    EXPECT_EQ (plugin->textToValue (level, "1000"), 127.0f);
    EXPECT_EQ (plugin->textToValue (level, "loud"), 0.0f);
    EXPECT_EQ (plugin->textToValue (level, ""), 0.0f);
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
    EXPECT_TRUE (idleUntil ([&] { return sawEvent (KAU_EventParameterChanged, adcR, 90.0f); }));
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

TEST_F (HostTest, AudioPassesThroughUnchangedWithoutAPedal)
{
    ASSERT_EQ (plugin->prepare (44100.0, 512), KAU_OK);

    for (bool bypassed : { false, true })
    {
        ASSERT_EQ (plugin->setBypass (bypassed), KAU_OK);
        StereoBlock block (512);
        const auto left = block.left;
        const auto right = block.right;

        ASSERT_EQ (plugin->render (block.pointers, 2, 512), KAU_OK);
        EXPECT_EQ (block.left, left);
        EXPECT_EQ (block.right, right);
    }

    // A mono host track is served too, and extra channels come back silent.
    std::vector<float> mono (300, 0.125f);
    float* one[1] = { mono.data() };
    ASSERT_EQ (plugin->render (one, 1, 300), KAU_OK);
    EXPECT_EQ (mono, std::vector<float> (300, 0.125f));

    std::vector<std::vector<float>> four (4, std::vector<float> (64, 0.5f));
    float* quad[4] = { four[0].data(), four[1].data(), four[2].data(), four[3].data() };
    ASSERT_EQ (plugin->render (quad, 4, 64), KAU_OK);
    EXPECT_EQ (four[0], std::vector<float> (64, 0.5f));
    EXPECT_EQ (four[3], std::vector<float> (64, 0.0f));
}

//==============================================================================
TEST_F (HostTest, StateChunkHasTheWrapperLayoutAndRoundTrips)
{
    ASSERT_EQ (plugin->setParameter (index ("mixWet"), 100.0f), KAU_OK);
    ASSERT_EQ (plugin->setParameter (index ("bypass"), 0.0f), KAU_OK);
    ASSERT_EQ (plugin->setParameter (index ("dacL"), 20.0f), KAU_OK);

    const auto chunk = plugin->getState();
    ASSERT_GT (chunk.size(), 9u);
    EXPECT_EQ (std::string (chunk.begin(), chunk.begin() + 4), "VC2!");
    const uint32_t length = chunk[4] | (chunk[5] << 8) | (chunk[6] << 16) | ((uint32_t) chunk[7] << 24);
    EXPECT_EQ (length, chunk.size() - 9);
    EXPECT_EQ (chunk.back(), 0);

    const std::string xml (chunk.begin() + 8, chunk.end() - 1);
    EXPECT_EQ (xml.find ('\n'), std::string::npos);
    EXPECT_EQ (xml.rfind ("<?xml version=\"1.0\" encoding=\"UTF-8\"?> <Pellion version=\"0.2.0\">", 0), 0u);
    EXPECT_NE (xml.find ("<PARAM id=\"mixWet\" value=\"100\"/>"), std::string::npos);
    EXPECT_NE (xml.find ("<PARAM id=\"dacR\" value=\"20\"/>"), std::string::npos);
    EXPECT_NE (xml.find ("<PRESET name=\"Default\" program=\"0\" modified=\"1\"/>"), std::string::npos);

    auto other = open();
    ASSERT_EQ (other->setState (chunk), KAU_OK);
    EXPECT_EQ (other->getParameter (index ("mixWet")), 100.0f);
    EXPECT_EQ (other->getParameter (index ("bypass")), 0.0f);
    EXPECT_EQ (other->getParameter (index ("dacL")), 20.0f);
    EXPECT_EQ (other->getParameter (index ("dacR")), 20.0f);
}

TEST_F (HostTest, StateFromAHostThreadIsAppliedOnTheMessageThreadOrDroppedWithItsInstance)
{
    auto source = open();
    ASSERT_EQ (source->setParameter (index ("mixWet"), 7.0f), KAU_OK);
    const auto chunk = source->getState();

    std::thread ([&] { EXPECT_EQ (plugin->setState (chunk), KAU_OK); }).join();
    EXPECT_EQ (plugin->getParameter (index ("mixWet")), 63.0f);
    EXPECT_TRUE (idleUntil ([&] { return plugin->getParameter (index ("mixWet")) == 7.0f; }));

    std::thread ([&] { EXPECT_EQ (source->setState (chunk), KAU_OK); }).join();
    source.reset();
    EXPECT_EQ (plugin->idle(), KAU_OK);
    EXPECT_EQ (plugin->name(), "Pellion");
}

TEST_F (HostTest, HostileStateChunksChangeNothing)
{
    ASSERT_EQ (plugin->setParameter (index ("mixWet"), 33.0f), KAU_OK);
    auto chunk = plugin->getState();

    // A copy of the chunk with one byte changed.
    auto changed = [&chunk] (size_t at, uint8_t value) { auto copy = chunk; copy[at] = value; return copy; };
    const std::string xml (chunk.begin(), chunk.end());

    std::vector<std::vector<uint8_t>> hostile {
        {}, { 0x56, 0x43, 0x32, 0x21 }, std::vector<uint8_t> (chunk.begin(), chunk.begin() + 30),
        changed (7, 0xff), changed (0, 0x57), changed (xml.find ("<Pellion") + 1, 'Q'),
    };
    const size_t namedCases = hostile.size();

    auto hugeLength = chunk;
    hugeLength[4] = hugeLength[5] = hugeLength[6] = 0xff;
    hugeLength[7] = 0x7f;

    std::mt19937 random (1234);
    for (int i = 0; i < 200; ++i)
    {
        auto garbage = chunk;
        for (int n = 0; n < 8; ++n)
            garbage[random() % garbage.size()] = (uint8_t) random();
        hostile.push_back (garbage);
    }

    auto other = open();
    ASSERT_EQ (other->setParameter (index ("mixWet"), 90.0f), KAU_OK);

    for (size_t i = 0; i < namedCases; ++i)
    {
        EXPECT_EQ (other->setState (hostile[i]), KAU_OK) << i;
        EXPECT_EQ (other->getParameter (index ("mixWet")), 90.0f) << i;
    }

    for (auto& data : hostile)
        other->setState (data);

    // Whatever garbage got through was clamped into range.
    for (int32_t i = 0; i < other->parameterCount(); ++i)
    {
        const auto value = other->getParameter (i);
        EXPECT_GE (value, 0.0f);
        EXPECT_LE (value, other->parameterInfo (i).maxValue);
    }

    // A length field beyond the data is cut to the data, so the chunk still reads.
    EXPECT_EQ (other->setState (hugeLength), KAU_OK);
    EXPECT_EQ (other->getParameter (index ("mixWet")), 33.0f);

    EXPECT_EQ (other->setState (nullptr, 12), KAU_ErrInvalidArgument);
    EXPECT_EQ (other->setState (chunk.data(), -1), KAU_ErrInvalidArgument);
}

//==============================================================================
TEST_F (HostTest, MessageThreadCallsFromAnotherThreadAreRefused)
{
    std::thread other ([&]
    {
        KAUDataArgs state { nullptr, 0 };
        EXPECT_EQ (plugin->dispatch (KAU_GetState, &state), KAU_ErrWrongThread);
        KAUEditorArgs editor {};
        EXPECT_EQ (plugin->dispatch (KAU_CreateEditor, &editor), KAU_ErrWrongThread);
        EXPECT_EQ (PluginBundle::idle (sharedBundle().getEntry()), KAU_ErrWrongThread);
        EXPECT_EQ (sharedBundle().getEntry() (plugin->handle(), KAU_Close, nullptr), KAU_ErrWrongThread);
    });
    other.join();

    EXPECT_EQ (plugin->name(), "Pellion");
}

TEST_F (HostTest, UnknownCallsAndProgramsAreRefused)
{
    EXPECT_EQ (plugin->setCurrentProgram (0), KAU_OK);
    EXPECT_EQ (plugin->setCurrentProgram (1), KAU_ErrInvalidArgument);
    EXPECT_EQ (plugin->setCurrentProgram (-1), KAU_ErrInvalidArgument);
    EXPECT_EQ (plugin->currentProgram(), 0);

    char name[32];
    KAUProgramArgs args { 5, name, sizeof (name) };
    EXPECT_EQ (plugin->dispatch (KAU_GetProgramName, &args), KAU_ErrInvalidArgument);

    EXPECT_EQ (plugin->dispatch (999, nullptr), KAU_ErrInvalidSelector);
    EXPECT_EQ (plugin->dispatch (KAU_GetProperty, nullptr), KAU_ErrInvalidArgument);
    EXPECT_EQ (sharedBundle().getEntry() (nullptr, KAU_GetProperty, nullptr), KAU_ErrInvalidInstance);

    KAUPropertyArgs property {};
    property.property = 4711;
    EXPECT_EQ (plugin->dispatch (KAU_GetProperty, &property), KAU_ErrInvalidProperty);
    property.property = KAU_PropInputChannels;
    property.element = 3;
    EXPECT_EQ (plugin->dispatch (KAU_GetProperty, &property), KAU_ErrInvalidArgument);

    KAUFactoryArgs wrongVersion { KAU_INTERFACE_VERSION + 1 };
    EXPECT_EQ (sharedBundle().getFactory() (&wrongVersion), nullptr);
    EXPECT_EQ (sharedBundle().getFactory() (nullptr), nullptr);
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

TEST (HostBundle, ExportsOnlyItsTwoEntryPoints)
{
    void* handle = dlopen (PELLION_BUNDLE_PATH, RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE (handle, nullptr) << dlerror();

    EXPECT_NE (dlsym (handle, "KestrunAUFactory"), nullptr);
    EXPECT_NE (dlsym (handle, "KestrunAUEntry"), nullptr);
    EXPECT_EQ (dlsym (handle, "_ZN4juce14MessageManager11getInstanceEv"), nullptr);
    EXPECT_EQ (dlsym (handle, "_ZN21VelmoraAudioProcessorC1Ev"), nullptr);
    dlclose (handle);
}

TEST (HostTool, DescribesTheBundle)
{
    const std::string command = std::string (PELLION_HOST_TOOL) + " describe " + PELLION_BUNDLE_PATH + " 2>&1";
    FILE* pipe = popen (command.c_str(), "r");
    ASSERT_NE (pipe, nullptr);

    std::string output;
    char buffer[512];
    while (fgets (buffer, sizeof (buffer), pipe) != nullptr)
        output += buffer;

    EXPECT_EQ (pclose (pipe), 0);
    EXPECT_NE (output.find ("name: Pellion"), std::string::npos) << output;
    EXPECT_NE (output.find ("version: 0.2.0"), std::string::npos);
    EXPECT_NE (output.find ("[5] bypass \"Bypass\""), std::string::npos);
    EXPECT_EQ (output.find ("adcLink"), std::string::npos);
}
