#include "Shots/PictureFolder.h"

#include <iostream>
#include <stdexcept>

PictureFolder::PictureFolder (const juce::File& folderToUse) : folder (folderToUse)
{
    if (! folder.createDirectory())
        throw std::runtime_error ("cannot create " + folder.getFullPathName().toStdString());
}

juce::File PictureFolder::write (juce::Component& component, const juce::String& name, const juce::String& caption)
{
    auto file = folder.getChildFile (name + ".png");
    const auto image = component.createComponentSnapshot (component.getLocalBounds(), true, 1.0f);
    juce::MemoryOutputStream png;
    if (! juce::PNGImageFormat().writeImageToStream (image, png) || ! file.replaceWithData (png.getData(), png.getDataSize()))
        throw std::runtime_error ("cannot write " + file.getFullPathName().toStdString());

    std::cout << "  " << file.getFullPathName() << "  " << caption << "\n";
    captions.emplace_back (file.getFileName(), caption);
    writeIndex();
    return file;
}

// The XML writer escapes every caption and file name.
void PictureFolder::writeIndex() const
{
    juce::XmlElement html ("html");
    auto* head = html.createNewChildElement ("head");
    head->createNewChildElement ("meta")->setAttribute ("charset", "utf-8");
    head->createNewChildElement ("title")->addTextElement (folder.getFileName());

    auto* body = html.createNewChildElement ("body");
    for (const auto& [fileName, caption] : captions)
    {
        auto* figure = body->createNewChildElement ("figure");
        auto* picture = figure->createNewChildElement ("img");
        picture->setAttribute ("src", fileName);
        picture->setAttribute ("alt", caption);
        figure->createNewChildElement ("figcaption")->addTextElement (fileName + ": " + caption);
    }

    auto format = juce::XmlElement::TextFormat().withoutHeader();
    format.newLineChars = "\n";
    const auto index = folder.getChildFile (indexName);
    if (! index.replaceWithText ("<!DOCTYPE html>\n" + html.toString (format), false, false, "\n"))
        throw std::runtime_error ("cannot write " + index.getFullPathName().toStdString());
}
