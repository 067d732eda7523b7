#include "Host/HostProcess.h"

#include <gmock/gmock.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <thread>

// Last: Xlib's macros (None, True, Bool) would reach into the test framework's headers.
#include "Host/HostXlib.h"

// Displays the editor cannot use: none named, one the framework cannot draw
// on, one whose server goes away under an open editor. A host is refused
// editors there with KAU_ErrNoDisplay and goes on rendering; it never ends.
// Each host is a process of its own, which inherits DISPLAY from the test.
namespace
{
using testing::HasSubstr;
using testing::Not;

const auto noFrameworkComplaint = Not (HasSubstr ("JUCE Assertion failure"));

// A host asks for an editor in a window, then renders.
[[noreturn]] void askForAnEditorAndRender()
{
    HostTest::keepUpdateChecksOff();
    std::string error;
    auto plugin = PluginInstance::create (sharedBundle(), error);
    if (plugin == nullptr)
        std::exit (3);

    std::fprintf (stderr, "editor: %s\n", resultName (plugin->createEditor (true).result));
    plugin->destroyEditor();
    renderAndExit (std::move (plugin));
}

// DISPLAY as the host has it, unset without a value.
struct UnnamedDisplay
{
    const char* what;
    std::optional<std::string> display;
};

// The framework would fall back to ":0", whoever's display that is.
const UnnamedDisplay unnamedDisplays[] = {
    { "DISPLAY unset", std::nullopt },
    { "DISPLAY empty", "" },
};

const auto refusedAndWentOn = testing::AllOf (HasSubstr ("editor: KAU_ErrNoDisplay\n"), HasSubstr ("went on: rendered\n"),
                                              noFrameworkComplaint);

int hostsIOErrors = 0;

int hostsIOHandler (::Display*)
{
    ++hostsIOErrors;
    return 0;
}

// A host opens the editor, idles, and renders; then the X server goes away. The
// host idles and renders on, closes the editor and asks for another, then
// closes the instance, which shuts the plug-in's framework down. Each step it
// reaches is written to stderr.
[[noreturn]] void loseTheServerUnderAnOpenEditor (bool withOwnIOHandler)
{
    HostTest::keepUpdateChecksOff();
    std::optional<BareXServer> server (std::in_place);
    if (server->display.empty())
        std::exit (3);
    setenv ("DISPLAY", server->display.c_str(), 1);

    if (withOwnIOHandler)
    {
        if (! HostXlib::get().loaded)
            std::exit (4);
        HostXlib::get().setIOErrorHandler (hostsIOHandler);
    }

    std::string error;
    auto plugin = PluginInstance::create (sharedBundle(), error);
    if (plugin == nullptr || plugin->prepare (48000.0, 64) != KAU_OK)
        std::exit (5);

    std::vector<float> left (64, 0.5f), right (64, 0.5f);
    float* channels[] = { left.data(), right.data() };
    // A value that changes redraws the editor, and the pauses let the
    // framework's timers come due: its drawing goes on under the host's idle calls.
    const auto range = plugin->parameterInfo (0);
    const auto idleAndRender = [&]
    {
        int rendered = 0;
        for (int i = 0; i < 100; ++i)
        {
            plugin->setParameter (0, i % 2 == 0 ? range.minValue : range.maxValue);
            plugin->idle();
            rendered += plugin->render (channels, 2, 64) == KAU_OK ? 1 : 0;
            std::this_thread::sleep_for (std::chrono::milliseconds (5));
        }
        return rendered;
    };

    std::fprintf (stderr, "editor: %s\n", resultName (plugin->createEditor (true).result));
    std::fprintf (stderr, "with the server: rendered %d of 100\n", idleAndRender());

    server.reset();
    std::fprintf (stderr, "without it: rendered %d of 100\n", idleAndRender());
    std::fprintf (stderr, "editor closed: %s\n", resultName (plugin->destroyEditor()));
    std::fprintf (stderr, "editor again: %s\n", resultName (plugin->createEditor (true).result));
    std::fprintf (stderr, "then: rendered %d of 100\n", idleAndRender());
    if (withOwnIOHandler)
        std::fprintf (stderr, "host's I/O error handler called: %d\n", hostsIOErrors);

    plugin.reset();
    std::fprintf (stderr, "instance closed\n");
    std::exit (0);
}

const HostWithHandler hostsThatLoseTheServer[] = {
    // Xlib's own handler ends the process: the plug-in must notice first.
    { "a host that leaves Xlib's own I/O error handler in place", false },
    // It hears of no loss but its own connections'.
    { "a host with an I/O error handler of its own", true },
};
} // namespace

TEST (HostEditorWithoutANamedDisplay, IsRefusedAndTheHostGoesOn)
{
    GTEST_FLAG_SET (death_test_style, "threadsafe");

    std::optional<std::string> ownDisplay;
    if (const char* display = std::getenv ("DISPLAY"))
        ownDisplay = display;

    for (const auto& c : unnamedDisplays)
    {
        if (c.display.has_value())
            setenv ("DISPLAY", c.display->c_str(), 1);
        else
            unsetenv ("DISPLAY");

        EXPECT_EXIT (askForAnEditorAndRender(), testing::ExitedWithCode (0), refusedAndWentOn) << c.what;
    }

    if (ownDisplay.has_value())
        setenv ("DISPLAY", ownDisplay->c_str(), 1);
    else
        unsetenv ("DISPLAY");
}

// The framework draws in 16, 24 or 32 bits a pixel only, and makes no window here.
struct HostEditorOnADisplayOf8Bits : HostOnItsOwnDisplay
{
    HostEditorOnADisplayOf8Bits() : HostOnItsOwnDisplay ("640x480x8") {}
};

TEST_F (HostEditorOnADisplayOf8Bits, IsRefusedAndTheHostGoesOn)
{
    EXPECT_EXIT (askForAnEditorAndRender(), testing::ExitedWithCode (0), refusedAndWentOn);
}

TEST (HostEditorWhenTheServerGoes, TheHostLivesOnAndIsRefusedEditors)
{
    GTEST_FLAG_SET (death_test_style, "threadsafe");
    if (! testing::internal::InDeathTestChild() && ! BareXServer().started)
        GTEST_SKIP() << "no Xvfb could be started (apt install xvfb)";

    for (const auto& host : hostsThatLoseTheServer)
    {
        const auto toldOfNoLoss = host.withOwnHandler ? HasSubstr ("host's I/O error handler called: 0\n") : HasSubstr ("");
        EXPECT_EXIT (loseTheServerUnderAnOpenEditor (host.withOwnHandler), testing::ExitedWithCode (0),
                     testing::AllOf (HasSubstr ("editor: KAU_OK\n"), HasSubstr ("with the server: rendered 100 of 100\n"),
                                     HasSubstr ("without it: rendered 100 of 100\n"), HasSubstr ("editor closed: KAU_OK\n"),
                                     HasSubstr ("editor again: KAU_ErrNoDisplay\n"), HasSubstr ("then: rendered 100 of 100\n"),
                                     toldOfNoLoss, HasSubstr ("instance closed\n"), Not (HasSubstr ("X connection")),
                                     Not (HasSubstr ("XIO")), noFrameworkComplaint))
            << host.what;
    }
}
