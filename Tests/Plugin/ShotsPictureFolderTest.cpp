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
