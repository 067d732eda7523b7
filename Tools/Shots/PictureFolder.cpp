#include "Shots/PictureFolder.h"

#include "Utilities/DirectoryListing.h"
#include "Utilities/SafeFileReader.h"
#include "Utilities/Utf8Check.h"

#include <algorithm>
#include <iostream>
#include <stdexcept>

namespace
{
// Enough for any script the tools sit beside; a longer file is only linked.
constexpr size_t shownTextBytes = size_t { 64 } * 1024;

// The file's text, when it is UTF-8 text short enough to show; else empty.
juce::String textOf (const juce::File& file)
{
    juce::MemoryBlock bytes;
    if (! SafeFileReader::read (file, bytes, shownTextBytes + 1) || bytes.getSize() > shownTextBytes
        || ! isStrictUtf8 (static_cast<const uint8_t*> (bytes.getData()), bytes.getSize()))
        return {};
    return juce::String::fromUTF8 (static_cast<const char*> (bytes.getData()), (int) bytes.getSize());
}
} // namespace

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

void PictureFolder::describe (const juce::String& fileName, const juce::String& caption)
{
    captions.emplace_back (fileName, caption);
    writeIndex();
}

// The XML writer escapes every caption, file name and text.
void PictureFolder::writeIndex() const
{
    // The captioned files first, in order, then the rest by name.
    std::vector<std::pair<juce::String, juce::String>> listed;
    std::vector<juce::String> others;
    for (const auto& entry : DirectoryListing::regularFiles (folder, "*"))
        if (entry.name != indexName)
            others.push_back (entry.name);
    std::sort (others.begin(), others.end());

    for (const auto& [fileName, caption] : captions)
    {
        const auto found = std::find (others.begin(), others.end(), fileName);
        if (found == others.end())
            continue;
        listed.emplace_back (fileName, caption);
        others.erase (found);
    }
    for (const auto& fileName : others)
        listed.emplace_back (fileName, uncaptioned);

    juce::XmlElement html ("html");
    auto* head = html.createNewChildElement ("head");
    head->createNewChildElement ("meta")->setAttribute ("charset", "utf-8");
    head->createNewChildElement ("title")->addTextElement (folder.getFileName());

    auto* body = html.createNewChildElement ("body");
    for (const auto& [fileName, caption] : listed)
    {
        auto* figure = body->createNewChildElement ("figure");
        if (fileName.endsWithIgnoreCase (".png"))
        {
            auto* picture = figure->createNewChildElement ("img");
            picture->setAttribute ("src", fileName);
            picture->setAttribute ("alt", caption);
        }
        else
        {
            auto* link = figure->createNewChildElement ("a");
            link->setAttribute ("href", fileName);
            link->addTextElement (fileName);
            if (const auto text = textOf (folder.getChildFile (fileName)); text.isNotEmpty())
                figure->createNewChildElement ("pre")->addTextElement (text);
        }
        figure->createNewChildElement ("figcaption")->addTextElement (fileName + ": " + caption);
    }

    auto format = juce::XmlElement::TextFormat().withoutHeader();
    format.newLineChars = "\n";
    const auto index = folder.getChildFile (indexName);
    if (! index.replaceWithText ("<!DOCTYPE html>\n" + html.toString (format), false, false, "\n"))
        throw std::runtime_error ("cannot write " + index.getFullPathName().toStdString());
}
