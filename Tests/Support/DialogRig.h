#pragma once

#include "Components/Dialogs/AlertBoxComponent.h"
#include "Devices/UsbDevice.h"
#include "LookAndFeel/LookAndFeel_Custom.h"
#include "Support/ButtonClick.h"
#include "Support/DrawnAtRest.h"
#include "Support/Drawing.h"

#include <gtest/gtest.h>
#include <string>
#include <utility>
#include <vector>

// A stand-in for the editor window: a 480 x 540 parent for dialogs, drawn plain
// white, with the plug-in's default style installed as the editor installs it.
struct DialogParent : juce::Component
{
    DialogParent()
    {
        juce::LookAndFeel::setDefaultLookAndFeel (&style.get());
        setSize (480, 540);
        setVisible (true);
    }

    ~DialogParent() override { juce::LookAndFeel::setDefaultLookAndFeel (nullptr); }
    void paint (juce::Graphics& g) override { g.fillAll (juce::Colours::white); }

    juce::SharedResourcePointer<LookAndFeel_Custom> style;
};

// Gives the dialogs whatever pedal a test sets, as the processor would.
struct PedalHolder : UsbDevice::Holder
{
    UsbDevice* getDevice() override { return device; }
    UsbDevice* device = nullptr;
};

// Clicks a button as a user would, and lets it come up again.
inline void click (juce::Button& button)
{
    EXPECT_TRUE (clickAndRelease (button));
}

inline juce::TextButton* findButton (AlertBoxComponent& box, const juce::String& text)
{
    for (int i = 0; i < box.getNumButtons(); ++i)
        if (box.getButton (i)->getButtonText() == text)
            return box.getButton (i);
    return nullptr;
}

inline std::vector<std::pair<std::string, int>> buttonsOf (AlertBoxComponent& box)
{
    std::vector<std::pair<std::string, int>> found;
    for (int i = 0; i < box.getNumButtons(); ++i)
        found.emplace_back (box.getButton (i)->getButtonText().toStdString(), box.getButton (i)->getCommandID());
    return found;
}

// What a dialog shows: "title | message |" and each button with its code.
inline std::string describe (AlertBoxComponent& box)
{
    auto text = box.getTitleLabel().getText().toStdString() + " | " + box.getMessage().toStdString() + " |";
    for (const auto& [label, code] : buttonsOf (box))
        text += " " + label + " (" + std::to_string (code) + ")";
    return text;
}

// The lines a label draws, each without the blanks it ends with.
inline std::vector<std::string> drawnLines (const AttributedLabel& label)
{
    const auto& original = label.getAttributedString();
    juce::AttributedString drawn;
    drawn.setJustification (original.getJustification());
    drawn.setWordWrap (original.getWordWrap());
    drawn.append (label.getDrawnText(), original.getNumAttributes() > 0 ? original.getAttribute (0).font : juce::Font());

    juce::TextLayout layout;
    layout.createLayout (drawn, (float) label.getWidth());

    std::vector<std::string> lines;
    for (int i = 0; i < layout.getNumLines(); ++i)
    {
        const auto range = layout.getLine (i).stringRange;
        lines.push_back (drawn.getText().substring (range.getStart(), range.getEnd()).trimEnd().toStdString());
    }
    return lines;
}

// Writes a picture of the component into the build folder, for people to look at.
inline juce::Image saveSnapshot (juce::Component& component, const juce::String& name)
{
    EXPECT_EQ (notAtRest (component).joinIntoString ("; "), "") << name;
    auto image = snapshot (component);
    const juce::File folder (PELLION_DIALOG_SHOTS_DIR);
    folder.createDirectory();
    const auto file = folder.getChildFile (name + ".png");
    file.deleteFile();
    juce::FileOutputStream out (file);
    if (out.openedOk())
        juce::PNGImageFormat().writeImageToStream (image, out);
    return image;
}
