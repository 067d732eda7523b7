#include "Host/HostProcess.h"

#include <gmock/gmock.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

// Last: Xlib's macros (None, True, Bool) would reach into the test framework's headers.
#include "Host/HostXlib.h"

// Xlib's error handler is one for the whole process, and the host's: it must
// stay the host's, hear every error of the host's own and none of the
// plug-in's, and nothing may crash. Each host is a process of its own.
//
// A host traps its own errors the common way, from a thread of its own: save
// the handler, make a request, sync, put it back; another of its threads only
// makes errors, which its own handler hears. Meanwhile editors open and close,
// on one thread or, with two copies of the bundle, on a thread for each.
namespace
{
// Every request on no window is refused with BadWindow.
constexpr ::Window noWindow = 0;

// Written before the host's threads start, read by its handlers.
::Display* trappingConnection = nullptr;
::Display* erringConnection = nullptr;

std::atomic<long> errorsMade { 0 };
std::atomic<long> errorsHeard { 0 };
std::atomic<long> othersHeard { 0 };
std::atomic<long> staleRestores { 0 };
std::atomic<long> trapRounds { 0 };

int hear (::Display* display)
{
    ++(display == trappingConnection || display == erringConnection ? errorsHeard : othersHeard);
    return 0;
}

int hostsHandler (::Display* display, XErrorEvent*)
{
    return hear (display);
}

int hostsTrap (::Display* display, XErrorEvent*)
{
    return hear (display);
}

void trapErrors (const std::atomic<bool>& stop)
{
    const auto& xlib = HostXlib::get();
    while (! stop)
    {
        const auto saved = xlib.setErrorHandler (hostsTrap);
        xlib.mapWindow (trappingConnection, noWindow);
        ++errorsMade;
        xlib.sync (trappingConnection, False);
        const auto restored = xlib.setErrorHandler (saved);
        staleRestores += (saved != hostsHandler ? 1 : 0) + (restored != hostsTrap ? 1 : 0);
        ++trapRounds;
    }
}

void makeErrors (const std::atomic<bool>& stop)
{
    const auto& xlib = HostXlib::get();
    while (! stop)
    {
        xlib.mapWindow (erringConnection, noWindow);
        ++errorsMade;
        xlib.sync (erringConnection, False);
    }
}

constexpr int editorRounds = 12;
// So many rounds of the host's trap at least run while the editors open and close.
constexpr long overlappingTrapRounds = 200;

struct EditorsOpened
{
    int asked = 0;
    int opened = 0;
    std::string failure;
};

// A copy of the bundle driven from this thread, which so becomes its message thread.
void openAndCloseEditors (const std::string& bundlePath, long trapRoundsBefore, EditorsOpened& result)
{
    const PluginBundle bundle (bundlePath);
    std::string error;
    auto plugin = bundle.isLoaded() ? PluginInstance::create (bundle, error) : nullptr;
    if (plugin == nullptr)
    {
        result.failure = bundle.isLoaded() ? error : bundle.error();
        return;
    }

    const auto overlapped = [&] { return result.asked >= editorRounds && trapRounds - trapRoundsBefore >= overlappingTrapRounds; };
    const auto waited = waitUntil ("the host's trap to run beside the editors", overlapped, patience, [&]
    {
        ++result.asked;
        result.opened += plugin->createEditor (true).result == KAU_OK ? 1 : 0;
        for (int i = 0; i < 3; ++i)
            plugin->idle();
        plugin->destroyEditor();
    });

    if (! waited)
        result.failure = waited.message();
}

[[noreturn]] void openEditorsWhileTheHostTrapsItsErrors (int copies)
{
    HostTest::keepUpdateChecksOff();
    const auto& xlib = HostXlib::get();
    if (! xlib.loaded)
        std::exit (3);

    xlib.setErrorHandler (hostsHandler);
    trappingConnection = xlib.openDisplay (nullptr);
    erringConnection = xlib.openDisplay (nullptr);
    if (trappingConnection == nullptr || erringConnection == nullptr)
        std::exit (4);

    // The second copy is the same bundle under another file name, as a host
    // that loads two builds, or one bundle twice from two folders, has it.
    std::vector<std::string> bundles { PELLION_BUNDLE_PATH };
    const auto folder = std::filesystem::temp_directory_path() / ("pellion-copy-" + std::to_string (getpid()));
    if (copies > 1)
    {
        std::filesystem::create_directories (folder);
        std::filesystem::copy_file (PELLION_BUNDLE_PATH, folder / "PellionCopy.so", std::filesystem::copy_options::overwrite_existing);
        bundles.push_back ((folder / "PellionCopy.so").string());
    }

    std::atomic<bool> stop { false };
    std::thread trapper (trapErrors, std::cref (stop));
    std::thread errer (makeErrors, std::cref (stop));

    const long trapRoundsBefore = trapRounds;
    std::vector<EditorsOpened> opened (bundles.size());
    std::vector<std::thread> drivers;
    for (size_t copy = 0; copy < bundles.size(); ++copy)
        drivers.emplace_back (openAndCloseEditors, bundles[copy], trapRoundsBefore, std::ref (opened[copy]));
    for (auto& driver : drivers)
        driver.join();

    stop = true;
    trapper.join();
    errer.join();

    for (size_t copy = 0; copy < opened.size(); ++copy)
        std::fprintf (stderr, "copy %zu: %s\n", copy,
                      ! opened[copy].failure.empty() ? opened[copy].failure.c_str()
                      : opened[copy].opened == opened[copy].asked ? "every editor opened" : "editors refused");

    const bool inPlace = xlib.setErrorHandler (hostsHandler) == hostsHandler;
    std::fprintf (stderr, "host's handler: %s\n", inPlace ? "in place" : "replaced");
    std::fprintf (stderr, "host's errors unheard: %ld of %s\n", errorsMade - errorsHeard, errorsMade > 0 ? "many" : "none");
    std::fprintf (stderr, "other connections' errors heard: %ld\n", othersHeard.load());
    std::fprintf (stderr, "stale restores: %ld\n", staleRestores.load());

    xlib.closeDisplay (trappingConnection);
    xlib.closeDisplay (erringConnection);
    std::error_code ignored;
    std::filesystem::remove_all (folder, ignored);
    std::exit (0);
}

struct HostWithATrap
{
    const char* what;
    int copies;
};

const HostWithATrap hostsWithATrap[] = {
    { "one bundle", 1 },
    { "two copies of the bundle, each on a thread of its own", 2 },
};
} // namespace

using HostXErrorTrap = HostOnItsOwnDisplay;

TEST_F (HostXErrorTrap, TheHostsHandlerStaysAndHearsEveryErrorOfItsOwn)
{
    using testing::HasSubstr;
    for (const auto& host : hostsWithATrap)
    {
        auto everyCopy = testing::AllOf (HasSubstr ("copy 0: every editor opened\n"),
                                         host.copies > 1 ? HasSubstr ("copy 1: every editor opened\n") : HasSubstr ("copy 0"));
        EXPECT_EXIT (openEditorsWhileTheHostTrapsItsErrors (host.copies), testing::ExitedWithCode (0),
                     testing::AllOf (everyCopy, HasSubstr ("host's handler: in place\n"),
                                     HasSubstr ("host's errors unheard: 0 of many\n"),
                                     HasSubstr ("other connections' errors heard: 0\n"), HasSubstr ("stale restores: 0\n")))
            << host.what;
    }
}

namespace
{
int heardByTheHost = 0;

int countingHandler (::Display*, XErrorEvent*)
{
    ++heardByTheHost;
    return 0;
}

// Another client (xkill, a window manager that crashed) destroys every window
// the plug-in's framework has made; the framework goes on drawing into the
// editor's window and then destroys it: the server refuses each such request.
// Those errors are the plug-in's alone. Xlib's own handler, which a host may
// leave in place, would end the process at the first of them.
[[noreturn]] void destroyTheEditorsWindowsElsewhere (bool withOwnHandler)
{
    HostTest::keepUpdateChecksOff();
    const auto& xlib = HostXlib::get();
    auto* other = xlib.loaded ? xlib.openDisplay (nullptr) : nullptr;
    std::string error;
    auto plugin = PluginInstance::create (sharedBundle(), error);
    if (other == nullptr || plugin == nullptr)
        std::exit (3);

    if (withOwnHandler)
        xlib.setErrorHandler (countingHandler);

    std::fprintf (stderr, "editor: %s\n", resultName (plugin->createEditor (true).result));
    for (int i = 0; i < 20; ++i)
        plugin->idle();

    ::Window root = 0, parent = 0;
    ::Window* children = nullptr;
    unsigned int count = 0;
    int destroyed = 0;
    if (xlib.queryTree (other, DefaultRootWindow (other), &root, &parent, &children, &count) != 0)
    {
        for (unsigned int i = 0; i < count; ++i, ++destroyed)
            xlib.destroyWindow (other, children[i]);
        xlib.free (children);
    }
    xlib.sync (other, False);
    std::fprintf (stderr, "windows destroyed elsewhere: %s\n", destroyed > 0 ? "some" : "none");

    for (int i = 0; i < 100; ++i)
    {
        plugin->idle();
        std::this_thread::sleep_for (std::chrono::milliseconds (2));
    }

    std::fprintf (stderr, "editor closed: %s\n", resultName (plugin->destroyEditor()));
    if (withOwnHandler)
        std::fprintf (stderr, "host's handler heard: %d\n", heardByTheHost);
    xlib.closeDisplay (other);
    renderAndExit (std::move (plugin));
}

const HostWithHandler hostsBesideADestroyer[] = {
    { "a host that leaves Xlib's own handler in place", false },
    { "a host with a handler of its own", true },
};
} // namespace

TEST_F (HostXErrorTrap, TheEditorsErrorsNeverReachTheHost)
{
    using testing::HasSubstr;
    for (const auto& host : hostsBesideADestroyer)
    {
        const auto heardNothing = host.withOwnHandler ? HasSubstr ("host's handler heard: 0\n") : HasSubstr ("");
        EXPECT_EXIT (destroyTheEditorsWindowsElsewhere (host.withOwnHandler), testing::ExitedWithCode (0),
                     testing::AllOf (HasSubstr ("editor: KAU_OK\n"), HasSubstr ("windows destroyed elsewhere: some\n"),
                                     HasSubstr ("editor closed: KAU_OK\n"), heardNothing, HasSubstr ("went on: rendered\n"),
                                     testing::Not (HasSubstr ("X Error"))))
            << host.what;
    }
}
