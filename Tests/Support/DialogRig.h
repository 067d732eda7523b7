#pragma once

#include "LookAndFeel/LookAndFeel_Custom.h"
#include "Support/Drawing.h"

#include "Devices/UsbDevice.h"

#include <gtest/gtest.h>
#include <juce_gui_basics/juce_gui_basics.h>
#include <string>
#include <utility>
#include <vector>

// A stand-in for the editor window: a 480 x 540 parent for dialogs, drawn plain
// white, with the plug-in's default style installed as the editor installs it.
struct DialogParent : juce::Component
{
    DialogParent (int width = 480, int height = 540)
    {
        juce::LookAndFeel::setDefaultLookAndFeel (&style.get());
        setSize (width, height);
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

// Clicks a button as a user would: through the framework's click path.
inline void click (juce::Button& button)
{
    button.triggerClick();
    juce::MessageManager::getInstance()->runDispatchLoopUntil (10);
}

// The push button of a dialog with that text, or null.
template <typename Box>
juce::TextButton* findButton (Box& box, const juce::String& text)
{
    for (int i = 0; i < box.getNumButtons(); ++i)
        if (box.getButton (i)->getButtonText() == text)
            return box.getButton (i);
    return nullptr;
}

// Every button text of a dialog, left to right, with its result code.
template <typename Box>
std::vector<std::pair<std::string, int>> buttonsOf (Box& box)
{
    std::vector<std::pair<std::string, int>> found;
    for (int i = 0; i < box.getNumButtons(); ++i)
        found.emplace_back (box.getButton (i)->getButtonText().toStdString(), box.getButton (i)->getCommandID());
    return found;
}

// Writes a picture of the component into the build folder, for people to look at.
inline juce::Image saveSnapshot (juce::Component& component, const juce::String& name)
{
    auto image = snapshot (component);
#ifdef PELLION_DIALOG_SHOTS_DIR
    const juce::File folder (PELLION_DIALOG_SHOTS_DIR);
    folder.createDirectory();
    juce::FileOutputStream out (folder.getChildFile (name + ".png"));
    if (out.openedOk())
    {
        out.setPosition (0);
        out.truncate();
        juce::PNGImageFormat().writeImageToStream (image, out);
    }
#else
    juce::ignoreUnused (name);
#endif
    return image;
}
