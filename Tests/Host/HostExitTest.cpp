#include "Host/HostFixture.h"

#include <gmock/gmock.h>
#include <dlfcn.h>

#include <cstdlib>
#include <functional>

// A host may exit, or unload the bundle, with instances still open. Each case
// runs in a process of its own (a death test) that leaves instances open and
// then exits: the bundle must close them and shut its framework down before
// its static objects go, so the process ends as cleanly as one that closed
// everything. The sanitizers fail it otherwise: a leak, a use of the
// framework's destroyed timer lock, a race with its still running timer thread;
// and the framework itself reports every object it never saw deleted.
namespace
{
const auto cleanEnd = testing::Not (testing::AnyOf (testing::HasSubstr ("JUCE Assertion failure"),
                                                    testing::HasSubstr ("Leaked objects detected")));

// Reachable to the end, so that only what the bundle itself leaves is a leak.
PluginInstance* leftOpen[4] = {};

PluginInstance& openAndKeep (int slot)
{
    std::string error;
    leftOpen[slot] = PluginInstance::create (sharedBundle(), error).release();

    if (leftOpen[slot] == nullptr)
    {
        std::fprintf (stderr, "no instance: %s\n", error.c_str());
        std::exit (3);
    }

    return *leftOpen[slot];
}

// What a host leaves behind, then exits.
struct LeftBehind
{
    const char* what;
    std::function<void()> leave;
};

const LeftBehind leftBehind[] = {
    { "one instance, untouched", [] { openAndKeep (0); } },
    { "a prepared instance with calls queued for its message thread", []
      {
          auto& plugin = openAndKeep (0);
          plugin.prepare (48000.0, 512);
          const auto state = plugin.getState();
          std::thread ([&] { plugin.setParameter (0, 5.0f); plugin.setState (state); }).join();
          plugin.idle();
          plugin.setState (state);
      } },
    { "two instances, one showing its editor", []
      {
          openAndKeep (0);
          openAndKeep (1).createEditor (false);
      } },
    { "an instance closed, another left open", []
      {
          openAndKeep (0);
          delete std::exchange (leftOpen[0], nullptr);
          openAndKeep (1).idle();
      } },
};
} // namespace

TEST (HostExit, InstancesLeftOpenAreClosedWhenTheHostExits)
{
    // Each child starts afresh rather than forking this process and its threads.
    GTEST_FLAG_SET (death_test_style, "threadsafe");

    for (const auto& c : leftBehind)
    {
        EXPECT_EXIT (
            {
                HostTest::keepUpdateChecksOff();
                c.leave();
                std::exit (0);
            },
            testing::ExitedWithCode (0), cleanEnd)
            << c.what;
    }
}

// A host that unloads the bundle (without RTLD_NODELETE) with an instance open,
// then loads it again and does the same: the bundle was shut down whole and
// starts afresh. Exits with 0 when every step went as a host expects.
[[noreturn]] void unloadWithAnInstanceOpenTwice()
{
    HostTest::keepUpdateChecksOff();

    for (int round = 0; round < 2; ++round)
    {
        void* library = dlopen (PELLION_BUNDLE_PATH, RTLD_NOW | RTLD_LOCAL);
        auto factory = reinterpret_cast<KestrunAUFactoryProc> (dlsym (library, "KestrunAUFactory"));
        auto entry = reinterpret_cast<KestrunAUEntryProc> (dlsym (library, "KestrunAUEntry"));
        if (factory == nullptr || entry == nullptr)
            std::exit (3);

        const KAUFactoryArgs args { KAU_INTERFACE_VERSION };
        auto* instance = factory (&args);
        KAUPrepareArgs prepare { 44100.0, 256 };
        if (instance == nullptr || entry (instance, KAU_Prepare, &prepare) != KAU_OK)
            std::exit (4);

        entry (nullptr, KAU_Idle, nullptr);
        dlclose (library);

        // Unloaded indeed: a bundle still mapped would only be closed at exit.
        if (dlopen (PELLION_BUNDLE_PATH, RTLD_NOW | RTLD_NOLOAD) != nullptr)
            std::exit (5);
    }

    std::exit (0);
}

TEST (HostExit, AnInstanceLeftOpenIsClosedWhenTheHostUnloadsTheBundle)
{
    GTEST_FLAG_SET (death_test_style, "threadsafe");
    EXPECT_EXIT (unloadWithAnInstanceOpenTwice(), testing::ExitedWithCode (0), cleanEnd);
}
