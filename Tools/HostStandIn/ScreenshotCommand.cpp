#include "Commands.h"
#include "EditorPicture.h"
#include "LoadedPlugin.h"

#include <iostream>

int screenshotCommand (const Arguments& args)
{
    if (args.size() != 2)
        throw UsageError ("screenshot needs a BUNDLE and a FILE.png");

    requireWritableFile (args[1], ".png");

    const LoadedPlugin loaded (args[0]);
    const auto written = saveEditorPicture (loaded.instance(), args[1]);
    std::cout << "wrote editor picture: " << written << '\n';
    return 0;
}
