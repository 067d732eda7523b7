#include "Components/Dialogs/AttributedLabel.h"
#include "Support/DialogRig.h"

#include <gtest/gtest.h>

namespace
{
struct Breaking
{
    const char* what;
    const char* text;
    std::vector<std::string> lines;
};

// In the width the firmware dialog gives its message (323 pixels).
const Breaking breakings[] = {
    { "a short text", "Update pedal firmware to v0.1.5?", { "Update pedal firmware to v0.1.5?" } },
    { "a 64-character path, after its folders", "Update pedal firmware from /home/anna/Downloads/QZR-firmware/QZR-1A2B-firmware-v0.1.7.syx?",
      { "Update pedal firmware from", "/home/anna/Downloads/QZR-firmware/", "QZR-1A2B-firmware-v0.1.7.syx?" } },
    { "a Windows path", "Update pedal firmware from C:\\Users\\annabelle\\Downloads\\QZR-firmware\\QZR-1A2B-v0.1.7.syx?",
      { "Update pedal firmware from", "C:\\Users\\annabelle\\Downloads\\", "QZR-firmware\\QZR-1A2B-v0.1.7.syx?" } },
    { "line breaks of its own", "Operation timeout\n\nDevice not found\nor not ready", { "Operation timeout", "", "Device not found", "or not ready" } },
};
} // namespace

TEST (AttributedLabel, BreaksAWordWiderThanALineAfterItsFolders)
{
    DialogParent style;
    AttributedLabel label;
    label.setSize (323, 120);

    for (const auto& c : breakings)
    {
        SCOPED_TRACE (c.what);
        label.setText (c.text);
        EXPECT_EQ (drawnLines (label), c.lines);
        EXPECT_EQ (label.getDrawnText().removeCharacters ("\n"), juce::String (c.text).removeCharacters ("\n"));
        EXPECT_EQ (label.getDrawnScale(), 1.0f);
    }
}

TEST (AttributedLabel, BreaksInsideANameOnlyWhenTheNameAloneIsWiderThanALine)
{
    DialogParent style;
    AttributedLabel label;
    label.setSize (323, 200);
    const juce::String name ("pellion-scratch-b1101c0f824d48158fe9b12dc47dc383-firmware-update");
    label.setText ("/tmp/" + name + "/update.syx");

    // The folder before the name keeps its line; the name, two lines wide, is broken once.
    const auto lines = drawnLines (label);
    ASSERT_EQ (lines.size(), 3u);
    EXPECT_EQ (lines[0], "/tmp/");
    EXPECT_EQ (lines[0] + lines[1] + lines[2], "/tmp/" + name + "/update.syx");
    EXPECT_TRUE (juce::String (lines[2]).endsWith ("/update.syx")) << lines[2];

    const auto font = label.getAttributedString().getAttribute (0).font;
    for (const auto& line : lines)
        EXPECT_LE (font.getStringWidthFloat (line), 323.0f) << line;
}

TEST (AttributedLabel, DrawsAtItsFontsSizeWhileTheTextFitsAndSmallerOnlyWhenItDoesNot)
{
    DialogParent style;
    AttributedLabel label;
    label.setText ("one\ntwo\nthree"); // three lines of the 18-pixel message font

    const std::pair<int, float> heights[] = { { 54, 1.0f }, { 66, 1.0f }, { 45, 45.0f / 54.0f }, { 20, 0.6f } };
    for (const auto& [height, scale] : heights)
    {
        label.setSize (323, height);
        EXPECT_NEAR (label.getDrawnScale(), scale, 0.02f) << height << " pixels high";
    }
}
