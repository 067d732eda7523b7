#include "KestrunAU.h"
#include "Support/RealtimeCounting.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <array>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

// What a host's audio thread pays for a call into the bundle, counted where the
// host calls: finding the instance and asking which thread called count too,
// not only the processor's block. A render takes the one lock a host expects,
// the processor's callback lock, and a parameter set takes none; neither
// allocates, whoever else automates meanwhile. The instances live in a child
// process of their own: closing the last of them shuts the bundle's framework
// down, as it does in a host, and this test program's with it.
namespace
{
constexpr int framesPerBlock = 256;
constexpr int blocksCounted = 200;

class BundleInstance
{
public:
    BundleInstance()
    {
        const KAUFactoryArgs args { KAU_INTERFACE_VERSION };
        instance = KestrunAUFactory (&args);
    }

    ~BundleInstance()
    {
        if (instance != nullptr)
            call (KAU_Close, nullptr);
    }

    int32_t call (int32_t selector, void* args) const { return KestrunAUEntry (instance, selector, args); }
    bool isOpen() const { return instance != nullptr; }

    int parameterIndex (const char* identifier) const
    {
        KAUPropertyArgs count {};
        count.property = KAU_PropParameterCount;
        call (KAU_GetProperty, &count);

        for (int32_t index = 0; index < count.intValue; ++index)
        {
            KAUParameterInfoArgs info {};
            info.index = index;
            if (call (KAU_GetParameterInfo, &info) == KAU_OK && std::strcmp (info.info.identifier, identifier) == 0)
                return index;
        }

        return -1;
    }

    BundleInstance (const BundleInstance&) = delete;
    BundleInstance& operator= (const BundleInstance&) = delete;

private:
    KAUInstance* instance = nullptr;
};

struct Cost
{
    int calls = 0, failures = 0, locks = 0, allocations = 0;

    void add (const RealtimeCounting& counting, int32_t result)
    {
        ++calls;
        failures += result == KAU_OK ? 0 : 1;
        locks += counting.locksTaken();
        allocations += counting.allocations();
    }

    std::string line (const char* what) const
    {
        return std::string (what) + " " + std::to_string (calls) + " calls, " + std::to_string (failures)
               + " failed, " + std::to_string (locks) + " locks, " + std::to_string (allocations) + " allocations";
    }
};

enum class Automation { none, anotherThread, audioThread };

const struct { const char* what; Automation automation; } cases[] = {
    { "no automation", Automation::none },
    { "automation from another thread", Automation::anotherThread },
    { "automation from the audio thread", Automation::audioThread },
};

// Prints, for each case, what the audio thread's renders and parameter sets
// cost, and ends the child.
[[noreturn]] void renderAndAutomateInEachCase()
{
    for (const auto& c : cases)
    {
        const BundleInstance bundle;
        KAUPrepareArgs prepare { 48000.0, framesPerBlock };
        const auto mixWet = bundle.parameterIndex ("mixWet");
        const auto dacL = bundle.parameterIndex ("dacL");

        if (! bundle.isOpen() || bundle.call (KAU_Prepare, &prepare) != KAU_OK || mixWet < 0 || dacL < 0)
        {
            std::fprintf (stderr, "%s: no prepared instance with the parameters\n", c.what);
            std::exit (2);
        }

        const auto set = [&bundle] (int index, int value)
        {
            KAUParameterArgs args { index, (float) value };
            return bundle.call (KAU_SetParameter, &args);
        };

        std::atomic<bool> rendering { true };
        std::thread automation;
        if (c.automation == Automation::anotherThread)
            automation = std::thread ([&]
            {
                for (int i = 0; rendering.load(); ++i)
                {
                    set (i % 2 == 0 ? mixWet : dacL, i % 128);
                    std::this_thread::yield();
                }
            });

        // The audio thread renders, and sets "mixWet" after each block.
        Cost renders, parameterSets;
        std::thread audio ([&]
        {
            std::vector<float> left (framesPerBlock, 0.25f), right (framesPerBlock, -0.25f);
            std::array<float*, 2> channels { left.data(), right.data() };

            for (int block = 0; block < blocksCounted; ++block)
            {
                KAURenderArgs render { channels.data(), 2, framesPerBlock };
                {
                    const RealtimeCounting counting;
                    const auto result = bundle.call (KAU_Render, &render);
                    renders.add (counting, result);
                }
                {
                    const RealtimeCounting counting;
                    const auto result = set (mixWet, block % 128);
                    parameterSets.add (counting, result);
                }

                if (c.automation == Automation::audioThread)
                    set (dacL, block % 128);
            }
        });
        audio.join();
        rendering = false;
        if (automation.joinable())
            automation.join();

        std::fprintf (stderr, "%s: %s; %s\n", c.what, renders.line ("renders:").c_str(),
                      parameterSets.line ("parameter sets:").c_str());
    }

    std::exit (0);
}
} // namespace

TEST (EntryPointRealtime, ARenderTakesOnlyTheCallbackLockAndAParameterSetNoLockWhoeverAutomates)
{
    GTEST_FLAG_SET (death_test_style, "threadsafe");

    // One lock a render, the processor's callback lock; none for a parameter set.
    const auto expected = [] (const char* what)
    {
        const auto blocks = std::to_string (blocksCounted);
        return testing::HasSubstr (std::string (what) + ": renders: " + blocks + " calls, 0 failed, " + blocks
                                   + " locks, 0 allocations; parameter sets: " + blocks
                                   + " calls, 0 failed, 0 locks, 0 allocations");
    };

    EXPECT_EXIT (renderAndAutomateInEachCase(), testing::ExitedWithCode (0),
                 testing::AllOf (expected (cases[0].what), expected (cases[1].what), expected (cases[2].what)));
}
