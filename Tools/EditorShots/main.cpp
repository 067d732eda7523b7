#include "Emulation/EmulatedPedal.h"
#include "PluginEditor.h"
#include "PluginProcessor.h"

#include <juce_gui_basics/juce_gui_basics.h>
#include <iostream>

int main (int argc, char** argv)
{
    const juce::ScopedJuceInitialiser_GUI framework;
    const auto folder = juce::File::getCurrentWorkingDirectory().getChildFile (argc > 1 ? argv[1] : "editor-shots");
    folder.createDirectory();

    VirtualMidiPorts ports;
    VirtualAudioDeviceTypes audioTypes;
    ports.install();
    audioTypes.install();
    EmulatedPedal pedal (ports, audioTypes, "QZR-1A2B", 0x15);
    pedal.plugIn();

    auto processor = std::make_unique<VelmoraAudioProcessor>();
    processor->getDeviceManager().scanForDevices();
    std::unique_ptr<juce::AudioProcessorEditor> editor (processor->createEditorIfNeeded());
    auto* e = dynamic_cast<VelmoraAudioProcessorEditor*> (editor.get());
    juce::StringArray names;
    e->getDeviceMenu (names);
    e->settingsMenuCallback (1022, names);
    ports.flush();
    processor->getDevice()->getMidiDevice().deliverWaitingMessages();
    juce::MessageManager::getInstance()->runDispatchLoopUntil (200);

    const auto image = editor->createComponentSnapshot (editor->getLocalBounds(), true, 1.0f);
    juce::FileOutputStream out (folder.getChildFile ("editor.png"));
    out.setPosition (0); out.truncate();
    juce::PNGImageFormat().writeImageToStream (image, out);
    editor.reset();
    processor.reset();
    return 0;
}
