#include "HostFixture.h"

#include <algorithm>
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
