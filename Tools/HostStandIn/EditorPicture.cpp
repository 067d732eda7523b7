#include "EditorPicture.h"

#include "PngFile.h"
#include "WindowSystemErrors.h"

#include <chrono>
#include <stdexcept>
#include <thread>

std::string saveEditorPicture (PluginInstance& plugin, const std::string& path, int idleMs)
{
    keepGoingOnWindowSystemErrors();
    const auto opened = plugin.createEditor (true);

    if (opened.result == KAU_ErrNoDisplay)
        throw std::runtime_error ("there is no display to open the editor's window on: set DISPLAY to a running "
                                  "X server (a bare Xvfb will do), or leave it unset and use scripts/run.sh, "
                                  "which starts a display of its own (scripts/display.sh)");

    if (opened.result != KAU_OK)
        throw std::runtime_error (std::string ("the plug-in did not open its editor: ") + resultName (opened.result));

    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds (idleMs);
    do
    {
        plugin.idle();
        std::this_thread::sleep_for (std::chrono::milliseconds (5));
    }
    while (std::chrono::steady_clock::now() < until);

    const auto image = plugin.editorImage();
    writePngFile (path, image.width, image.height, image.pixels);
    return path + " (" + std::to_string (image.width) + " x " + std::to_string (image.height) + ")";
}
