#include "Shots/PictureFolder.h"

#include <iostream>
#include <stdexcept>

PictureFolder::PictureFolder (const juce::File& folderToUse) : folder (folderToUse)
{
    if (! folder.createDirectory())
        throw std::runtime_error ("cannot create " + folder.getFullPathName().toStdString());
}

juce::File PictureFolder::write (juce::Component& component, const juce::String& name, const juce::String& caption) const
{
    auto file = folder.getChildFile (name + ".png");
    const auto image = component.createComponentSnapshot (component.getLocalBounds(), true, 1.0f);
    juce::MemoryOutputStream png;
    if (! juce::PNGImageFormat().writeImageToStream (image, png) || ! file.replaceWithData (png.getData(), png.getDataSize()))
        throw std::runtime_error ("cannot write " + file.getFullPathName().toStdString());

    std::cout << "  " << file.getFullPathName() << "  " << caption << "\n";
    return file;
}
