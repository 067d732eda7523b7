#include "Shots/PictureFolder.h"
#include "Support/ScratchFolder.h"

#include <gtest/gtest.h>

// A picture tool's folder: each picture beside the index that captions it, in
// the order taken, the captions escaped as the page needs them.
TEST (ShotsPictureFolder, EveryPictureIsListedWithItsCaptionInTheIndex)
{
    ScratchFolder scratch;
    PictureFolder pictures (scratch.folder.getChildFile ("shots"));
    juce::Component component;
    component.setSize (8, 6);

    pictures.write (component, "first", "a caption with <angle brackets> & an \"ampersand\"");
    const auto index = pictures.getFolder().getChildFile (PictureFolder::indexName);
    ASSERT_TRUE (index.existsAsFile()) << "written with the first picture";
    EXPECT_TRUE (index.loadFileAsString().contains (
        "<figcaption>first.png: a caption with &lt;angle brackets&gt; &amp; an &quot;ampersand&quot;</figcaption>"))
        << index.loadFileAsString();

    pictures.write (component, "second", "the second");
    const auto page = index.loadFileAsString();
    EXPECT_TRUE (page.startsWith ("<!DOCTYPE html>\n<html>"));
    EXPECT_TRUE (pictures.getFolder().getChildFile ("second.png").existsAsFile());
    EXPECT_EQ (page.indexOf ("<img src=\"first.png\""), page.indexOf ("<img src=")) << "in the order taken";
    EXPECT_GT (page.indexOf ("<figcaption>second.png: the second</figcaption>"), page.indexOf ("first.png: a caption"));
}

// Every file of the folder is in the index: one another program wrote with the
// caption the tool gives it, before the tool's own pictures when described
// first; a script with its text; a file nobody captioned, said to be so.
TEST (ShotsPictureFolder, TheIndexCarriesEveryFileOfTheFolderWithItsCaption)
{
    ScratchFolder scratch;
    const auto folder = scratch.folder.getChildFile ("shots");
    ScratchFolder::write (folder, "host-window.png", "a picture another program took");
    ScratchFolder::write (folder, "host.script", "text bypass Off\nrender 8\n");
    ScratchFolder::write (folder, "older.png", "a picture of an earlier run");
    ScratchFolder::write (folder, "broken.txt", "caf\xE9");

    PictureFolder pictures (folder);
    pictures.describe ("host-window.png", "the editor in a host's window");
    pictures.describe ("host.script", "the script the host ran");
    pictures.describe ("missing.png", "a picture that was never taken");
    juce::Component component;
    component.setSize (8, 6);
    pictures.write (component, "mine", "the tool's own");

    const auto page = folder.getChildFile (PictureFolder::indexName).loadFileAsString();
    const juce::StringArray captions {
        "<figcaption>host-window.png: the editor in a host's window</figcaption>",
        "<a href=\"host.script\">host.script</a>",
        "<pre>text bypass Off\nrender 8\n</pre>",
        "<figcaption>host.script: the script the host ran</figcaption>",
        "<figcaption>mine.png: the tool's own</figcaption>",
        "<figcaption>broken.txt: not written by this run: no caption</figcaption>",
        "<figcaption>older.png: not written by this run: no caption</figcaption>",
    };
    int last = -1;
    for (const auto& caption : captions)
    {
        const auto at = page.indexOf (caption);
        EXPECT_GT (at, last) << caption << " in\n" << page;
        last = juce::jmax (last, at);
    }
    EXPECT_FALSE (page.contains ("missing.png")) << "a file that is not there is not listed";
    EXPECT_FALSE (page.contains ("<pre>caf")) << "text that is not UTF-8 is only linked";
    EXPECT_EQ (page.indexOf ("<img src=\"host-window.png\""), page.indexOf ("<img src="));
}
