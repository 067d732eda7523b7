#include "Host/HostProcess.h"
#include "Host/VanishingXServer.h"

#include <gmock/gmock.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <thread>
#include <vector>

// Last: Xlib's macros (None, True, Bool) would reach into the test framework's headers.
#include "Host/HostXlib.h"

// The X server goes away while a host's first editor opens, at each of many
// moments: after so many messages on the plug-in's new connection, either
// way, from the plug-in's first question on it. The host's own I/O
// error handler returns, so it goes on: it renders, closes the editor, is
// refused another and closes the instance, which shuts the plug-in's
// framework down and closes its connection. Each host is a process of its own.
namespace
{
[[noreturn]] void loseTheServerWhileTheFirstEditorOpens (int messages)
{
    HostTest::keepUpdateChecksOff();
    const auto& xlib = HostXlib::get();
    std::optional<VanishingXServer> server (std::in_place, std::getenv ("DISPLAY"), messages);
    if (! xlib.loaded || server->display.empty())
        std::exit (3);
    xlib.setIOErrorHandler (CountingHandlers::ioError);
    setenv ("DISPLAY", server->display.c_str(), 1);

    std::string error;
    auto plugin = PluginInstance::create (sharedBundle(), error);
    if (plugin == nullptr || plugin->prepare (48000.0, 64) != KAU_OK)
        std::exit (4);

    std::fprintf (stderr, "editor: %s\n", resultName (plugin->createEditor (true).result));
    std::vector<float> left (64, 0.5f), right (64, 0.5f);
    float* channels[] = { left.data(), right.data() };
    int rendered = 0;
    for (int i = 0; i < 20; ++i)
    {
        plugin->idle();
        rendered += plugin->render (channels, 2, 64) == KAU_OK ? 1 : 0;
        std::this_thread::sleep_for (std::chrono::milliseconds (5));
    }
    std::fprintf (stderr, "rendered %d of 20\n", rendered);
    std::fprintf (stderr, "editor closed: %s\n", resultName (plugin->destroyEditor()));
    const bool wentAway = server->wentAway();
    std::fprintf (stderr, "server went away: %s\n", wentAway ? "yes" : "no");
    if (wentAway)
        std::fprintf (stderr, "editor again: %s\n", resultName (plugin->createEditor (true).result));

    plugin.reset();
    server.reset();
    std::fprintf (stderr, "instance closed\n");
    std::exit (0);
}
} // namespace

using HostFirstEditorWhenTheServerGoes = HostOnItsOwnDisplay;

// Every moment of the plug-in's first questions, then moments spread over the
// rest of the opening; at the last the editor is open before the server would go.
TEST_F (HostFirstEditorWhenTheServerGoes, TheHostGoesOnAndClosesCleanly)
{
    using testing::HasSubstr;
    constexpr int everyMomentUpTo = 12;
    const std::vector<int> laterMoments { 16, 20, 25, 30, 40, 50, 65, 80, 100, 125, 150, 200, 400 };

    std::vector<int> moments;
    for (int m = 0; m <= everyMomentUpTo; ++m)
        moments.push_back (m);
    moments.insert (moments.end(), laterMoments.begin(), laterMoments.end());

    for (const int messages : moments)
    {
        const auto wentAway = messages <= everyMomentUpTo ? HasSubstr ("server went away: yes\neditor again: KAU_ErrNoDisplay\n")
                              : messages == moments.back() ? HasSubstr ("editor: KAU_OK\n")
                                                           : HasSubstr ("server went away: ");
        EXPECT_EXIT (loseTheServerWhileTheFirstEditorOpens (messages), testing::ExitedWithCode (0),
                     testing::AllOf (wentAway, HasSubstr ("rendered 20 of 20\n"), HasSubstr ("editor closed: KAU_OK\n"),
                                     HasSubstr ("instance closed\n"), testing::Not (HasSubstr ("JUCE Assertion failure"))))
            << "after " << messages << " messages";
    }
}
