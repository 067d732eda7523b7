#include "Host/HostProcess.h"
#include "Host/XConnectionAttempts.h"

#include <gmock/gmock.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <thread>
#include <vector>

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

// The framework would fall back to ":0", whoever's display that is, and Xlib
// would take these screens as -1 and 1. No server need answer there.
const UnnamedDisplay unnamedDisplays[] = {
    { "DISPLAY unset", std::nullopt },
    { "DISPLAY empty", "" },
    { "a negative screen", ":0.-1" },
    { "a screen that wraps around", ":0.4294967297" },
};

const auto refusedAndWentOn = testing::AllOf (HasSubstr ("editor: KAU_ErrNoDisplay\n"), HasSubstr ("went on: rendered\n"),
                                              noFrameworkComplaint);

void nameDisplay (const std::optional<std::string>& display)
{
    if (display.has_value())
        setenv ("DISPLAY", display->c_str(), 1);
    else
        unsetenv ("DISPLAY");
}

// A host whose DISPLAY names no display it can use pictures an editor without
// a window and lets the plug-in idle, which draws it and runs its tooltips;
// asks for one in a window, then again with DISPLAY naming the test's display,
// where the plug-in's framework, made without a display, has none; renders.
// Then it closes the instance and opens another, which starts the framework
// afresh: on the display DISPLAY names now.
[[noreturn]] void useTheEditorWithoutANamedDisplay (const std::optional<std::string>& display)
{
    HostTest::keepUpdateChecksOff();
    const std::string testsDisplay = std::getenv ("DISPLAY");
    nameDisplay (display);

    std::string error;
    auto plugin = PluginInstance::create (sharedBundle(), error);
    if (plugin == nullptr)
        std::exit (3);

    const auto unseen = plugin->createEditor (false).result;
    const bool pictured = unseen == KAU_OK && plugin->editorImage().pixels.size() == 480u * 540u;
    for (int i = 0; i < 50; ++i)
    {
        plugin->idle();
        std::this_thread::sleep_for (std::chrono::milliseconds (10));
    }
    plugin->destroyEditor();
    std::fprintf (stderr, "without a window: %s\n", pictured ? "pictured" : resultName (unseen));
    std::fprintf (stderr, "editor: %s\n", resultName (plugin->createEditor (true).result));
    plugin->destroyEditor();

    setenv ("DISPLAY", testsDisplay.c_str(), 1);
    std::fprintf (stderr, "then on the host's display: %s\n", resultName (plugin->createEditor (true).result));
    plugin->destroyEditor();
    std::fprintf (stderr, "X servers tried: %d %s\n", XConnectionAttempts::count(), XConnectionAttempts::last().c_str());

    plugin.reset();
    plugin = PluginInstance::create (sharedBundle(), error);
    if (plugin == nullptr)
        std::exit (4);
    std::fprintf (stderr, "after a fresh start: %s\n", resultName (plugin->createEditor (true).result));
    plugin->destroyEditor();
    renderAndExit (std::move (plugin));
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
        HostXlib::get().setIOErrorHandler (CountingHandlers::ioError);
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
        std::fprintf (stderr, "host's I/O error handler called: %d\n", CountingHandlers::heard());

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

using HostEditorWithoutANamedDisplay = HostOnItsOwnDisplay;

// No X connection at all, whatever the editor is asked for.
TEST_F (HostEditorWithoutANamedDisplay, IsRefusedAndTheHostGoesOn)
{
    for (const auto& c : unnamedDisplays)
        EXPECT_EXIT (useTheEditorWithoutANamedDisplay (c.display), testing::ExitedWithCode (0),
                     testing::AllOf (HasSubstr ("without a window: pictured\n"), refusedAndWentOn,
                                     HasSubstr ("then on the host's display: KAU_ErrNoDisplay\n"),
                                     HasSubstr ("X servers tried: 0 \n"), HasSubstr ("after a fresh start: KAU_OK\n")))
            << c.what;
}

namespace
{
// A host opens an editor in a window on the test's display, closes it, and
// asks again with DISPLAY naming another display, then the first one again.
[[noreturn]] void followDisplayChanges()
{
    HostTest::keepUpdateChecksOff();
    const std::string testsDisplay = std::getenv ("DISPLAY");
    // Stopped before the host ends: a server left running keeps its output open.
    std::optional<BareXServer> another (std::in_place);
    std::string error;
    auto plugin = PluginInstance::create (sharedBundle(), error);
    if (plugin == nullptr || another->display.empty())
        std::exit (3);

    for (const auto& display : { testsDisplay, another->display, testsDisplay })
    {
        setenv ("DISPLAY", display.c_str(), 1);
        std::fprintf (stderr, "on %s: %s\n", display == testsDisplay ? "the first" : "another",
                      resultName (plugin->createEditor (true).result));
        plugin->idle();
        plugin->destroyEditor();
    }

    another.reset();
    renderAndExit (std::move (plugin));
}
} // namespace

using HostEditorWhenDisplayChanges = HostOnItsOwnDisplay;

// The framework keeps the display it opened first: on another one it opens no window.
TEST_F (HostEditorWhenDisplayChanges, IsRefusedOnAnyButTheFrameworksDisplay)
{
    EXPECT_EXIT (followDisplayChanges(), testing::ExitedWithCode (0),
                 testing::AllOf (testing::ContainsRegex ("on the first: KAU_OK\n.*on another: KAU_ErrNoDisplay\n"
                                                         ".*on the first: KAU_OK\n"),
                                 HasSubstr ("went on: rendered\n"), noFrameworkComplaint));
}

namespace
{
// A host asks for an editor in a window on a screen of the test's display
// (of two screens) and lets the plug-in idle; through a connection of its
// own, it lists the screens on which windows appeared meanwhile.
[[noreturn]] void askForAnEditorOnScreen (const std::string& screen, bool withOwnHandlers)
{
    HostTest::keepUpdateChecksOff();
    const std::string testsDisplay = std::getenv ("DISPLAY");
    const auto& xlib = HostXlib::get();
    if (withOwnHandlers && xlib.loaded)
    {
        xlib.setErrorHandler (CountingHandlers::error);
        xlib.setIOErrorHandler (CountingHandlers::ioError);
    }

    setenv ("DISPLAY", (testsDisplay + screen).c_str(), 1);
    auto* own = xlib.loaded ? xlib.openDisplay (testsDisplay.c_str()) : nullptr;
    if (own == nullptr)
        std::exit (3);

    // The display's own clients (its settings owner) have windows there too.
    const auto windowsOnEachScreen = [&]
    {
        std::vector<unsigned int> counts;
        for (int number = 0; number < ScreenCount (own); ++number)
        {
            ::Window root = 0, parent = 0;
            ::Window* children = nullptr;
            unsigned int count = 0;
            if (xlib.queryTree (own, RootWindow (own, number), &root, &parent, &children, &count) != 0 && children != nullptr)
                xlib.free (children);
            counts.push_back (count);
        }
        return counts;
    };
    const auto before = windowsOnEachScreen();

    std::string error;
    auto plugin = PluginInstance::create (sharedBundle(), error);
    if (plugin == nullptr)
        std::exit (3);

    std::fprintf (stderr, "editor: %s\n", resultName (plugin->createEditor (true).result));
    for (int i = 0; i < 20; ++i)
        plugin->idle();

    const auto after = windowsOnEachScreen();
    std::string screensWithWindows;
    for (size_t number = 0; number < after.size(); ++number)
        if (after[number] > before[number])
            screensWithWindows += " " + std::to_string (number);
    std::fprintf (stderr, "new windows on screens:%s\n", screensWithWindows.empty() ? " none" : screensWithWindows.c_str());

    plugin->destroyEditor();
    xlib.closeDisplay (own);
    std::fprintf (stderr, "host's handlers heard: %d\n", CountingHandlers::heard());
    renderAndExit (std::move (plugin));
}

struct ScreenCase
{
    const char* screen;     // after the test's display
    bool opens;
};

// Xlib reads the refused ones as screens -2147483648, -1, -1 and 1.
const ScreenCase screenCases[] = {
    { ".1", true },
    { ".-2147483648", false },
    { ".-1", false },
    { ".4294967295", false },
    { ".4294967297", false },
    { ".2", false },
};

const HostWithHandler hostsAskingForAScreen[] = {
    { "a host that leaves Xlib's own handlers in place", false },
    { "a host with handlers of its own", true },
};
} // namespace

struct HostEditorOnAScreenByNumber : HostOnItsOwnDisplay
{
    HostEditorOnAScreenByNumber() : HostOnItsOwnDisplay ("640x480x24", 2) {}
};

// Refused before anything is sent unless the number is a screen of the
// server: nothing reaches the host's handlers, nothing ends the host.
TEST_F (HostEditorOnAScreenByNumber, OnlyAScreenOfTheServerIsUsed)
{
    for (const auto& c : screenCases)
        for (const auto& host : hostsAskingForAScreen)
            EXPECT_EXIT (askForAnEditorOnScreen (c.screen, host.withOwnHandler), testing::ExitedWithCode (0),
                         testing::AllOf (HasSubstr (c.opens ? "editor: KAU_OK\n" : "editor: KAU_ErrNoDisplay\n"),
                                         HasSubstr (c.opens ? "new windows on screens: 1\n" : "new windows on screens: none\n"),
                                         HasSubstr ("host's handlers heard: 0\n"), HasSubstr ("went on: rendered\n"),
                                         Not (HasSubstr ("X Error")), noFrameworkComplaint))
                << c.screen << ", " << host.what;
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
