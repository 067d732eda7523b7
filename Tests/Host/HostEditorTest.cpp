#include "Host/HostProcess.h"

#include <gmock/gmock.h>
#include <dlfcn.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <set>

// A host pictures the open editor through the entry point: asked for its size
// first, then with a buffer that holds it; refused without an editor, with too
// small a buffer and off the message thread.
TEST_F (HostTest, TheOpenEditorIsPicturedThroughTheEntryPoint)
{
    KAUImageArgs args { nullptr, 0, 0, 0 };
    EXPECT_EQ (plugin->dispatch (KAU_GetEditorImage, &args), KAU_ErrNoEditor);
    EXPECT_EQ (plugin->dispatch (KAU_GetEditorImage, nullptr), KAU_ErrInvalidArgument);

    ASSERT_EQ (plugin->createEditor (false).result, KAU_OK);
    ASSERT_EQ (plugin->dispatch (KAU_GetEditorImage, &args), KAU_OK);
    EXPECT_EQ (std::pair (args.width, args.height), std::pair (480, 540));
    std::vector<uint32_t> small (100);
    KAUImageArgs tooSmall { small.data(), (int32_t) small.size(), 0, 0 };
    EXPECT_EQ (plugin->dispatch (KAU_GetEditorImage, &tooSmall), KAU_ErrBufferTooSmall);
    onHostThread ([&] { EXPECT_EQ (plugin->dispatch (KAU_GetEditorImage, &args), KAU_ErrWrongThread); });

    // Opaque, of many colours, with the light text of the status line in the menu bar.
    const auto image = plugin->editorImage();
    EXPECT_TRUE (std::all_of (image.pixels.begin(), image.pixels.end(), [] (uint32_t p) { return (p >> 24) == 0xFF; }));
    EXPECT_GT (std::set<uint32_t> (image.pixels.begin(), image.pixels.end()).size(), 1000u);
    int lightText = 0;
    for (int y = 10; y < 36; ++y)
        for (int x = 169; x < 321; ++x)
            lightText += (image.pixels[(size_t) (y * 480 + x)] & 0xE0E0E0) == 0xE0E0E0 ? 1 : 0;
    EXPECT_GT (lightText, 20);

    EXPECT_EQ (plugin->destroyEditor(), KAU_OK);
    EXPECT_EQ (plugin->dispatch (KAU_GetEditorImage, &args), KAU_ErrNoEditor);
}

namespace
{
using XErrorHandler = int (*) (void* display, void* error);

int hostsOwnHandler (void*, void*)
{
    return 0;
}

// Xlib's XSetErrorHandler, from the library the plug-in's framework loads too.
XErrorHandler setXErrorHandler (XErrorHandler handler)
{
    static void* xlib = dlopen ("libX11.so.6", RTLD_NOW | RTLD_LOCAL);
    auto set = xlib != nullptr ? reinterpret_cast<XErrorHandler (*) (XErrorHandler)> (dlsym (xlib, "XSetErrorHandler")) : nullptr;
    if (set == nullptr)
        std::exit (5);
    return set (handler);
}

// A host opens a fresh instance's editor in a window, runs the plug-in's loop,
// pictures and closes the editor, and renders; each step it reaches is written
// to stderr. Xlib's own handler, which ends the process at the first X error
// that reaches it, stays in place unless the host sets one of its own.
[[noreturn]] void openTheEditorAsAHost (bool withOwnHandler)
{
    HostTest::keepUpdateChecksOff();
    std::string error;
    auto plugin = PluginInstance::create (sharedBundle(), error);
    if (plugin == nullptr)
        std::exit (3);

    if (withOwnHandler)
        setXErrorHandler (hostsOwnHandler);

    const auto opened = plugin->createEditor (true);
    if (withOwnHandler)
        std::fprintf (stderr, "host's handler: %s\n", setXErrorHandler (hostsOwnHandler) == hostsOwnHandler ? "kept" : "replaced");

    std::fprintf (stderr, "editor: %s", resultName (opened.result));
    if (opened.result == KAU_OK)
    {
        for (int i = 0; i < 100; ++i)
        {
            plugin->idle();
            std::this_thread::sleep_for (std::chrono::milliseconds (5));
        }
        const auto image = plugin->editorImage();
        std::fprintf (stderr, " %d x %d", image.width, image.height);
        plugin->destroyEditor();
    }
    std::fprintf (stderr, "\n");
    renderAndExit (std::move (plugin));
}

// The first host meets the display as Xvfb started it; the second after it.
const HostWithHandler hostsOnABareDisplay[] = {
    { "a host that leaves Xlib's own handler in place", false },
    { "a host with a handler of its own", true },
};
} // namespace

// On an X display where no window manager has run (a fresh Xvfb of the test's
// own) the atoms the editor's window is described by do not exist yet. A host
// gets an editor, or KAU_ErrNoDisplay, goes on, and has its own X error handler
// back. Each host is a process of its own, which inherits the bare display.
using HostEditorOnABareDisplay = HostOnItsOwnDisplay;

TEST_F (HostEditorOnABareDisplay, OpeningTheEditorNeverEndsTheHost)
{
    using testing::HasSubstr;
    for (const auto& host : hostsOnABareDisplay)
    {
        using Told = testing::Matcher<const std::string&>;
        const auto handler = host.withOwnHandler ? Told (HasSubstr ("host's handler: kept\n")) : Told (testing::Not (HasSubstr ("host's handler")));
        EXPECT_EXIT (openTheEditorAsAHost (host.withOwnHandler), testing::ExitedWithCode (0),
                     testing::AllOf (testing::AnyOf (HasSubstr ("editor: KAU_OK 480 x 540\n"), HasSubstr ("editor: KAU_ErrNoDisplay\n")),
                                     handler, HasSubstr ("went on: rendered\n"), testing::Not (HasSubstr ("X Error"))))
            << host.what;
    }
}
