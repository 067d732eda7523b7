#pragma once

#include "Host/BareXServer.h"
#include "HostFixture.h"

#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <utility>
#include <vector>

// What the tests that run a host in a process of its own (a death test) share.

// An X server without a window manager, started by the test and named in
// DISPLAY for the hosts it runs, which inherit it; DISPLAY is put back when
// it goes. A death test's child runs the test again up to its call and finds
// the display named already: it starts no server of its own.
class DisplayForHosts
{
public:
    explicit DisplayForHosts (const std::string& screen = "640x480x24", int screens = 1)
    {
        if (testing::internal::InDeathTestChild())
            return;

        server.emplace (screen, screens);
        if (const char* display = std::getenv ("DISPLAY"))
            ownDisplay = display;
        if (! server->display.empty())
            setenv ("DISPLAY", server->display.c_str(), 1);
    }

    ~DisplayForHosts()
    {
        if (! server.has_value())
            return;

        if (ownDisplay.has_value())
            setenv ("DISPLAY", ownDisplay->c_str(), 1);
        else
            unsetenv ("DISPLAY");
    }

    // In the test's own process: Xvfb is there and was started, and serves this display.
    bool started() const { return ! server.has_value() || server->started; }
    bool named() const { return ! server.has_value() || ! server->display.empty(); }

private:
    std::optional<BareXServer> server;
    std::optional<std::string> ownDisplay;
};

// For tests whose hosts each run in a process of their own, started afresh
// rather than forked from this one and its threads, on a display of the
// test's own; skipped where Xvfb is missing. A test names its own suite with
// `using`, and a fixture of its own gives other screens.
class HostOnItsOwnDisplay : public testing::Test
{
protected:
    explicit HostOnItsOwnDisplay (std::string screenOfTheServer = "640x480x24", int screensOfTheServer = 1)
        : screen (std::move (screenOfTheServer)), screens (screensOfTheServer)
    {
    }

    void SetUp() override
    {
        GTEST_FLAG_SET (death_test_style, "threadsafe");
        display.emplace (screen, screens);
        if (! display->started())
            GTEST_SKIP() << "no Xvfb could be started (apt install xvfb)";
        ASSERT_TRUE (display->named()) << "Xvfb named no display within " << patience.count() << " ms";
    }

    void TearDown() override { display.reset(); }

private:
    std::string screen;
    int screens;
    std::optional<DisplayForHosts> display;
};

// One host of a table: one that leaves Xlib's own handler in place, which
// ends the process at what reaches it, or one with a handler of its own.
struct HostWithHandler
{
    const char* what;
    bool withOwnHandler;
};

// Prepares and renders a block, says "went on: rendered" when both worked,
// closes the instance and ends the host's process with 0.
[[noreturn]] inline void renderAndExit (std::unique_ptr<PluginInstance> plugin)
{
    std::vector<float> left (64, 0.5f), right (64, 0.5f);
    float* channels[] = { left.data(), right.data() };
    const bool rendered = plugin->prepare (48000.0, 64) == KAU_OK && plugin->render (channels, 2, 64) == KAU_OK;
    std::fprintf (stderr, "went on: %s\n", rendered ? "rendered" : "no render");
    plugin.reset();
    std::exit (0);
}
